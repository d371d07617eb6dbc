# Cross-compiles for 64-bit Windows with the MinGW-w64 GCC of Debian
# (g++-mingw-w64-x86-64-win32 / -posix).
#   cmake --preset windows
#
# The "-posix" compilers: GCC 12 offers std::thread and std::mutex only in that variant.
# Its threads library (winpthread) is linked in statically with the rest, so the .exe
# still imports only system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

if(NOT GMGATHER_MINGW_THREADS)
  set(GMGATHER_MINGW_THREADS posix)
endif()
# try_compile projects read this file again and must pick the same compilers.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES GMGATHER_MINGW_THREADS)

set(GMGATHER_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${GMGATHER_MINGW_PREFIX}-gcc-${GMGATHER_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${GMGATHER_MINGW_PREFIX}-g++-${GMGATHER_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${GMGATHER_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${GMGATHER_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A bare Windows machine has no libstdc++, libgcc or winpthread DLLs: link them in, so
# that the .exe imports only system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test programs built for Windows run here under Wine (Debian keeps wine64 off the PATH).
find_program(GMGATHER_WINE NAMES wine64 PATHS /usr/lib/wine)
if(GMGATHER_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${GMGATHER_WINE})
endif()
