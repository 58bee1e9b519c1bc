# Cross-compiling for 64-bit Windows with mingw-w64 (the posix thread model,
# which has std::thread and std::mutex). Used for the libraries and the demo.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MURL13_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MURL13_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MURL13_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${MURL13_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${MURL13_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
