# The recording file, the MIDI export and import, and the safe replacement of a file.
list(APPEND QF_PORTABLE_SOURCES
  files/recording_file.cpp
  files/midi_export.cpp
  files/midi_import.cpp
  files/midi_messages.cpp)
if(WIN32)
  list(APPEND QF_PORTABLE_SOURCES files/replace_file_win.cpp)
else()
  list(APPEND QF_PORTABLE_SOURCES files/replace_file_posix.cpp)
endif()
list(APPEND QF_PORTABLE_SOURCES files/document_state.cpp)
list(APPEND QF_WINDOWS_SOURCES files/document_commands.cpp)
