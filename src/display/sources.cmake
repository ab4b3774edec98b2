list(APPEND QF_PORTABLE_SOURCES
  display/status_text.cpp)
list(APPEND QF_WINDOWS_SOURCES
  display/keyboard_view.cpp
  display/labels.cpp)
