#pragma once

#include <atomic>
#include <memory>
#include <thread>

// The plug-in's recursive lock. One thread may take it again while holding it.
// Each platform gives the implementation in a file of its own.
//
// The audio thread takes this lock for every block. While any thread holds it,
// nothing may happen that can take long or wait for someone else: no call into the
// host, no window-system call, no allocation or freeing, no file access. Hold it only
// to read or change the plug-in's own state; do the rest before or after.
//
// Priority: on POSIX systems the lock inherits priority where the system offers it, so
// a holder runs at a waiting audio thread's priority until it lets go. On Windows it is
// a critical section, which has no priority inheritance: a holder of low priority keeps
// the audio thread waiting for as long as the scheduler leaves it aside. There only the
// shortness of every hold keeps the audio thread on time.
class PlugLock {
public:
    PlugLock();
    ~PlugLock();
    PlugLock(const PlugLock&) = delete;
    PlugLock& operator=(const PlugLock&) = delete;

    // Taking it again costs no system call: the runtime and the adapters nest their holds.
    void Lock() {
        if (HeldByThisThread()) {
            ++depth;
            return;
        }
        Acquire();
        depth = 1;
        owner.store(std::this_thread::get_id(), std::memory_order_relaxed);
    }
    void Unlock() {
        if (--depth > 0)
            return;
        owner.store(std::thread::id(), std::memory_order_relaxed);
        Release();
    }
    // True when the calling thread holds the lock; for checks of the rule above.
    bool HeldByThisThread() const {
        return owner.load(std::memory_order_relaxed) == std::this_thread::get_id();
    }

private:
    void Acquire();
    void Release();

    struct Impl;
    std::unique_ptr<Impl> impl;
    std::atomic<std::thread::id> owner{};
    int depth = 0; // changed only by the holder
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
