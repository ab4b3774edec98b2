# qftool: the recording file, the MIDI export and jianpu scores on the command
# line. Built natively and, for Windows, as a console program. The score
# reading is a library of its own, for qftool and the native unit tests.
# The console platform (the command line and the messages in UTF-8) is part
# of it: a score's characters are shown in UTF-8 through it.
if(WIN32)
  set(QF_CONSOLE_SOURCE ${CMAKE_SOURCE_DIR}/src/tools/console_win.cpp)
else()
  set(QF_CONSOLE_SOURCE ${CMAKE_SOURCE_DIR}/src/tools/console_posix.cpp)
endif()
add_library(qftools STATIC ${CMAKE_SOURCE_DIR}/src/tools/jianpu.cpp ${CMAKE_SOURCE_DIR}/src/tools/score_text.cpp
            ${CMAKE_SOURCE_DIR}/src/tools/midi_keys.cpp ${QF_CONSOLE_SOURCE})
target_link_libraries(qftools PUBLIC qfcore)

add_executable(qftool ${CMAKE_SOURCE_DIR}/src/tools/qftool.cpp ${CMAKE_SOURCE_DIR}/src/tools/song_file.cpp
               ${CMAKE_SOURCE_DIR}/src/tools/song_commands.cpp ${CMAKE_SOURCE_DIR}/src/tools/tool_output.cpp
               ${CMAKE_SOURCE_DIR}/src/tools/render.cpp ${CMAKE_SOURCE_DIR}/src/tools/render_midi.cpp)
target_link_libraries(qftool PRIVATE qftools)
if(WIN32)
  target_link_options(qftool PRIVATE -static -s)
endif()
