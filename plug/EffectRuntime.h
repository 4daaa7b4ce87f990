#pragma once

#include "BlockSplitter.h"
#include "EditorSession.h"
#include "HostPolicy.h"
#include "IEffectBase.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

// What every format's adapter drives, whatever its host: one effect's life cycle, its
// buses, its blocks with their timed changes, its state and its editor. Each adapter maps
// its host's calls onto these and decides none of what they decide; the rules are in the
// README's "Host policies" table.
//
// The runtime owns the effect. The adapter that owns the runtime is the effect's host.
class EffectRuntime {
public:
    // Timed changes one round of a block can take; an adapter reads more in further rounds.
    static constexpr int kChangeRoom = 5120;

    struct TimedChange {
        int offset;
        int index; // the effect's parameter; another index changes nothing
        double value;
        int order = 0; // as the host listed it, for a format that sorts its changes
    };

    // One bus of a block as the host passed it: count channels (null ones read as silence,
    // or, for an output, leave the block unusable).
    template <class Sample> struct HostBus {
        Sample* const* channels = nullptr;
        int count = 0;
    };
    // One host block, its buses in the order the effect lists them.
    template <class Sample> struct HostBlock {
        const HostBus<Sample>* inputs = nullptr;
        int inputBuses = 0;
        const HostBus<Sample>* outputs = nullptr;
        int outputBuses = 0;
        int frames = 0;
        bool accumulate = false; // VST 2's process: add to what the outputs hold
    };

    // Host thread. host is the adapter, connected until the runtime is destroyed.
    EffectRuntime(std::unique_ptr<IEffectBase> effect, IEffectHost& host);
    ~EffectRuntime();
    EffectRuntime(const EffectRuntime&) = delete;
    EffectRuntime& operator=(const EffectRuntime&) = delete;

    IEffectBase& Effect() { return *effect; }
    const IEffectBase& Effect() const { return *effect; }
    // Any thread. A parameter's value as the effect was made, in real units and
    // normalized, as hosts list it; index is a parameter's.
    struct Default {
        double value;
        double normalized;
    };
    const Default& DefaultOf(int index) const { return defaults[static_cast<std::size_t>(index)]; }
    const BusLayout& Buses() const { return effect->Buses(); }
    EditorSession& Editor() { return editor; }
    const EditorSession& Editor() const { return editor; }

    // Life cycle, host thread; each takes the plug-in lock.
    // As a host opening the effect: the host identified, every parameter changed in index
    // order, then processing starts afresh.
    void OpenLikeHost();
    // A sample rate and a largest block together, both validated before either changes:
    // false, and nothing changes, when either is refused or memory fails.
    bool Prepare(double rate, int64_t largestBlock);
    bool ChangeSampleRate(double rate);
    bool ChangeLargestBlock(int64_t frames);
    // Processing switched on or off; it starts afresh either way, also where a host
    // repeats a switch (VST 2 hosts resume without suspending).
    void Activate(bool on);
    bool Active() const { return active.load(std::memory_order_acquire); }
    // Processing starts afresh without a switch.
    void Restart();

    // Routing, host thread; takes the plug-in lock. The channels the host announced for a
    // bus (at most its own), and whether it is routed at all.
    void SetBusChannels(BusDirection direction, int bus, int channels);
    int BusChannels(BusDirection direction, int bus) const;
    // The same, plug-in lock held (the audio thread's).
    int RoutedChannels(BusDirection direction, int bus) const {
        return RouteOf(direction, bus).channels;
    }
    void SetBusActive(BusDirection direction, int bus, bool on);
    bool BusActive(BusDirection direction, int bus) const;

    // Audio thread. Runs one host block: gather(room) fills the cleared room with the next
    // changes in time order, without the plug-in lock, and answers whether more remain;
    // each round is applied under the lock, the block running up to each change. A block
    // whose routed outputs lack a buffer runs no audio: its changes still land and its
    // outputs are silenced. False for such a block. Allocates nothing.
    template <class Sample, class Gather>
    bool Process(const HostBlock<Sample>& block, IValueUnit unit, Gather&& gather);
    // The changes alone, as a block of no samples.
    template <class Gather> void ApplyChanges(IValueUnit unit, Gather&& gather) {
        Process(HostBlock<float>{}, unit, gather);
    }
    // Every output buffer of a block set to zero.
    template <class Sample> void Silence(const HostBlock<Sample>& block) const {
        SilenceUnwritten(block, false);
    }

