#include "EffectRuntime.h"

#include "MonoInput.h"

#include <algorithm>

namespace {
constexpr int kStatePiece = 4096;

// The most channels of one bus; an effect's buses are pairs, a test effect's wider.
constexpr int kMostBusChannels = 8;
} // namespace

EffectRuntime::EffectRuntime(std::unique_ptr<IEffectBase> owned, IEffectHost& host)
    : effect(std::move(owned)), editor(*effect) {
    changes.reserve(kChangeRoom);
    for (int i = 0; i < effect->ParameterCount(); ++i)
        defaults.push_back({effect->ParameterAt(i)->Value(), effect->ParameterAt(i)->Normalized()});
    const BusLayout& buses = effect->Buses();
    for (std::size_t bus = 0; bus < buses.inputs.size(); ++bus)
        inputRoutes.push_back({buses.inputs[bus].channels, true,
                               buses.FirstChannel(BusDirection::kInput, static_cast<int>(bus))});
    for (std::size_t bus = 0; bus < buses.outputs.size(); ++bus)
        outputRoutes.push_back({buses.outputs[bus].channels, true,
                                buses.FirstChannel(BusDirection::kOutput, static_cast<int>(bus))});
    effect->ConnectHost(&host);
    effect->MarkInputsConnected(0, effect->InputCount(), true);
    effect->MarkOutputsConnected(0, effect->OutputCount(), true);
}

EffectRuntime::~EffectRuntime() {
    effect->ConnectHost(nullptr);
}

// Life cycle.

void EffectRuntime::OpenLikeHost() {
    effect->IdentifyHost();
    ScopedPlugLock lock(effect->Lock());
    for (int i = 0; i < effect->ParameterCount(); ++i)
        effect->ParameterChanged(i);
    effect->ResetProcessing();
}

bool EffectRuntime::Prepare(double rate, int64_t largestBlock) {
    const int frames = HostPolicy::BlockSizeFor(largestBlock);
    if (!HostPolicy::AcceptsSampleRate(rate) || frames == 0)
        return false;
    effect->SetMaxBlockSize(frames);
    ScopedPlugLock lock(effect->Lock());
    if (effect->MaxBlockSize() != frames)
        return false;
    effect->ChangeSampleRate(rate);
    effect->ResetProcessing();
    return true;
}

bool EffectRuntime::ChangeSampleRate(double rate) {
    return HostPolicy::ChangeSampleRate(*effect, rate);
}

bool EffectRuntime::ChangeLargestBlock(int64_t largestBlock) {
    const int frames = HostPolicy::BlockSizeFor(largestBlock);
    if (frames == 0)
        return false;
    effect->SetMaxBlockSize(frames);
    ScopedPlugLock lock(effect->Lock());
    effect->ResetProcessing();
    return effect->MaxBlockSize() == frames;
}

void EffectRuntime::Activate(bool on) {
    active.store(on, std::memory_order_release);
    HostPolicy::Activate(*effect, on);
}

void EffectRuntime::Restart() {
    HostPolicy::Restart(*effect);
}

// Routing.

EffectRuntime::Route* EffectRuntime::FindRoute(BusDirection direction, int bus) {
    std::vector<Route>& routes = direction == BusDirection::kInput ? inputRoutes : outputRoutes;
    return bus >= 0 && bus < static_cast<int>(routes.size()) ? &routes[static_cast<std::size_t>(bus)]
                                                             : nullptr;
}

const EffectRuntime::Route& EffectRuntime::RouteOf(BusDirection direction, int bus) const {
    static constexpr Route kNone{0, false};
    const Route* route = const_cast<EffectRuntime*>(this)->FindRoute(direction, bus);
    return route ? *route : kNone;
}

void EffectRuntime::SetBusChannels(BusDirection direction, int bus, int channels) {
    if (Route* route = FindRoute(direction, bus)) {
        const int most = effect->Buses().In(direction)[static_cast<std::size_t>(bus)].channels;
        ScopedPlugLock lock(effect->Lock());
        route->channels = std::clamp(channels, 0, most);
    }
}

int EffectRuntime::BusChannels(BusDirection direction, int bus) const {
    ScopedPlugLock lock(effect->Lock());
    return RouteOf(direction, bus).channels;
}

void EffectRuntime::SetBusActive(BusDirection direction, int bus, bool on) {
    if (Route* route = FindRoute(direction, bus)) {
        ScopedPlugLock lock(effect->Lock());
        route->active = on;
    }
}

bool EffectRuntime::BusActive(BusDirection direction, int bus) const {
    ScopedPlugLock lock(effect->Lock());
    return RouteOf(direction, bus).active;
}

// Processing.

template <class Sample>
int EffectRuntime::GivenChannels(const HostBus<Sample>* buses, int count, BusDirection direction,
                                 int bus) const {
    const Route& route = RouteOf(direction, bus);
    if (!route.active || !buses || bus >= count || !buses[bus].channels)
        return 0;
    return std::clamp(buses[bus].count, 0, route.channels);
}

