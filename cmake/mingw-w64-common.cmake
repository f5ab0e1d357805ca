# Shared by the MinGW-w64 toolchain files: the caller sets
# CMAKE_SYSTEM_PROCESSOR and TESSEL_MINGW_PREFIX first. The -posix compilers
# are needed for std::thread and std::mutex. The runtime (libgcc, libstdc++,
# winpthread) is linked statically so that Ulmar.dll and the test programs need
# nothing beside the system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TESSEL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSEL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSEL_MINGW_PREFIX}-windres)
set(CMAKE_DLLTOOL ${TESSEL_MINGW_PREFIX}-dlltool)
set(CMAKE_NM ${TESSEL_MINGW_PREFIX}-nm)
set(CMAKE_AR ${TESSEL_MINGW_PREFIX}-ar)
set(CMAKE_RANLIB ${TESSEL_MINGW_PREFIX}-ranlib)

set(CMAKE_FIND_ROOT_PATH /usr/${TESSEL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
