# Cross build for 64-bit Windows with Debian's mingw-w64 (the posix thread model, for the
# standard library's threads and mutexes). Programs and the control library are linked with
# the compiler's run-time libraries inside them, so nothing beside the DLL has to be installed
# on a till. Tests run under Wine through the crosscompiling emulator.
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_prefix x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_prefix}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_prefix}-windres)
set(VELKA_WIDL ${mingw_prefix}-widl)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

find_program(VELKA_WINE NAMES wine wine64)
if(VELKA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VELKA_WINE})
endif()
