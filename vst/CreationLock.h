#pragma once

// Holds the process-wide lock that serialises building plug-in instances in
// the entry point. Each platform gives the lock in a file of its own.
class ScopedCreationLock {
public:
    ScopedCreationLock();
    ~ScopedCreationLock();
    ScopedCreationLock(const ScopedCreationLock&) = delete;
    ScopedCreationLock& operator=(const ScopedCreationLock&) = delete;
};
