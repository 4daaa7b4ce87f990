#include "IEffectVST3.h"

#include "BlockSplitter.h"
#include "EditorViewVST3.h"
#include "FatalAssert.h"
#include "HostPolicy.h"
#include "MonoInput.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>

using namespace vst3;

namespace {

constexpr int kMainBus = 0;
constexpr int kSidechainBus = 1;

int ChannelCount(SpeakerArrangement arrangement) {
    return std::popcount(arrangement);
}

bool IsMonoOrStereo(SpeakerArrangement arrangement) {
    return arrangement == SpeakerArr::kMono || arrangement == SpeakerArr::kStereo;
}

// Parameter texts are ASCII: each byte becomes one UTF-16 unit.
void CopyToString128(TChar* out, const char* text) {
    int i = 0;
    for (; text[i] && i < 127; ++i)
        out[i] = static_cast<TChar>(static_cast<unsigned char>(text[i]));
    out[i] = 0;
}

// A host's text for a value; units outside ASCII name no value of ours and become '?'.
void CopyFromString128(char* out, std::size_t size, const TChar* text) {
    std::size_t i = 0;
    for (; i + 1 < size && i < 128 && text[i]; ++i)
        out[i] = text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    out[i] = '\0';
}

template <class T> void Release(T*& held) {
    if (held)
        held->release();
    held = nullptr;
}

// The steps a host shows for a parameter: 0 for a continuous one, the number of values
// less one for the others.
int32_t StepCount(const IParameter& parameter) {
    if (!parameter.IsIntegerValued())
        return 0;
    return static_cast<int32_t>(
        std::lround((parameter.Maximum() - parameter.Minimum()) / parameter.Step()));
}

} // namespace

IEffectVST3::IEffectVST3(std::unique_ptr<IEffectBase> owned) : effect(std::move(owned)) {
    timedChanges.reserve(static_cast<std::size_t>(kMaxPoints + kMaxQueues));
    effect->ConnectHost(this);
    for (int i = 0; i < effect->ParameterCount(); ++i)
        defaultNormalized.push_back(effect->ParameterAt(i)->Normalized());
    effect->MarkInputsConnected(0, effect->InputCount(), true);
    effect->MarkOutputsConnected(0, effect->OutputCount(), true);
    effect->SetMaxBlockSize(1024);
}

IEffectVST3::~IEffectVST3() {
    Release(componentHandler);
    Release(hostContext);
    Release(factoryContext);
    effect->ConnectHost(nullptr);
}

void IEffectVST3::SetFactoryContext(FUnknown* context) {
    if (context)
        context->addRef();
    Release(factoryContext);
    factoryContext = context;
}

// FUnknown.

tresult PLUGIN_API IEffectVST3::queryInterface(const TUID iid, void** obj) {
    if (!obj)
        return kInvalidArgument;
    *obj = nullptr;
    if (!iid)
        return kInvalidArgument;
    void* found = nullptr;
    if (SameUid(iid, FUnknown::kIid) || SameUid(iid, IPluginBase::kIid) ||
        SameUid(iid, IComponent::kIid))
        found = static_cast<IComponent*>(this);
    else if (SameUid(iid, IAudioProcessor::kIid))
        found = static_cast<IAudioProcessor*>(this);
    else if (SameUid(iid, IProcessContextRequirements::kIid))
        found = static_cast<IProcessContextRequirements*>(this);
    else if (SameUid(iid, IEditController::kIid))
        found = static_cast<IEditController*>(this);
    else if (SameUid(iid, IEditController2::kIid))
        found = static_cast<IEditController2*>(this);
    if (!found)
        return kNoInterface;
    addRef();
    *obj = found;
    return kResultOk;
}

uint32_t PLUGIN_API IEffectVST3::addRef() {
    return ++references;
}

uint32_t PLUGIN_API IEffectVST3::release() {
    const uint32_t count = --references;
    if (count == 0)
        delete this;
    return count;
}

// Life cycle. A single object is initialized once through each interface by some hosts
// and once in all by others; every initialize is matched by a terminate.

tresult IEffectVST3::InitializeComponent(FUnknown* context) {
    return Initialize(context);
}

