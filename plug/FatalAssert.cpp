#include "FatalAssert.h"

#include <cstdio>
#include <cstdlib>

void FatalAssertionFailed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: assertion failed: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}
