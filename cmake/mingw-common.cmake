# Shared part of the two mingw-w64 cross builds; the including file sets ZEL_MINGW_TRIPLE,
# ZEL_MINGW_PROCESSOR and ZEL_WINE_ARCH first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ZEL_MINGW_PROCESSOR})
# The posix thread model: std::thread and GoogleTest need it.
set(CMAKE_C_COMPILER ${ZEL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZEL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZEL_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZEL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Tests and tools run through Wine, in a prefix of this build's own kind; the wrapper sets the
# prefix and display the test scripts prepared.
set(CMAKE_CROSSCOMPILING_EMULATOR
    /usr/bin/env ZEL_WINE_ARCH=${ZEL_WINE_ARCH} ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