template <class Sample> bool EffectRuntime::PrepareOutputs(const HostBlock<Sample>& block) {
    const BusLayout& buses = effect->Buses();
    bool usable = effect->MaxBlockSize() > 0;
    for (std::size_t bus = 0; bus < outputRoutes.size(); ++bus) {
        const int at = static_cast<int>(bus);
        Route& route = outputRoutes[bus];
        const int given = GivenChannels(block.outputs, block.outputBuses, BusDirection::kOutput, at);
        const int routed = route.active ? route.channels : 0;
        for (int ch = 0; ch < given; ++ch)
            usable = usable && block.outputs[at].channels[ch] != nullptr;
        usable = usable && given == routed;
        if (route.written == given)
            continue;
        route.written = given;
        effect->MarkOutputsConnected(route.first, given, true);
        effect->MarkOutputsConnected(route.first + given, buses.outputs[bus].channels - given,
                                     false);
    }
    return usable;
}

template <class Sample>
void EffectRuntime::RunPieces(const HostBlock<Sample>& block, int offset, int frames) {
    const BusLayout& buses = effect->Buses();
    const int largest = effect->MaxBlockSize();
    for (int done = 0; done < frames;) {
        const int n = std::min(largest, frames - done);
        const int at = offset + done;
        for (std::size_t bus = 0; bus < buses.inputs.size(); ++bus) {
            const BusDescription& described = buses.inputs[bus];
            const int index = static_cast<int>(bus);
            const int given = GivenChannels(block.inputs, block.inputBuses, BusDirection::kInput, index);
            Sample* piece[kMostBusChannels] = {};
            for (int ch = 0; ch < given && ch < kMostBusChannels; ++ch)
                if (Sample* channel = block.inputs[index].channels[ch])
                    piece[ch] = channel + at;
            if (described.monoFeedsBoth && described.channels == 2)
                FeedInputPair(piece, given, piece);
            effect->BindInputBuffers(inputRoutes[bus].first,
                                     std::min(described.channels, kMostBusChannels), piece, n);
        }
        for (std::size_t bus = 0; bus < buses.outputs.size(); ++bus) {
            const int index = static_cast<int>(bus);
            Sample* piece[kMostBusChannels] = {};
            const Route& route = outputRoutes[bus];
            for (int ch = 0; ch < route.written && ch < kMostBusChannels; ++ch)
                piece[ch] = block.outputs[index].channels[ch] + at;
            effect->BindOutputBuffers(route.first, route.written, piece);
        }
        if constexpr (sizeof(Sample) == sizeof(double))
            effect->RunBlockDouble(n);
        else if (block.accumulate)
            effect->RunBlockAccumulating(n);
        else
            effect->RunBlock(n);
        done += n;
    }
}

template bool EffectRuntime::PrepareOutputs(const HostBlock<float>&);
template bool EffectRuntime::PrepareOutputs(const HostBlock<double>&);
template void EffectRuntime::RunPieces(const HostBlock<float>&, int, int);
template void EffectRuntime::RunPieces(const HostBlock<double>&, int, int);

// State.

HostPolicy::StateApplied EffectRuntime::LoadStateFrom(void* context, ReadFunction read,
                                                      StateUse use) {
    std::lock_guard guard(stateMutex);
    stateChunk.Clear();
    uint8_t piece[kStatePiece];
    for (;;) {
        const int64_t got = read(context, piece, kStatePiece);
        if (got == 0)
            break;
        // Streams may hand out less than asked before their end: only nothing read ends it.
        if (got < 0 || got > kStatePiece ||
            !HostPolicy::AcceptsStateSize(stateChunk.Size() + got) ||
            !stateChunk.PutBytes(piece, static_cast<int>(got)))
            return HostPolicy::StateApplied::kNothing;
    }
    return ApplyLoaded(use);
}

HostPolicy::StateApplied EffectRuntime::LoadStateBytes(const void* bytes, int64_t size) {
    if (!bytes || !HostPolicy::AcceptsStateSize(size))
        return HostPolicy::StateApplied::kNothing;
    std::lock_guard guard(stateMutex);
    if (!stateChunk.Assign(bytes, static_cast<int>(size)))
        return HostPolicy::StateApplied::kNothing;
    return ApplyLoaded(StateUse::kMakeLive);
}

// State mutex held.
HostPolicy::StateApplied EffectRuntime::ApplyLoaded(StateUse use) {
    // An empty state holds nothing; the program state's reading would take it as cut short.
    if (stateChunk.Size() == 0 ||
        effect->ReadProgramState(stateChunk, programState) == IStateRead::kUnreadable)
        return HostPolicy::StateApplied::kNothing;
    if (use == StateUse::kMakeLive)
        return HostPolicy::ApplyState(*effect, programState);
    const int count = std::min(effect->ParameterCount(), programState.values.count);
    for (int i = 0; i < count; ++i)
        effect->SetParameterFromHost(i, programState.values.values[static_cast<std::size_t>(i)],
                                     IValueUnit::kReal);
    return programState.read == IStateRead::kWhole ? HostPolicy::StateApplied::kWhole
                                                   : HostPolicy::StateApplied::kPartial;
}

EffectRuntime::SavedBytes EffectRuntime::SaveState() {
    std::lock_guard guard(stateMutex);
    if (!effect->SaveProgramState(stateChunk))
        return {};
    return {stateChunk.Data(), stateChunk.Size()};
}