    // State, host threads, never the audio thread: one at a time. read(into, size) gives
    // the next bytes, 0 at the end, negative on an error; the state is taken to the end,
    // up to HostPolicy's largest. As values only, the parameters take what it holds as a
    // host's values and nothing starts afresh (a VST 3 controller that is the component).
    enum class StateUse { kMakeLive, kValuesOnly };
    template <class Read>
    HostPolicy::StateApplied LoadState(Read&& read, StateUse use = StateUse::kMakeLive) {
        return LoadStateFrom(&read, [](void* context, uint8_t* into, int64_t size) {
            return (*static_cast<Read*>(context))(into, size);
        }, use);
    }
    HostPolicy::StateApplied LoadStateBytes(const void* bytes, int64_t size);
    // The state's bytes, valid until the next save or load; empty when it could not be
    // made. Both are taken under the state mutex, so a load on another thread cannot
    // change the size a host is told.
    struct SavedBytes {
        const uint8_t* data = nullptr;
        int64_t size = 0;
    };
    SavedBytes SaveState();
    // The state handed to write(bytes, size), which answers the bytes it took (0 or less
    // on an error), until all are taken.
    template <class Write> bool SaveState(Write&& write) {
        std::lock_guard guard(stateMutex);
        if (!effect->SaveProgramState(stateChunk))
            return false;
        const uint8_t* bytes = stateChunk.Data();
        for (int64_t left = stateChunk.Size(); left > 0;) {
            const int64_t taken = write(bytes, left);
            if (taken <= 0 || taken > left)
                return false;
            bytes += taken;
            left -= taken;
        }
        return true;
    }

private:
    using ReadFunction = int64_t (*)(void* context, uint8_t* into, int64_t size);
    HostPolicy::StateApplied LoadStateFrom(void* context, ReadFunction read, StateUse use);
    HostPolicy::StateApplied ApplyLoaded(StateUse use);

    // A bus's routing: the channels announced and whether it is on; its first channel;
    // for an output, the channels the current block writes (-1 before the first block).
    struct Route {
        int channels;
        bool active;
        int first = 0;
        int written = -1;
    };
    Route* FindRoute(BusDirection direction, int bus);
    const Route& RouteOf(BusDirection direction, int bus) const;
    // Plug-in lock held: the output channels the block can write marked connected, the
    // others writing to scratch; false when a routed output has no buffer.
    template <class Sample> bool PrepareOutputs(const HostBlock<Sample>& block);
    // Plug-in lock held: frames samples from offset, in pieces of the largest block.
    template <class Sample> void RunPieces(const HostBlock<Sample>& block, int offset, int frames);
    // The buffers of a block the effect did not write set to zero: all of them when it
    // did not run, else those beyond the channels routed.
    template <class Sample> void SilenceUnwritten(const HostBlock<Sample>& block, bool ran) const;
    template <class Sample> int GivenChannels(const HostBus<Sample>* buses, int count,
                                              BusDirection direction, int bus) const;

    std::unique_ptr<IEffectBase> effect;
    EditorSession editor;
    std::atomic<bool> active{false};
    std::vector<Route> inputRoutes;
    std::vector<Route> outputRoutes;
    std::vector<Default> defaults;
    std::vector<TimedChange> changes; // reserved for kChangeRoom, never grown
    std::mutex stateMutex;
    StateChunk stateChunk;
    IProgramState programState;
};

template <class Sample, class Gather>
bool EffectRuntime::Process(const HostBlock<Sample>& block, IValueUnit unit, Gather&& gather) {
    bool usable = false;
    auto runPiece = [&](int offset, int frames) {
        if (usable)
            RunPieces(block, offset, frames);
    };
    BlockSplitter splitter(*effect, block.frames, runPiece);
    for (bool first = true, more = true; more; first = false) {
        changes.clear();
        more = gather(changes);
        ScopedPlugLock lock(effect->Lock());
        if (first)
            usable = PrepareOutputs(block);
        for (const TimedChange& change : changes)
            splitter.Change(change.offset, change.index, change.value, unit);
        if (!more)
            splitter.Finish();
    }
    if (!block.accumulate)
        SilenceUnwritten(block, usable);
    return usable;
}

template <class Sample>
void EffectRuntime::SilenceUnwritten(const HostBlock<Sample>& block, bool ran) const {
    if (!block.outputs || block.frames <= 0)
        return;
    for (int bus = 0; bus < block.outputBuses; ++bus) {
        const HostBus<Sample>& host = block.outputs[bus];
        // Buses beyond the effect's are not written either.
        const int written = ran ? std::max(RouteOf(BusDirection::kOutput, bus).written, 0) : 0;
        for (int ch = written; host.channels && ch < host.count; ++ch)
            if (host.channels[ch])
                std::fill_n(host.channels[ch], block.frames, Sample(0));
    }
}
