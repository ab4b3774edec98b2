# qftool: the recording file and the MIDI export on the command line. Built
# natively and, for Windows, as a console program.
add_executable(qftool ${CMAKE_SOURCE_DIR}/src/tools/qftool.cpp)
target_link_libraries(qftool PRIVATE qfcore)
if(WIN32)
  target_link_options(qftool PRIVATE -static -s)
endif()
