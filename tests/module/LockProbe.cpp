#include "LockProbe.h"

#include <atomic>

namespace {
std::atomic<LockProbe*> active{nullptr};
} // namespace

thread_local ProbeSite LockProbe::editorPhase = ProbeSite::EditorOpen;
thread_local bool LockProbe::inEditor = false;
thread_local int32_t LockProbe::watchedOpcode = -1;

LockProbe::LockProbe(const PlugLock& probed) : lock(probed), hits(kCapacity) {
    active = this;
}

LockProbe::~LockProbe() {
    active = nullptr;
}

LockProbe* LockProbe::Active() {
    return active.load();
}

void LockProbe::Check(ProbeSite site, int32_t detail, const char* what) {
    const bool held = lock.HeldByThisThread();
    std::lock_guard guard(mutex);
    if (hitCount < hits.size())
        hits[hitCount++] = {site, detail, what, held};
}

std::vector<ProbeHit> LockProbe::Hits() const {
    std::lock_guard guard(mutex);
    return {hits.begin(), hits.begin() + static_cast<std::ptrdiff_t>(hitCount)};
}

ProbeScope::ProbeScope(ProbeSite phase) {
    LockProbe::editorPhase = phase;
    LockProbe::inEditor = true;
}

ProbeScope::ProbeScope(int32_t opcode) {
    LockProbe::watchedOpcode = opcode;
}

ProbeScope::~ProbeScope() {
    LockProbe::inEditor = false;
    LockProbe::watchedOpcode = -1;
}
