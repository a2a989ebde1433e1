# Cross build of the Win32 program with mingw-w64 for i686: the program we ship, run in a 32-bit prefix.
set(ZEL_MINGW_TRIPLE i686-w64-mingw32)
set(ZEL_MINGW_PROCESSOR x86)
set(ZEL_WINE_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