tresult IEffectVST3::InitializeController(FUnknown* context) {
    return Initialize(context);
}

tresult IEffectVST3::TerminateComponent() {
    return Terminate();
}

tresult IEffectVST3::TerminateController() {
    return Terminate();
}

tresult IEffectVST3::Initialize(FUnknown* context) {
    if (initializeCount++ > 0)
        return kResultOk;
    if (context)
        context->addRef();
    hostContext = context;
    effect->IdentifyHost();
    ScopedPlugLock lock(effect->Lock());
    for (int i = 0; i < effect->ParameterCount(); ++i)
        effect->ParameterChanged(i);
    effect->ResetProcessing();
    return kResultOk;
}

tresult IEffectVST3::Terminate() {
    if (initializeCount == 0)
        return kResultFalse;
    if (--initializeCount > 0)
        return kResultOk;
    setActive(false);
    Release(componentHandler);
    Release(hostContext);
    return kResultOk;
}

// Buses: a main stereo (or mono) input, a side-chain the host may route, a stereo output.

IEffectVST3::Bus* IEffectVST3::FindBus(MediaType type, BusDirection dir, int32_t index) {
    if (type != kAudio)
        return nullptr;
    if (dir == kInput && index == kMainBus)
        return &mainInput;
    if (dir == kInput && index == kSidechainBus)
        return &sidechainInput;
    if (dir == kOutput && index == kMainBus)
        return &mainOutput;
    return nullptr;
}

tresult PLUGIN_API IEffectVST3::getControllerClassId(TUID) {
    return kNotImplemented;
}

tresult PLUGIN_API IEffectVST3::setIoMode(IoMode) {
    return kResultOk;
}

int32_t PLUGIN_API IEffectVST3::getBusCount(MediaType type, BusDirection dir) {
    if (type != kAudio)
        return 0;
    return dir == kInput ? 2 : dir == kOutput ? 1 : 0;
}

tresult PLUGIN_API IEffectVST3::getBusInfo(MediaType type, BusDirection dir, int32_t index,
                                           BusInfo* info) {
    const Bus* bus = FindBus(type, dir, index);
    if (!bus || !info)
        return kInvalidArgument;
    *info = BusInfo{};
    info->mediaType = type;
    info->direction = dir;
    {
        ScopedPlugLock lock(effect->Lock());
        info->channelCount = ChannelCount(bus->arrangement);
    }
    const bool sidechain = bus == &sidechainInput;
    CopyToString128(info->name, sidechain ? "Sidechain" : dir == kInput ? "Input" : "Output");
    info->busType = sidechain ? kAux : kMain;
    info->flags = sidechain ? 0u : uint32_t{BusInfo::kDefaultActive};
    return kResultOk;
}

tresult PLUGIN_API IEffectVST3::getRoutingInfo(RoutingInfo*, RoutingInfo*) {
    return kNotImplemented;
}

tresult PLUGIN_API IEffectVST3::activateBus(MediaType type, BusDirection dir, int32_t index,
                                            TBool state) {
    Bus* bus = FindBus(type, dir, index);
    if (!bus)
        return kInvalidArgument;
    ScopedPlugLock lock(effect->Lock());
    bus->active = state != 0;
    return kResultOk;
}

tresult PLUGIN_API IEffectVST3::setActive(TBool state) {
    const bool on = state != 0;
    {
        ScopedPlugLock lock(effect->Lock());
        if (on == active)
            return kResultOk;
        active = on;
    }
    HostPolicy::Activate(*effect, on);
    return kResultOk;
}

tresult PLUGIN_API IEffectVST3::setBusArrangements(SpeakerArrangement* inputs, int32_t numIns,
                                                   SpeakerArrangement* outputs, int32_t numOuts) {
    // The main input in mono or stereo, the side-chain too when given, a stereo output.
    if (!inputs || !outputs || numIns < 1 || numIns > 2 || numOuts != 1)
        return kResultFalse;
    if (!IsMonoOrStereo(inputs[0]) || (numIns == 2 && !IsMonoOrStereo(inputs[1])) ||
        outputs[0] != SpeakerArr::kStereo)
        return kResultFalse;
    ScopedPlugLock lock(effect->Lock());
    if (active)
        return kResultFalse;
    mainInput.arrangement = inputs[0];
    if (numIns == 2)
        sidechainInput.arrangement = inputs[1];
    return kResultOk;
}

