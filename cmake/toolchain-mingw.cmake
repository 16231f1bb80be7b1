# Cross-compiles for Windows with the mingw-w64 posix-thread compilers, for
# the processor that TOVRA_MINGW_TRIPLE names (set by the toolchain file that
# includes this one). libgcc, libstdc++ and winpthread are linked in
# statically, so every binary imports only system DLLs. Tests run under the
# Wine loader of the same bitness, TOVRA_WINE_LOADER.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${TOVRA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOVRA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TOVRA_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOVRA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# The loader is called directly: /usr/bin/wine prefers the 32-bit loader
# whenever it is installed, even on a kernel that cannot run it.
set(CMAKE_CROSSCOMPILING_EMULATOR ${TOVRA_WINE_LOADER})
