# Windows facilities that several subsystems share: the text boundary.
list(APPEND QF_WINDOWS_SOURCES
  platform/system_text.cpp)
