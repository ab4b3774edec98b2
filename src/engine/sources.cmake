list(APPEND QF_PORTABLE_SOURCES
  engine/midi_output.cpp
  engine/note_player.cpp)
list(APPEND QF_WINDOWS_SOURCES
  engine/platform_win.cpp)
