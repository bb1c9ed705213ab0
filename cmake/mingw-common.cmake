# What both Windows toolchains share; ZEPHYR_MINGW_TRIPLE names the target.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ZEPHYR_MINGW_TRIPLE})

# The posix thread model: its libstdc++ has std::mutex, which the in-house libraries use
# (the win32 model of this compiler has none).
set(CMAKE_C_COMPILER ${ZEPHYR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZEPHYR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZEPHYR_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZEPHYR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The compiler's own runtime (libgcc, libstdc++, winpthread) and zlib go into each module,
# so a module needs no DLL beside it but the system's own and the host's.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
