#include "PlugLock.h"

#include <windows.h>

// A critical section is recursive for the thread that holds it, as the lock must be. It
// has no priority inheritance: a thread of low priority holding it keeps a real-time
// audio thread that waits for it waiting until the scheduler runs that thread again.
struct PlugLock::Impl {
    Impl() { InitializeCriticalSection(&section); }
    ~Impl() { DeleteCriticalSection(&section); }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    CRITICAL_SECTION section;
};

PlugLock::PlugLock() : impl(std::make_unique<Impl>()) {}
PlugLock::~PlugLock() = default;

void PlugLock::Acquire() {
    EnterCriticalSection(&impl->section);
}
void PlugLock::Release() {
    LeaveCriticalSection(&impl->section);
}
