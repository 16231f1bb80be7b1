# 64-bit Windows (x86-64): the same library for 64-bit hosts and plug-ins.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOVRA_MINGW_TRIPLE x86_64-w64-mingw32)
set(TOVRA_WINE_LOADER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
