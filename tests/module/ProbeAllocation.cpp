// The C library's allocator, defined in the test program so that the module's calls bind
// here: a thread watched by the lock probe reports each call, which then goes on to the
// C library's own functions.
#include "LockProbe.h"

#include <cstddef>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void __libc_free(void* block);
}

namespace {
void Report(const char* what) {
    if (LockProbe::phase != ProbeSite::Allocation)
        return;
    if (LockProbe* probe = LockProbe::Active())
        probe->Check(ProbeSite::Allocation, LockProbe::opcode, what);
}
} // namespace

extern "C" {

void* malloc(std::size_t size) noexcept {
    Report("malloc");
    return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size) noexcept {
    Report("calloc");
    return __libc_calloc(count, size);
}

void* realloc(void* block, std::size_t size) noexcept {
    Report("realloc");
    return __libc_realloc(block, size);
}

void free(void* block) noexcept {
    if (block)
        Report("free");
    __libc_free(block);
}

} // extern "C"
