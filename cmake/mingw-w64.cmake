# Cross-compiling for Windows x64 with Debian's mingw-w64 toolchain
# (package g++-mingw-w64-x86-64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TALMORO_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_CXX_COMPILER ${TALMORO_MINGW_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${TALMORO_MINGW_TRIPLE}-windres)

# Libraries and headers come from the toolchain's root only; programs from
# the host.
set(CMAKE_FIND_ROOT_PATH /usr/${TALMORO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
