# A 64-bit Windows build of the same sources, for running the Windows tests on machines that
# cannot execute 32-bit code (where 32-bit Wine cannot start).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(DRAVIK_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
