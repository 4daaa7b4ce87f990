#pragma once

// Windows: every CLAP function pointer, in both directions, is cdecl. Only 32-bit x86
// has another convention to confuse it with, but saying it everywhere keeps one spelling.
#define QUELOR_CLAP_CALL __cdecl
