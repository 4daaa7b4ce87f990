#pragma once

// Flushes denormal numbers to zero for its scope and restores the caller's
// floating-point mode afterwards. Each processor family has a file of its own.
class ScopedFlushDenormals {
public:
    ScopedFlushDenormals();
    ~ScopedFlushDenormals();
    ScopedFlushDenormals(const ScopedFlushDenormals&) = delete;
    ScopedFlushDenormals& operator=(const ScopedFlushDenormals&) = delete;

private:
    unsigned int savedMode;
};
