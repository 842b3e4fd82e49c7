# Cross-compiling for Windows with the MinGW-w64 toolchain that Debian ships; the including
# toolchain file names the target triple in DRAVIK_MINGW_TRIPLE.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model gives the standard library its std::mutex, which the test framework
# needs; static linking keeps its threads library inside the .exe.
set(CMAKE_C_COMPILER ${DRAVIK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DRAVIK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${DRAVIK_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${DRAVIK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
