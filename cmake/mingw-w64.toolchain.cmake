# Cross-compiles the Windows build with Debian's mingw-w64 (the -posix thread model: the
# -win32 one has no std::thread, which GoogleTest needs). The program is 32-bit, like the host
# it serves: Windows then virtualises its writes under Program Files exactly as the host's.
#
# TAVELIN_WINDOWS_ARCH=x86_64 builds the same sources as a 64-bit program. It exists for one
# reason: a machine whose kernel runs no 32-bit code at all cannot run the 32-bit program
# under Wine, and its tests then run a 64-bit build under wine64 (the Makefile chooses). The
# program that is packed and shipped is always the 32-bit one.
if(NOT DEFINED TAVELIN_WINDOWS_ARCH)
  set(TAVELIN_WINDOWS_ARCH i686)
endif()
if(NOT TAVELIN_WINDOWS_ARCH MATCHES "^(i686|x86_64)$")
  message(FATAL_ERROR "TAVELIN_WINDOWS_ARCH must be i686 or x86_64, not ${TAVELIN_WINDOWS_ARCH}")
endif()
# try_compile projects read this file again; they must see the same choice.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAVELIN_WINDOWS_ARCH)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TAVELIN_WINDOWS_ARCH})

set(TAVELIN_MINGW_PREFIX ${TAVELIN_WINDOWS_ARCH}-w64-mingw32)
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
