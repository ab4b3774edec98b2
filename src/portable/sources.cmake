# The portable rooms: plain C++ without windows.h, built everywhere.
list(APPEND QF_PORTABLE_SOURCES
  portable/play/midi_output.cpp
  portable/play/note_player.cpp
  portable/song/recording.cpp
  portable/song/replay.cpp
  portable/practice/practice.cpp
  portable/formats/recording_file.cpp
  portable/formats/midi_export.cpp
  portable/formats/midi_file.cpp
  portable/formats/midi_import.cpp
  portable/formats/jianpu.cpp
  portable/formats/score_text.cpp
  portable/formats/midi_keys.cpp
  portable/formats/midi_messages.cpp
  portable/formats/song_file.cpp
  portable/live/message_queue.cpp
  portable/live/live_device.cpp
  portable/live/device_seam.cpp
  portable/synth/soundfont.cpp
  portable/synth/voice.cpp
  portable/synth/synth.cpp
  portable/synth/reverb.cpp
  portable/synth/chorus.cpp)
# Files and GBK text through the C library and iconv; the Windows platform
# gives the same on Windows.
if(NOT WIN32)
  list(APPEND QF_PORTABLE_SOURCES
    portable/formats/file_platform_posix.cpp
    portable/formats/program_text_posix.cpp)
endif()
