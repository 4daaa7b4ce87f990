#pragma once

// Linux: the CLAP records are described for x86-64 only, whose one calling convention
// needs no attribute on the function pointers.
#define QUELOR_CLAP_CALL

static_assert(sizeof(void*) == 8, "the CLAP layouts declared here are those of Linux x86-64");
