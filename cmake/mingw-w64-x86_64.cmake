# Cross-builds the Windows programs on Debian with mingw-w64 (x86_64-w64-mingw32).
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# The posix thread model, because the win32 one has no std::mutex or std::thread and
# GoogleTest 1.12 needs them. Everything is linked statically, so each .exe imports only
# system DLLs and runs from any folder, on Windows or under Wine, with nothing beside it.
# Test programs run through scripts/wine-run.sh, for gtest_discover_tests and ctest alike.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -static also takes libwinpthread's archive instead of its DLL.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# This file is read again for every try-compile, where only the list's own folder is known.
cmake_path(SET _runner NORMALIZE "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh")
set(CMAKE_CROSSCOMPILING_EMULATOR "${_runner}")
