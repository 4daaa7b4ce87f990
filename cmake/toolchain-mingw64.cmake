# Cross build of the 64-bit Windows module with Debian's MinGW-w64 (x86_64-w64-mingw32),
# from the same sources as the 32-bit one: LLP64, so long stays 32 bits while pointers,
# intptr_t and the window messages' WPARAM, LPARAM and LRESULT are 64. x86-64 does its
# double arithmetic in SSE2 registers already.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(QUELOR_MINGW x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/QuelorMingwToolchain.cmake)
