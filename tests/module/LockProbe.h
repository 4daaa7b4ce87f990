#pragma once

#include "PlugLock.h"

#include <cstdint>
#include <mutex>
#include <vector>

// Records whether the calling thread holds an instance's plug-in lock at each call the
// product makes into the host (the probing host callback), into the window system during
// the editor's open, idle and close (ProbeX11.cpp) and into the allocator during a
// watched host request (ProbeAllocation_*.cpp), while a probe is active. The product is
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
    static constexpr std::size_t kCapacity = 1 << 16;

    explicit LockProbe(const PlugLock& probed);
    ~LockProbe();
    LockProbe(const LockProbe&) = delete;
    LockProbe& operator=(const LockProbe&) = delete;

    // The probe of this process while one lives, else null.
    static LockProbe* Active();

    // Allocates nothing: it runs inside malloc.
    void Check(ProbeSite site, int32_t detail, const char* what);
    std::vector<ProbeHit> Hits() const;

    // What the calling thread is doing for the host, for the reports of the interposed
    // calls: the editor phase its window calls belong to, or the dispatcher opcode whose
    // allocations are watched (-1 for none).
    static thread_local ProbeSite editorPhase;
    static thread_local bool inEditor;
    static thread_local int32_t watchedOpcode;

private:
    const PlugLock& lock;
    mutable std::mutex mutex;
    std::vector<ProbeHit> hits; // sized once: checks made inside malloc must not grow it
    std::size_t hitCount = 0;
};

// Marks the calling thread's calls for the probe for the scope of one host call.
class ProbeScope {
public:
    // Window calls made meanwhile belong to an editor phase.
    explicit ProbeScope(ProbeSite editorPhase);
    // Allocations made meanwhile are checked, under this dispatcher opcode.
    explicit ProbeScope(int32_t watchedOpcode);
    ~ProbeScope();
    ProbeScope(const ProbeScope&) = delete;
    ProbeScope& operator=(const ProbeScope&) = delete;
};

// Whether this build reports allocations (not under the sanitizers, whose runtimes own
// malloc themselves).
bool AllocationsWatched();
