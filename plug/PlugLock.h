#pragma once

#include <memory>

// The plug-in's recursive lock. One thread may take it again while holding it.
// Each platform gives the implementation in a file of its own.
class PlugLock {
public:
    PlugLock();
    ~PlugLock();
    PlugLock(const PlugLock&) = delete;
    PlugLock& operator=(const PlugLock&) = delete;

    void Lock();
    void Unlock();

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

// Holds the plug-in lock for its scope, unless released early (a plug-in that
// is about to destroy itself must not leave a guard to a dead lock behind).
class ScopedPlugLock {
public:
    explicit ScopedPlugLock(PlugLock& plugLock) : lock(&plugLock) { plugLock.Lock(); }
    ~ScopedPlugLock() { ReleaseEarly(); }
    ScopedPlugLock(const ScopedPlugLock&) = delete;
    ScopedPlugLock& operator=(const ScopedPlugLock&) = delete;

    void ReleaseEarly() {
        if (lock)
            lock->Unlock();
        lock = nullptr;
    }

private:
    PlugLock* lock;
};
