#pragma once

// Stops the process on a fault in the module's own compiled-in data; never
// used for anything a host, a chunk or a user can send.
#define QUELOR_FATAL_ASSERT(condition)                                                             \
    ((condition) ? static_cast<void>(0) : FatalAssertionFailed(#condition, __FILE__, __LINE__))

// Checks a rule of the code's own, such as what may happen under a lock, in builds
// with assertions; release builds check nothing.
#ifdef NDEBUG
#define QUELOR_DEBUG_ASSERT(condition) static_cast<void>(0)
#else
#define QUELOR_DEBUG_ASSERT(condition) QUELOR_FATAL_ASSERT(condition)
#endif

// Stops builds with assertions with a message made at run time, for a rule that a caller
// outside the module broke (a host's call on the wrong thread); release builds carry on
// and neither evaluate nor show the message.
#ifdef NDEBUG
#define QUELOR_DEBUG_FAIL(message) static_cast<void>(0)
#else
#define QUELOR_DEBUG_FAIL(message) FatalAssertionFailed(message, __FILE__, __LINE__)
#endif

[[noreturn]] void FatalAssertionFailed(const char* condition, const char* file, int line);