tresult PLUGIN_API IEffectVST3::getBusArrangement(BusDirection dir, int32_t index,
                                                  SpeakerArrangement* arr) {
    const Bus* bus = FindBus(kAudio, dir, index);
    if (!bus || !arr)
        return kInvalidArgument;
    ScopedPlugLock lock(effect->Lock());
    *arr = bus->arrangement;
    return kResultOk;
}

tresult PLUGIN_API IEffectVST3::canProcessSampleSize(int32_t size) {
    return size == kSample32 || size == kSample64 ? kResultTrue : kResultFalse;
}

uint32_t PLUGIN_API IEffectVST3::getLatencySamples() {
    return static_cast<uint32_t>(std::max(effect->LatencySamples(), 0));
}

uint32_t PLUGIN_API IEffectVST3::getTailSamples() {
    return kNoTail;
}

tresult PLUGIN_API IEffectVST3::setupProcessing(ProcessSetup* setup) {
    if (!setup)
        return kInvalidArgument;
    const int largest = HostPolicy::BlockSizeFor(setup->maxSamplesPerBlock);
    if (!HostPolicy::AcceptsSampleRate(setup->sampleRate) || largest == 0 ||
        canProcessSampleSize(setup->symbolicSampleSize) != kResultTrue)
        return kResultFalse;
    {
        ScopedPlugLock lock(effect->Lock());
        if (active)
            return kResultFalse;
    }
    effect->SetMaxBlockSize(largest);
    HostPolicy::ChangeSampleRate(*effect, setup->sampleRate);
    return kResultOk;
}

tresult PLUGIN_API IEffectVST3::setProcessing(TBool) {
    return kResultOk;
}

// Processing.

template <class Sample> void IEffectVST3::SilenceOutputs(const ProcessData& data) {
    if (!data.outputs || data.numSamples <= 0)
        return;
    for (int32_t bus = 0; bus < data.numOutputs; ++bus) {
        const AudioBusBuffers& buffers = data.outputs[bus];
        Sample** channels = reinterpret_cast<Sample**>(buffers.channelBuffers32);
        if (!channels)
            continue;
        for (int32_t ch = 0; ch < buffers.numChannels; ++ch)
            if (channels[ch])
                std::fill_n(channels[ch], data.numSamples, Sample(0));
    }
}

tresult PLUGIN_API IEffectVST3::process(ProcessData* data) {
    if (!data)
        return kInvalidArgument;
    const bool wide = data->symbolicSampleSize == kSample64;
    if (!wide && data->symbolicSampleSize != kSample32)
        return kInvalidArgument;
    // The host's queues are read before the lock is taken: no call into the host is made
    // under it.
    GatherChanges(data->inputParameterChanges);
    ScopedPlugLock lock(effect->Lock());
    if (!active) {
        // Before setActive there is nothing to run; the host still gets defined output.
        if (wide)
            SilenceOutputs<double>(*data);
        else
            SilenceOutputs<float>(*data);
        return kResultFalse;
    }
    if (wide)
        ProcessAudio<double>(*data);
    else
        ProcessAudio<float>(*data);
    return kResultOk;
}

