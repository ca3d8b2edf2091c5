# Cross-compiles the Windows build with Debian's mingw-w64 (the -posix thread model: the
# -win32 one has no std::thread, which GoogleTest needs). The program is 32-bit, like the host
# it serves: Windows then virtualises its writes under Program Files exactly as the host's.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(TAVELIN_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${TAVELIN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVELIN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVELIN_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TAVELIN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained program: no libstdc++/libgcc/winpthread DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
