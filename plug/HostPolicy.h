#pragma once

#include "IEffectBase.h"

#include <cstdint>

// What every format's adapter decides the same way about what its host hands the effect:
// the sample rates and block sizes it runs at, the states it takes, and when processing
// starts afresh. Adapters translate their host's calls onto these and decide none of it.
namespace HostPolicy {

// Every rate a host runs at, with a wide margin either side; a rate outside (0.5 Hz,
// 5e8 Hz, not a number) would make every time constant meaningless. A refused rate
// leaves the rate in force.
constexpr double kLowestSampleRate = 1.0;
constexpr double kHighestSampleRate = 1.0e7;
// Longest block the buffers are made for; longer host blocks run in pieces.
constexpr int kLargestBlockSize = 65536;
// Largest state taken from a host: far beyond any we write, far below anything that
// could exhaust memory.
constexpr int64_t kLargestStateSize = 1 << 20;

// Any thread.
bool AcceptsSampleRate(double rate);
// Any thread. The block size buffers are made for when a host announces blocks of up to
// frames: frames, at most kLargestBlockSize; 0 for a count that is not positive, refused.
int BlockSizeFor(int64_t frames);
// Any thread. True for a state of bytes a host may hand over.
bool AcceptsStateSize(int64_t bytes);

// Host thread; takes the plug-in lock. An accepted rate becomes the effect's, then
// processing starts afresh; false, and nothing changes, for a refused one.
bool ChangeSampleRate(IEffectBase& effect, double rate);
// Host thread; takes the plug-in lock. Processing is switched on or off (VST 2 resume
// and suspend, VST 3 setActive, CLAP activate and deactivate, LV2 activate and
// deactivate): the effect starts afresh either way.
void Activate(IEffectBase& effect, bool on);
// Any thread; takes the plug-in lock. Processing starts afresh without a switch (CLAP
// start_processing and reset): the processing history is cleared, so that a value set
// before the next block applies at once.
void Restart(IEffectBase& effect);
// Host thread, without the plug-in lock, which it takes: a state read by
// ReadProgramState made live. One cut short has the values it holds applied, as VST 2's
// effSetChunk applies them and stored chunks rely on; an unreadable one changes nothing.
enum class StateApplied { kNothing, kPartial, kWhole };
StateApplied ApplyState(IEffectBase& effect, const IProgramState& state);

} // namespace HostPolicy
