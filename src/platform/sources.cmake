# Windows facilities that several subsystems share: the text boundary and the
# audio output (with the part of it that decides without the system).
list(APPEND QF_PORTABLE_SOURCES
  platform/audio_stream.cpp)
list(APPEND QF_WINDOWS_SOURCES
  platform/system_text.cpp
  platform/audio_output_wasapi.cpp)
