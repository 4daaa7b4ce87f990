#pragma once

#include "PlugLock.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

// Records whether the calling thread holds an instance's plug-in lock at each call the
// product makes into the host (the test's host callback), into the window system during
// the editor's open, idle and close (ProbeX11.cpp) and into the allocator during a
// watched host request (ProbeAllocation.cpp), while a probe is active. The product is
// linked into the test program, so that its own lock can be asked.

enum class ProbeSite { HostCall, EditorOpen, EditorIdle, EditorClose, Allocation };

struct ProbeHit {
    ProbeSite site;
    int32_t detail;   // the audioMaster opcode, or the dispatcher opcode of an allocation
    const char* what; // the call seen
    bool held;
};

class LockProbe {
public:
    explicit LockProbe(const PlugLock& probed) : lock(probed), hits(1 << 16) { active = this; }
    ~LockProbe() { active = nullptr; }
    LockProbe(const LockProbe&) = delete;
    LockProbe& operator=(const LockProbe&) = delete;

    // The probe of this process while one lives, else null.
    static LockProbe* Active() { return active.load(); }

    // Allocates nothing: it runs inside malloc.
    void Check(ProbeSite site, int32_t detail, const char* what) {
        const bool held = lock.HeldByThisThread();
        std::lock_guard guard(mutex);
        if (count < hits.size())
            hits[count++] = {site, detail, what, held};
    }
    std::vector<ProbeHit> Hits() const {
        std::lock_guard guard(mutex);
        return {hits.begin(), hits.begin() + static_cast<std::ptrdiff_t>(count)};
    }

    // What the calling thread is doing for the host, for the interposed calls to report:
    // an editor phase, whose window calls count, or Allocation for the dispatcher opcode
    // whose allocations count. HostCall for neither.
    static inline thread_local ProbeSite phase = ProbeSite::HostCall;
    static inline thread_local int32_t opcode = -1;

private:
    static inline std::atomic<LockProbe*> active{nullptr};
    const PlugLock& lock;
    mutable std::mutex mutex;
    std::vector<ProbeHit> hits; // sized once: checks made inside malloc must not grow it
    std::size_t count = 0;
};
