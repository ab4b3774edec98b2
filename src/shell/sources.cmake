list(APPEND QF_WINDOWS_SOURCES
  shell/app.cpp
  shell/main_window.cpp
  shell/command_dispatch.cpp
  shell/menu.cpp
  shell/about.cpp
  shell/sound_font_file.cpp
  shell/remembered_device.cpp)
