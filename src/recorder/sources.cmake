list(APPEND QF_PORTABLE_SOURCES
  recorder/recording.cpp)
list(APPEND QF_WINDOWS_SOURCES
  recorder/playback.cpp
  recorder/recording_commands.cpp)