template <class Sample> void IEffectVST3::ProcessAudio(ProcessData& data) {
    const int frames = std::max(data.numSamples, 0);
    // The programme and the side-chain, each a stereo pair fed by the one mono rule;
    // a bus that is inactive, left out or without buffers reads as silence.
    Sample* inputs[4] = {};
    const auto feed = [&](int bus, const Bus& state, Sample** pair) {
        if (!state.active || !data.inputs || bus >= data.numInputs)
            return;
        const AudioBusBuffers& buffers = data.inputs[bus];
        Sample** channels = reinterpret_cast<Sample**>(buffers.channelBuffers32);
        if (!channels)
            return;
        const int count = std::clamp(buffers.numChannels, 0, ChannelCount(state.arrangement));
        FeedInputPair(channels, count, pair);
    };
    feed(kMainBus, mainInput, inputs);
    feed(kSidechainBus, sidechainInput, inputs + 2);
    Sample* outputs[2] = {};
    bool writable = data.outputs && data.numOutputs > 0 && mainOutput.active;
    if (writable) {
        const AudioBusBuffers& buffers = data.outputs[kMainBus];
        Sample** channels = reinterpret_cast<Sample**>(buffers.channelBuffers32);
        writable = channels && buffers.numChannels >= 2 && channels[0] && channels[1];
        if (writable) {
            outputs[0] = channels[0];
            outputs[1] = channels[1];
        }
    }
    // Without outputs to write, the changes still land at their samples' times, but no
    // audio runs.
    auto runPiece = [&](int offset, int count) {
        if (!writable)
            return;
        const int piece = std::max(effect->MaxBlockSize(), 1);
        for (int done = 0; done < count;) {
            const int n = std::min(piece, count - done);
            Sample* in[4];
            for (int ch = 0; ch < 4; ++ch)
                in[ch] = inputs[ch] ? inputs[ch] + offset + done : nullptr;
            Sample* out[2] = {outputs[0] + offset + done, outputs[1] + offset + done};
            effect->BindInputBuffers(0, 4, in, n);
            effect->BindOutputBuffers(0, 2, out);
            if constexpr (sizeof(Sample) == sizeof(double))
                effect->RunBlockDouble(n);
            else
                effect->RunBlock(n);
            done += n;
        }
    };
    BlockSplitter splitter(*effect, frames, runPiece);
    for (const TimedChange& change : timedChanges)
        splitter.Change(change.offset, change.index, change.value, IValueUnit::kNormalized);
    splitter.Finish();
    if (!writable)
        SilenceOutputs<Sample>(data);
}

// Every queue's points, then all of them in time order; points at one offset keep the
// order they were read in. Allocates nothing: the list never outgrows its reserve.
void IEffectVST3::GatherChanges(IParameterChanges* changes) {
    timedChanges.clear();
    if (!changes)
        return;
    const int32_t queueCount = std::clamp(changes->getParameterCount(), 0, kMaxQueues);
    int32_t budget = kMaxPoints;
    for (int32_t q = 0; q < queueCount; ++q) {
        IParamValueQueue* queue = changes->getParameterData(q);
        if (!queue)
            continue;
        const int index = IndexFor(queue->getParameterId());
        const int32_t count = queue->getPointCount();
        for (int32_t point = 0; point < count; ++point) {
            if (point < count - 1 && budget == 0)
                point = count - 1;
            else if (point < count - 1)
                --budget;
            int32_t offset = 0;
            ParamValue value = 0.0;
            // A point the queue cannot give is passed over.
            if (queue->getPoint(point, &offset, &value) == kResultOk)
                timedChanges.push_back(
                    {offset, static_cast<int32_t>(timedChanges.size()), index, value});
        }
    }
    std::sort(timedChanges.begin(), timedChanges.end(),
              [](const TimedChange& a, const TimedChange& b) {
                  return a.offset != b.offset ? a.offset < b.offset : a.order < b.order;
              });
}

// State: the bytes of the VST 2 program chunk, at the stream's position.

bool IEffectVST3::ReadStream(IBStream* stream) {
    constexpr int32_t kStep = 4096;
    streamBuffer.clear();
    for (;;) {
        const std::size_t at = streamBuffer.size();
        if (!HostPolicy::AcceptsStateSize(static_cast<int64_t>(at)))
            return false;
        streamBuffer.resize(at + kStep);
        int32_t got = 0;
        if (stream->read(streamBuffer.data() + at, kStep, &got) != kResultOk || got < 0 ||
            got > kStep)
            return false;
        streamBuffer.resize(at + static_cast<std::size_t>(got));
        // Streams may hand out less than asked before their end: only nothing read ends it.
        if (got == 0)
            break;
    }
    // An empty stream holds no state; the core would read it as a state cut short.
    return !streamBuffer.empty() &&
           stateChunk.Assign(streamBuffer.data(), static_cast<int>(streamBuffer.size()));
}

