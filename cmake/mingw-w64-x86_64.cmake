# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix); the
# programs run under Wine (wine64), which CTest and gtest_discover_tests call through the
# emulator below. Used by the preset windows and scripts/check-windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C++ and threads runtimes linked in, so the programs need no DLL beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Wine quiet, without a display, in a prefix of this build folder (scripts/check-windows starts it
# first, so that no test waits for Wine's first start). Building needs no Wine.
find_program(OV_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(OV_WINE64)
    set(CMAKE_CROSSCOMPILING_EMULATOR env WINEDEBUG=-all WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix DISPLAY=
                                      WINEDLLOVERRIDES=mscoree,mshtml= ${OV_WINE64})
endif()
