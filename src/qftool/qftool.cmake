# qftool: the recording file, the MIDI export, jianpu scores, MIDI files in,
# the key score and the render on the command line, over the portable rooms.
# Built natively and, for Windows, as a console program; its console (the
# command line and the messages in UTF-8) is its own.
if(WIN32)
  set(QF_CONSOLE_SOURCE ${CMAKE_SOURCE_DIR}/src/qftool/console_win.cpp)
else()
  set(QF_CONSOLE_SOURCE ${CMAKE_SOURCE_DIR}/src/qftool/console_posix.cpp)
endif()
add_executable(qftool ${CMAKE_SOURCE_DIR}/src/qftool/qftool.cpp ${CMAKE_SOURCE_DIR}/src/qftool/song_file.cpp
               ${CMAKE_SOURCE_DIR}/src/qftool/song_commands.cpp ${CMAKE_SOURCE_DIR}/src/qftool/tool_output.cpp
               ${CMAKE_SOURCE_DIR}/src/qftool/render.cpp ${CMAKE_SOURCE_DIR}/src/qftool/render_midi.cpp ${QF_CONSOLE_SOURCE})
target_link_libraries(qftool PRIVATE qfcore)
if(WIN32)
  target_link_options(qftool PRIVATE -static -s)
endif()
