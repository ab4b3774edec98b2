# Cross-build for 32-bit Windows (the product); it runs here under Wine too.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QF_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER /usr/bin/${QF_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER /usr/bin/${QF_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER /usr/bin/${QF_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QF_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
# SSE2 arithmetic for every target (the flags given on the command line
# stay as they are): x87 code is slower and keeps floats at a precision of
# its own, and the synthesizer's denormal guard needs SSE.
add_compile_options(-msse2 -mfpmath=sse)
