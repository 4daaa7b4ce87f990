#include "PlugLock.h"

#include <mutex>

struct PlugLock::Impl {
    std::recursive_mutex mutex;
};

PlugLock::PlugLock() : impl(std::make_unique<Impl>()) {}
PlugLock::~PlugLock() = default;

void PlugLock::Lock() {
    impl->mutex.lock();
}
void PlugLock::Unlock() {
    impl->mutex.unlock();
}
