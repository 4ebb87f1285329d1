# Cross build for 64-bit Windows with Debian's mingw-w64.
# The -posix thread-model compilers: GoogleTest does not build with the win32 one.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(NEB_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${NEB_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NEB_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${NEB_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${NEB_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs the cross-built test programs through Wine.
find_program(NEB_WINE wine)
if(NEB_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${NEB_WINE})
endif()

# GCC 12 reports false -Wrestrict overlaps inside libstdc++'s string
# concatenation when optimising (GCC PR 105329); it would stop -Werror builds.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")

# Release programs ship without symbols.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
