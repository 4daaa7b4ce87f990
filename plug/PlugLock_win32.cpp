#include "PlugLock.h"

#include <windows.h>

// A critical section is recursive for the thread that holds it, as the lock must be.
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
