# 32-bit Windows (i686): the product the host protocol names.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOVRA_MINGW_TRIPLE i686-w64-mingw32)
set(TOVRA_WINE_LOADER /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