tresult IEffectVST3::SetComponentState(IBStream* stream) {
    if (!stream)
        return kInvalidArgument;
    std::lock_guard guard(stateMutex);
    if (!ReadStream(stream) ||
        effect->ReadProgramState(stateChunk, programState) == IStateRead::kUnreadable)
        return kResultFalse;
    return HostPolicy::ApplyState(*effect, programState) == HostPolicy::StateApplied::kWhole
               ? kResultOk
               : kResultFalse;
}

tresult IEffectVST3::GetComponentState(IBStream* stream) {
    if (!stream)
        return kInvalidArgument;
    std::lock_guard guard(stateMutex);
    stateChunk.Clear();
    if (!effect->SaveProgramState(stateChunk))
        return kResultFalse;
    const uint8_t* bytes = stateChunk.Data();
    int32_t left = stateChunk.Size();
    while (left > 0) {
        int32_t written = 0;
        if (stream->write(const_cast<uint8_t*>(bytes), left, &written) != kResultOk ||
            written <= 0 || written > left)
            return kResultFalse;
        bytes += written;
        left -= written;
    }
    return kResultOk;
}

// The component's state holds the values; the controller of the same object keeps none.
tresult IEffectVST3::SetControllerState(IBStream*) {
    return kResultOk;
}

tresult IEffectVST3::GetControllerState(IBStream*) {
    return kResultOk;
}

// The controller is the component: the state is already live when a host hands it here
// after setState, so only values that differ change, as a host's values do, and nothing
// restarts. A host that sends only this one gets the values all the same.
tresult PLUGIN_API IEffectVST3::setComponentState(IBStream* stream) {
    if (!stream)
        return kInvalidArgument;
    std::lock_guard guard(stateMutex);
    if (!ReadStream(stream))
        return kResultFalse;
    const IStateRead read = effect->ReadProgramState(stateChunk, programState);
    if (read == IStateRead::kUnreadable)
        return kResultFalse;
    const int count = std::min(effect->ParameterCount(), programState.values.count);
    for (int i = 0; i < count; ++i)
        effect->SetParameterFromHost(i, programState.values.values[static_cast<std::size_t>(i)],
                                     IValueUnit::kReal);
    return read == IStateRead::kWhole ? kResultOk : kResultFalse;
}

// Parameters: IDs are the effect's indices.

int IEffectVST3::IndexFor(ParamID id) const {
    return id < static_cast<ParamID>(effect->ParameterCount()) ? static_cast<int>(id) : -1;
}

IParameter* IEffectVST3::ParameterFor(ParamID id) {
    return effect->ParameterAt(IndexFor(id));
}

int32_t PLUGIN_API IEffectVST3::getParameterCount() {
    return effect->ParameterCount();
}

tresult PLUGIN_API IEffectVST3::getParameterInfo(int32_t index, ParameterInfo* info) {
    const IParameter* parameter = effect->ParameterAt(index);
    if (!parameter || !info)
        return kInvalidArgument;
    *info = ParameterInfo{};
    info->id = static_cast<ParamID>(index);
    CopyToString128(info->title, parameter->NameForHost());
    CopyToString128(info->shortTitle, parameter->NameForHost());
    CopyToString128(info->units, parameter->LabelForHost());
    info->stepCount = StepCount(*parameter);
    info->defaultNormalizedValue = defaultNormalized[static_cast<std::size_t>(index)];
    info->unitId = 0;
    info->flags = ParameterInfo::kCanAutomate;
    if (info->stepCount > 0)
        info->flags |= ParameterInfo::kIsList;
    return kResultOk;
}

// The text of the value a normalized value sets, as the host will then show it.
tresult PLUGIN_API IEffectVST3::getParamStringByValue(ParamID id, ParamValue normalized,
                                                      TChar* string) {
    const IParameter* parameter = ParameterFor(id);
    if (!parameter || !string)
        return kInvalidArgument;
    char text[kParameterTextSize];
    parameter->FormatForHost(parameter->ValueFromNormalized(normalized), false, text);
    CopyToString128(string, text);
    return kResultOk;
}

