# The delivered modules: 32-bit Windows (PE32, Intel 80386) with Debian's mingw-w64.
set(ZEPHYR_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
