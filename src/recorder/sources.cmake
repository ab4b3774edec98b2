list(APPEND QF_PORTABLE_SOURCES
  recorder/recording.cpp
  files/document_state.cpp)
list(APPEND QF_WINDOWS_SOURCES
  recorder/playback.cpp)