tresult PLUGIN_API IEffectVST3::getParamValueByString(ParamID id, TChar* string,
                                                      ParamValue* normalized) {
    const IParameter* parameter = ParameterFor(id);
    if (!parameter || !string || !normalized)
        return kInvalidArgument;
    char text[128];
    CopyFromString128(text, sizeof text, string);
    double real = 0.0;
    if (!parameter->ParseFromHost(text, &real))
        return kResultFalse;
    *normalized = parameter->Normalize(real);
    return kResultOk;
}

ParamValue PLUGIN_API IEffectVST3::normalizedParamToPlain(ParamID id, ParamValue normalized) {
    const IParameter* parameter = ParameterFor(id);
    return parameter ? parameter->ValueFromNormalized(normalized) : normalized;
}

ParamValue PLUGIN_API IEffectVST3::plainParamToNormalized(ParamID id, ParamValue plain) {
    const IParameter* parameter = ParameterFor(id);
    return parameter ? parameter->Normalize(plain) : plain;
}

ParamValue PLUGIN_API IEffectVST3::getParamNormalized(ParamID id) {
    const IParameter* parameter = ParameterFor(id);
    return parameter ? parameter->Normalized() : 0.0;
}

// The controller's value is the effect's: a host's value sets it as processing would,
// and the echo of it in a later block changes nothing.
tresult PLUGIN_API IEffectVST3::setParamNormalized(ParamID id, ParamValue value) {
    if (!ParameterFor(id))
        return kInvalidArgument;
    effect->SetParameterFromHost(IndexFor(id), value, IValueUnit::kNormalized);
    return kResultOk;
}

tresult PLUGIN_API IEffectVST3::setComponentHandler(IComponentHandler* handler) {
    if (handler)
        handler->addRef();
    Release(componentHandler);
    componentHandler = handler;
    return kResultOk;
}

bool IEffectVST3::ClaimEditor(const void* view) {
    if (editorView && editorView != view)
        return false;
    editorView = view;
    return true;
}

void IEffectVST3::ReleaseEditor(const void* view) {
    if (editorView == view)
        editorView = nullptr;
}

// A new view with one reference, the host's; null for any other name, or without a panel.
IPlugView* PLUGIN_API IEffectVST3::createView(FIDString name) {
    int width = 0;
    int height = 0;
    if (!name || std::strcmp(name, kEditorViewType) != 0 || !effect->EditorSize(&width, &height))
        return nullptr;
    return new (std::nothrow) EditorViewVST3(*this);
}

tresult PLUGIN_API IEffectVST3::setKnobMode(KnobMode mode) {
    return mode == kLinearMode ? kResultOk : kResultFalse;
}

// The effect's host.

void IEffectVST3::EditBegin(int index) {
    QUELOR_DEBUG_ASSERT(!effect->Lock().HeldByThisThread());
    if (componentHandler)
        componentHandler->beginEdit(static_cast<ParamID>(index));
}

void IEffectVST3::EditValue(int index, double normalized, double) {
    QUELOR_DEBUG_ASSERT(!effect->Lock().HeldByThisThread());
    if (componentHandler)
        componentHandler->performEdit(static_cast<ParamID>(index), normalized);
}

void IEffectVST3::EditEnd(int index) {
    QUELOR_DEBUG_ASSERT(!effect->Lock().HeldByThisThread());
    if (componentHandler)
        componentHandler->endEdit(static_cast<ParamID>(index));
}

void IEffectVST3::HostProduct(char* name, int size, int32_t* version) {
    name[0] = '\0';
    *version = 0;
    IHostApplication* application = nullptr;
    if (!hostContext ||
        hostContext->queryInterface(IHostApplication::kIid.data(),
                                    reinterpret_cast<void**>(&application)) != kResultOk ||
        !application)
        return;
    String128 text{};
    if (application->getName(text) == kResultOk) {
        text[127] = 0;
        CopyFromString128(name, static_cast<std::size_t>(size), text);
    }
    application->release();
}
