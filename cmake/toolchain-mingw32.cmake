# Cross build of the 32-bit Windows module with Debian's MinGW-w64 (i686-w64-mingw32).
set(CMAKE_SYSTEM_PROCESSOR x86)
set(QUELOR_MINGW i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/QuelorMingwToolchain.cmake)

# Doubles live in SSE2 registers, not on the x87 stack, so the audio path rounds to
# double after every operation, as the reference does, and the denormal flush of the
# SSE control word covers all of it.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
