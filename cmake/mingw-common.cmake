# Debian's mingw-w64 compilers, win32 thread model (no winpthread DLL).
set(CMAKE_C_COMPILER   ${MORVEL_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${MORVEL_MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER  ${MORVEL_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${MORVEL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Everything static: the programs must import from system DLLs only.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_MINSIZEREL_INIT "-s")
