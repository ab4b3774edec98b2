list(APPEND QF_PORTABLE_SOURCES
  recorder/recording.cpp
  files/document_state.cpp)
list(APPEND QF_WINDOWS_SOURCES
  recorder/playback.cpp
  recorder/recording_commands.cpp)

# The playback benchmark needs the libraries, which exist only once the whole
# top-level list has been read.
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL include ${CMAKE_SOURCE_DIR}/bench/bench.cmake)
