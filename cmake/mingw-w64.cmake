# Cross-building for 64-bit Windows with MinGW-w64 (Debian's g++-mingw-w64-x86-64-posix).
# The program is one executable with no DLLs beside it: libstdc++, libgcc and winpthread are
# linked in. Only the header-only libraries' own folders are visible to the compiler, never
# /usr/include, whose headers are the Linux system's.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KELVAK_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${KELVAK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELVAK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KELVAK_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KELVAK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Test programs and tools built here run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
