# Cross build of the Windows program with Debian's mingw-w64 (POSIX threads
# flavour, which std::thread in the tests needs).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARNVELL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TARNVELL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARNVELL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TARNVELL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TARNVELL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime, so every exe runs without any mingw DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs are run through Wine when ctest is used on this machine.
find_program(TARNVELL_WINE NAMES wine)
if(TARNVELL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TARNVELL_WINE})
endif()
