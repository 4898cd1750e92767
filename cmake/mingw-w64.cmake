# Cross build for 64-bit Windows with Debian's mingw-w64 (POSIX thread model, so
# std::thread works) and test runs under Wine. Only the engine, the platform
# layer, the network client and their tests are built this way.
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

# Static, so that Wine finds no MinGW runtime DLL missing (libstdc++,
# libwinpthread) and the test programs run from the build folder as they are.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Every test program runs under Wine in a prefix of its own inside the build
# folder, so the tests never touch the user's ~/.wine.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;${CMAKE_BINARY_DIR}/wineprefix")
