# The Windows rooms. A few of their files use no windows.h and are built
# natively too, for the unit tests: the status texts, the document, and the
# audio stream's choices.
list(APPEND QF_PORTABLE_SOURCES
  windows/program/status_text.cpp
  windows/program/document_state.cpp
  windows/program/practice_text.cpp
  windows/platform/audio_stream.cpp)
list(APPEND QF_WINDOWS_SOURCES
  windows/platform/system_text.cpp
  windows/platform/system_facts_win.cpp
  windows/platform/file_platform_win.cpp
  windows/platform/program_text_win.cpp
  windows/platform/audio_output_wasapi.cpp
  windows/platform/program_settings.cpp
  windows/program/app.cpp
  windows/program/main_window.cpp
  windows/program/command_dispatch.cpp
  windows/program/menu.cpp
  windows/program/about.cpp
  windows/program/sound_font_file.cpp
  windows/program/remembered_device.cpp
  windows/program/reverb_switch.cpp
  windows/program/keyboard_view.cpp
  windows/program/labels.cpp
  windows/program/playback.cpp
  windows/program/recording_commands.cpp
  windows/program/document_commands.cpp
  windows/program/track_chooser.cpp
  windows/program/practice_window.cpp
  windows/program/practice_results.cpp)
