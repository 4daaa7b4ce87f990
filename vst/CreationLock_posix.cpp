#include "CreationLock.h"

#include <mutex>

namespace {
// Made on first use, thread-safely, and destroyed when the module is unloaded.
std::mutex& CreationMutex() {
    static std::mutex mutex;
    return mutex;
}
} // namespace

ScopedCreationLock::ScopedCreationLock() {
    CreationMutex().lock();
}

ScopedCreationLock::~ScopedCreationLock() {
    CreationMutex().unlock();
}
