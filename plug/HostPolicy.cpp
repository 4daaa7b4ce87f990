#include "HostPolicy.h"

#include <algorithm>

namespace HostPolicy {

bool AcceptsSampleRate(double rate) {
    return rate >= kLowestSampleRate && rate <= kHighestSampleRate;
}

int BlockSizeFor(int64_t frames) {
    if (frames <= 0)
        return 0;
    return static_cast<int>(std::min<int64_t>(frames, kLargestBlockSize));
}

bool AcceptsStateSize(int64_t bytes) {
    return bytes >= 0 && bytes <= kLargestStateSize;
}

bool ChangeSampleRate(IEffectBase& effect, double rate) {
    if (!AcceptsSampleRate(rate))
        return false;
    ScopedPlugLock lock(effect.Lock());
    effect.ChangeSampleRate(rate);
    effect.ResetProcessing();
    return true;
}

// On or off, the effect only starts afresh.
void Activate(IEffectBase& effect, bool) {
    effect.ResetProcessing();
}

void Restart(IEffectBase& effect) {
    effect.ResetProcessing();
}

StateApplied ApplyState(IEffectBase& effect, const IProgramState& state) {
    if (state.read == IStateRead::kUnreadable)
        return StateApplied::kNothing;
    return effect.ApplyProgramState(state) ? StateApplied::kWhole : StateApplied::kPartial;
}

} // namespace HostPolicy
