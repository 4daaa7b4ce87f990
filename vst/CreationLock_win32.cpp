#include "CreationLock.h"

#include <windows.h>

namespace {
// Made on first use, thread-safely, and deleted when the module is unloaded.
class CreationSection {
public:
    CreationSection() { InitializeCriticalSection(&section); }
    ~CreationSection() { DeleteCriticalSection(&section); }
    CreationSection(const CreationSection&) = delete;
    CreationSection& operator=(const CreationSection&) = delete;

    CRITICAL_SECTION section;
};

CRITICAL_SECTION& CreationCriticalSection() {
    static CreationSection creation;
    return creation.section;
}
} // namespace

ScopedCreationLock::ScopedCreationLock() {
    EnterCriticalSection(&CreationCriticalSection());
}

ScopedCreationLock::~ScopedCreationLock() {
    LeaveCriticalSection(&CreationCriticalSection());
}
