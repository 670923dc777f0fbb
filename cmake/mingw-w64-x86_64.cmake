# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix): posix
# threads for std::thread, and everything linked statically, so that the program is one .exe that
# needs only Windows' own DLLs. Tests run under Wine (scripts/wine-run.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KESTRIN_MINGW x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${KESTRIN_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTRIN_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${KESTRIN_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KESTRIN_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
