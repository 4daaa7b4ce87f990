#include "LockProbe.h"

#include <atomic>

namespace {
std::atomic<LockProbe*> active{nullptr};
} // namespace

thread_local ProbeSite LockProbe::editorPhase = ProbeSite::EditorOpen;
thread_local bool LockProbe::inEditor = false;
thread_local int32_t LockProbe::watchedOpcode = -1;
thread_local bool LockProbe::probing = false;

LockProbe::LockProbe(AEffect* probed, std::chrono::seconds wait)
    : effect(probed), patience(wait), hits(kCapacity), helper([this] { Help(); }) {
    active = this;
}

LockProbe::~LockProbe() {
    active = nullptr;
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    helper.join();
}

LockProbe* LockProbe::Active() {
    return active.load();
}

void LockProbe::Help() {
    std::unique_lock lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return stopping || asked > answered; });
        if (stopping)
            return;
        const uint64_t ticket = asked;
        lock.unlock();
        effect->getParameter(effect, 0);
        lock.lock();
        answered = ticket;
        served.notify_all();
    }
}

bool LockProbe::HeldByCaller() {
    std::unique_lock lock(mutex);
    const uint64_t ticket = ++asked;
    wake.notify_one();
    return !served.wait_for(lock, patience, [&] { return answered >= ticket; });
}

void LockProbe::Check(ProbeSite site, int32_t detail, const char* what) {
    probing = true;
    {
        std::lock_guard one(checkMutex);
        ProbeHit hit{site, detail, what, !caught, false};
        if (hit.tested)
            hit.held = HeldByCaller();
        caught = caught || hit.held;
        if (hitCount < hits.size())
            hits[hitCount++] = hit;
    }
    probing = false;
}

std::vector<ProbeHit> LockProbe::Hits() const {
    std::lock_guard one(checkMutex);
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
