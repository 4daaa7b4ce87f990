# What both Windows cross builds share; the toolchain file of each width sets
# CMAKE_SYSTEM_PROCESSOR and QUELOR_MINGW (the MinGW-w64 target triple) first.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model, so that std::thread and std::mutex exist for the test host;
# its winpthread is linked statically like the rest of the runtime (below).
set(CMAKE_C_COMPILER ${QUELOR_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUELOR_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${QUELOR_MINGW}-windres)

# Libraries and headers come from the MinGW tree and from the folders the build adds
# (the cross-built zlib and libpng), never from the Linux system.
set(CMAKE_FIND_ROOT_PATH /usr/${QUELOR_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A host loads the module into a process that has only Windows' own DLLs: libgcc,
# libstdc++ and winpthread go into every binary.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
