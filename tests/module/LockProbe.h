#pragma once

#include "VST2Interface.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// Tells from outside the module whether the calling thread holds an instance's plug-in
// lock. A helper thread calls getParameter, which takes the lock, and the caller waits for
// it: a lock held elsewhere is let go within a block, while a lock held by the waiting
// caller keeps the helper out until the wait gives up. Only that failing path waits for
// the patience given; a passing run never does.
//
// The host callback, the window-system calls of the editor (ProbeX11.cpp) and the memory
// calls of a watched thread (ProbeAllocation_*.cpp) report here while a probe is active.

enum class ProbeSite { HostCall, EditorOpen, EditorIdle, EditorClose, Allocation };

struct ProbeHit {
    ProbeSite site;
    int32_t detail;   // the audioMaster opcode, or the dispatcher opcode of an allocation
    const char* what; // the call seen
    bool tested;      // false once an earlier hit was found under the lock
    bool held;
};

class LockProbe {
public:
    static constexpr std::size_t kCapacity = 1 << 16;

    LockProbe(AEffect* effect, std::chrono::seconds patience);
    ~LockProbe();
    LockProbe(const LockProbe&) = delete;
    LockProbe& operator=(const LockProbe&) = delete;

    // The probe of this process while one lives, else null.
    static LockProbe* Active();

    // Records at site whether the calling thread holds the plug-in lock. Allocates nothing:
    // it runs inside malloc. After the first hit under the lock it only records, as the
    // helper is then kept out for as long as that holder stays.
    void Check(ProbeSite site, int32_t detail, const char* what);
    std::vector<ProbeHit> Hits() const;

    // What the calling thread is doing for the host, for the reports of the interposed
    // calls: the editor phase its window calls belong to, or the dispatcher opcode whose
    // allocations are watched (-1 for none).
    static thread_local ProbeSite editorPhase;
    static thread_local bool inEditor;
    static thread_local int32_t watchedOpcode;
    // Set while the thread is inside Check, so that its own calls are not reported.
    static thread_local bool probing;

private:
    bool HeldByCaller();
    void Help();

    AEffect* effect;
    std::chrono::seconds patience;
    mutable std::mutex checkMutex; // one check at a time: there is one helper
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable served;
    uint64_t asked = 0;
    uint64_t answered = 0;
    bool stopping = false;
    bool caught = false;
    std::vector<ProbeHit> hits; // sized once: checks made inside malloc must not grow it
    std::size_t hitCount = 0;
    std::thread helper;
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
