# The same modules as 64-bit Windows (PE32+, x86-64) with Debian's mingw-w64, with the CAD
# host and Ductora that run them under Wine.
set(ZEPHYR_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
