# Cross build for x86_64 Windows with mingw-w64 (posix thread model: GoogleTest needs std::mutex; the engine itself uses Win32 threads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VOLUX_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VOLUX_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VOLUX_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VOLUX_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VOLUX_TRIPLET} ${CMAKE_CURRENT_LIST_DIR}/../.deps/${VOLUX_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Tests of this build run under wine64 through CTest.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
