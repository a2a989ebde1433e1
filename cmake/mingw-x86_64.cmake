# Cross build with mingw-w64 for x86_64, run in a 64-bit prefix: for hosts whose kernel cannot run
# 32-bit code, where no i686 program starts under Wine.
set(ZEL_MINGW_TRIPLE x86_64-w64-mingw32)
set(ZEL_MINGW_PROCESSOR AMD64)
set(ZEL_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
