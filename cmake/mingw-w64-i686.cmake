# Cross build for Windows (i686) with Debian's MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TESSEL_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# 32-bit Wine cannot run on this kind of machine: the 32-bit build is checked
# with objdump only, so no emulator is named here.
