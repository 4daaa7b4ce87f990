#include "IEffectVST3.h"

#include "EditorViewVST3.h"
#include "FatalAssert.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>

using namespace vst3;

namespace {

// The arrangement of a bus of so many channels; we have mono and stereo buses.
SpeakerArrangement ArrangementFor(int channels) {
    return channels == 1 ? SpeakerArr::kMono
           : channels == 2 ? SpeakerArr::kStereo
                           : SpeakerArr::kEmpty;
}

int ChannelCount(SpeakerArrangement arrangement) {
    return std::popcount(arrangement);
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

IEffectVST3::IEffectVST3(std::unique_ptr<IEffectBase> owned) : runtime(std::move(owned), *this) {
    // An optional bus stays off until the host activates it.
    for (const ::BusDirection direction : {::BusDirection::kInput, ::BusDirection::kOutput}) {
        const auto buses = runtime.Buses().In(direction);
        for (std::size_t bus = 0; bus < buses.size(); ++bus)
            if (buses[bus].optional)
                runtime.SetBusActive(direction, static_cast<int>(bus), false);
    }
    runtime.ChangeLargestBlock(1024);
}

IEffectVST3::~IEffectVST3() {
    Release(componentHandler);
    Release(hostContext);
    Release(factoryContext);
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
    threads.Expect(VST3Call::kInitialize);
    if (initializeCount++ > 0)
        return kResultOk;
    if (context)
        context->addRef();
    hostContext = context;
    runtime.OpenLikeHost();
    return kResultOk;
}

tresult IEffectVST3::Terminate() {
    threads.Expect(VST3Call::kTerminate);
    if (initializeCount == 0)
        return kResultFalse;
    if (--initializeCount > 0)
        return kResultOk;
    setActive(false);
    Release(componentHandler);
    Release(hostContext);
    return kResultOk;
}

// Buses: the effect's own, in its order.

bool IEffectVST3::FindBus(MediaType type, vst3::BusDirection dir, int32_t index,
                          ::BusDirection* direction) const {
    if (type != kAudio || (dir != kInput && dir != kOutput))
        return false;
    *direction = dir == kInput ? ::BusDirection::kInput : ::BusDirection::kOutput;
    return index >= 0 && index < static_cast<int32_t>(runtime.Buses().In(*direction).size());
}

// A bus takes the arrangement of its channels, and a mono one where mono feeds both.
bool IEffectVST3::TakesArrangement(::BusDirection direction, int bus,
                                   SpeakerArrangement arr) const {
    const BusDescription& described = runtime.Buses().In(direction)[static_cast<std::size_t>(bus)];
    return arr == ArrangementFor(described.channels) ||
           (described.monoFeedsBoth && arr == SpeakerArr::kMono);
}

tresult PLUGIN_API IEffectVST3::getControllerClassId(TUID) {
    threads.Expect(VST3Call::kGetControllerClassId);
    return kNotImplemented;
}

tresult PLUGIN_API IEffectVST3::setIoMode(IoMode) {
    threads.Expect(VST3Call::kSetIoMode);
    return kResultOk;
}

int32_t PLUGIN_API IEffectVST3::getBusCount(MediaType type, vst3::BusDirection dir) {
    threads.Expect(VST3Call::kGetBusCount);
    ::BusDirection direction;
    return FindBus(type, dir, 0, &direction)
               ? static_cast<int32_t>(runtime.Buses().In(direction).size())
               : 0;
}

tresult PLUGIN_API IEffectVST3::getBusInfo(MediaType type, vst3::BusDirection dir, int32_t index,
                                           BusInfo* info) {
    threads.Expect(VST3Call::kGetBusInfo);
    ::BusDirection direction;
    if (!info || !FindBus(type, dir, index, &direction))
        return kInvalidArgument;
    const BusDescription& bus = runtime.Buses().In(direction)[static_cast<std::size_t>(index)];
    *info = BusInfo{};
    info->mediaType = type;
    info->direction = dir;
    info->channelCount = runtime.BusChannels(direction, index);
    CopyToString128(info->name, bus.name);
    info->busType = bus.role == BusRole::kMain ? kMain : kAux;
    info->flags = bus.optional ? 0u : uint32_t{BusInfo::kDefaultActive};
    return kResultOk;
}

tresult PLUGIN_API IEffectVST3::getRoutingInfo(RoutingInfo*, RoutingInfo*) {
    threads.Expect(VST3Call::kGetRoutingInfo);
    return kNotImplemented;
}

tresult PLUGIN_API IEffectVST3::activateBus(MediaType type, vst3::BusDirection dir, int32_t index,
                                            TBool state) {
    threads.Expect(VST3Call::kActivateBus);
    ::BusDirection direction;
    if (!FindBus(type, dir, index, &direction))
        return kInvalidArgument;
    runtime.SetBusActive(direction, index, state != 0);
    return kResultOk;
}

tresult PLUGIN_API IEffectVST3::setActive(TBool state) {
    threads.Expect(VST3Call::kSetActive);
    runtime.Activate(state != 0);
    return kResultOk;
}

// The required buses at least, each in an arrangement it takes; refused while active.
tresult PLUGIN_API IEffectVST3::setBusArrangements(SpeakerArrangement* inputs, int32_t numIns,
                                                   SpeakerArrangement* outputs, int32_t numOuts) {
    threads.Expect(VST3Call::kSetBusArrangements);
    const BusLayout& buses = runtime.Buses();
    const auto required = [](std::span<const BusDescription> list) {
        return static_cast<int32_t>(std::count_if(list.begin(), list.end(),
                                                  [](const BusDescription& b) { return !b.optional; }));
    };
    if (!inputs || !outputs || numIns < required(buses.inputs) ||
        numIns > static_cast<int32_t>(buses.inputs.size()) || numOuts < required(buses.outputs) ||
        numOuts > static_cast<int32_t>(buses.outputs.size()))
        return kResultFalse;
    for (int32_t i = 0; i < numIns; ++i)
        if (!TakesArrangement(::BusDirection::kInput, i, inputs[i]))
            return kResultFalse;
    for (int32_t i = 0; i < numOuts; ++i)
        if (outputs[i] != ArrangementFor(buses.outputs[static_cast<std::size_t>(i)].channels))
            return kResultFalse;
    if (runtime.Active())
        return kResultFalse;
    for (int32_t i = 0; i < numIns; ++i)
        runtime.SetBusChannels(::BusDirection::kInput, i, ChannelCount(inputs[i]));
    return kResultOk;
}

tresult PLUGIN_API IEffectVST3::getBusArrangement(vst3::BusDirection dir, int32_t index,
                                                  SpeakerArrangement* arr) {
    threads.Expect(VST3Call::kGetBusArrangement);
    ::BusDirection direction;
    if (!arr || !FindBus(kAudio, dir, index, &direction))
        return kInvalidArgument;
    *arr = ArrangementFor(runtime.BusChannels(direction, index));
    return kResultOk;
}

tresult PLUGIN_API IEffectVST3::canProcessSampleSize(int32_t size) {
    threads.Expect(VST3Call::kCanProcessSampleSize);
    return size == kSample32 || size == kSample64 ? kResultTrue : kResultFalse;
}

uint32_t PLUGIN_API IEffectVST3::getLatencySamples() {
    threads.Expect(VST3Call::kGetLatencySamples);
    return static_cast<uint32_t>(std::max(Effect().LatencySamples(), 0));
}

uint32_t PLUGIN_API IEffectVST3::getTailSamples() {
    threads.Expect(VST3Call::kGetTailSamples);
    return kNoTail;
}

tresult PLUGIN_API IEffectVST3::setupProcessing(ProcessSetup* setup) {
    threads.Expect(VST3Call::kSetupProcessing);
    if (!setup)
        return kInvalidArgument;
    if (canProcessSampleSize(setup->symbolicSampleSize) != kResultTrue || runtime.Active())
        return kResultFalse;
    return runtime.Prepare(setup->sampleRate, setup->maxSamplesPerBlock) ? kResultOk
                                                                          : kResultFalse;
}

tresult PLUGIN_API IEffectVST3::setProcessing(TBool) {
    threads.Expect(VST3Call::kSetProcessing);
    return kResultOk;
}

// Processing.

tresult PLUGIN_API IEffectVST3::process(ProcessData* data) {
    threads.Expect(VST3Call::kProcess);
    if (!data)
        return kInvalidArgument;
    if (data->symbolicSampleSize == kSample64)
        return Run<double>(*data);
    return data->symbolicSampleSize == kSample32 ? Run<float>(*data) : kInvalidArgument;
}

template <class Sample> tresult IEffectVST3::Run(ProcessData& data) {
    using Bus = EffectRuntime::HostBus<Sample>;
    static constexpr int kMostBuses = 4;
    const auto buses = [](AudioBusBuffers* list, int32_t count, Bus* into) {
        const int n = std::clamp(count, 0, kMostBuses);
        for (int bus = 0; list && bus < n; ++bus)
            into[bus] = {reinterpret_cast<Sample**>(list[bus].channelBuffers32),
                         list[bus].numChannels};
        return list ? n : 0;
    };
    Bus inputs[kMostBuses];
    Bus outputs[kMostBuses];
    EffectRuntime::HostBlock<Sample> block;
    block.inputs = inputs;
    block.inputBuses = buses(data.inputs, data.numInputs, inputs);
    block.outputs = outputs;
    block.outputBuses = buses(data.outputs, data.numOutputs, outputs);
    block.frames = std::max(data.numSamples, 0);
    // Before setActive there is nothing to run; the host still gets defined output.
    if (!runtime.Active()) {
        runtime.Silence(block);
        return kResultFalse;
    }
    runtime.Process(block, IValueUnit::kNormalized,
                    [this, &data](std::vector<EffectRuntime::TimedChange>& room) {
                        GatherChanges(data.inputParameterChanges, room);
                        return false;
                    });
    return kResultOk;
}

// Every queue's points, then all of them in time order; points at one offset keep the
// order they were read in. Allocates nothing: the room is never outgrown.
void IEffectVST3::GatherChanges(IParameterChanges* changes,
                                std::vector<EffectRuntime::TimedChange>& room) const {
    static_assert(kMaxPoints + kMaxQueues <= EffectRuntime::kChangeRoom);
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
                room.push_back({offset, index, value, static_cast<int>(room.size())});
        }
    }
    std::sort(room.begin(), room.end(),
              [](const EffectRuntime::TimedChange& a, const EffectRuntime::TimedChange& b) {
                  return a.offset != b.offset ? a.offset < b.offset : a.order < b.order;
              });
}

// State: the bytes of the VST 2 program chunk, at the stream's position.

namespace {
auto ReaderOf(IBStream* stream) {
    return [stream](uint8_t* into, int64_t size) -> int64_t {
        int32_t got = 0;
        return stream->read(into, static_cast<int32_t>(size), &got) == kResultOk ? got : -1;
    };
}

tresult Answer(HostPolicy::StateApplied applied) {
    return applied == HostPolicy::StateApplied::kWhole ? kResultOk : kResultFalse;
}
} // namespace

tresult IEffectVST3::SetComponentState(IBStream* stream) {
    threads.Expect(VST3Call::kSetState);
    if (!stream)
        return kInvalidArgument;
    return Answer(runtime.LoadState(ReaderOf(stream)));
}

tresult IEffectVST3::GetComponentState(IBStream* stream) {
    threads.Expect(VST3Call::kGetState);
    if (!stream)
        return kInvalidArgument;
    const bool saved = runtime.SaveState([stream](const uint8_t* bytes, int64_t size) -> int64_t {
        int32_t written = 0;
        return stream->write(const_cast<uint8_t*>(bytes), static_cast<int32_t>(size), &written) ==
                       kResultOk
                   ? written
                   : -1;
    });
    return saved ? kResultOk : kResultFalse;
}

// The component's state holds the values; the controller's, the editor's view: "QEv1",
// the chosen scale in thousandths (0 for none) and the editor's options, each a
// little-endian uint32. An empty state (a project from before) leaves the view as it is;
// any other that is not this one is refused and changes nothing.
namespace {
constexpr uint8_t kViewMagic[4] = {'Q', 'E', 'v', '1'};
constexpr int32_t kViewStateSize = 12;

void PutWord(uint8_t* at, uint32_t word) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(word >> (8 * i));
}

uint32_t WordAt(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
           static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}
} // namespace

tresult IEffectVST3::SetControllerState(IBStream* stream) {
    threads.Expect(VST3Call::kSetState);
    if (!stream)
        return kInvalidArgument;
    uint8_t bytes[kViewStateSize + 1] = {};
    int32_t got = 0;
    if (stream->read(bytes, sizeof bytes, &got) != kResultOk || got < 0)
        return kResultFalse;
    if (got == 0)
        return kResultOk;
    if (got != kViewStateSize || std::memcmp(bytes, kViewMagic, sizeof kViewMagic) != 0)
        return kResultFalse;
    const uint32_t thousandths = WordAt(bytes + 4);
    if (thousandths != 0 && (thousandths < 1000 || thousandths > 3000))
        return kResultFalse;
    runtime.Editor().RestoreView({thousandths / 1000.0, WordAt(bytes + 8)});
    return kResultOk;
}

tresult IEffectVST3::GetControllerState(IBStream* stream) {
    threads.Expect(VST3Call::kGetState);
    if (!stream)
        return kInvalidArgument;
    const EditorSession::View view = runtime.Editor().SavedView();
    uint8_t bytes[kViewStateSize];
    std::memcpy(bytes, kViewMagic, sizeof kViewMagic);
    PutWord(bytes + 4, static_cast<uint32_t>(std::lround(view.scale * 1000.0)));
    PutWord(bytes + 8, view.options);
    int32_t written = 0;
    return stream->write(bytes, kViewStateSize, &written) == kResultOk && written == kViewStateSize
               ? kResultOk
               : kResultFalse;
}

// The controller is the component: the state is already live when a host hands it here
// after setState, so only values that differ change, as a host's values do, and nothing
// restarts. A host that sends only this one gets the values all the same.
tresult PLUGIN_API IEffectVST3::setComponentState(IBStream* stream) {
    threads.Expect(VST3Call::kSetComponentState);
    if (!stream)
        return kInvalidArgument;
    return Answer(runtime.LoadState(ReaderOf(stream), EffectRuntime::StateUse::kValuesOnly));
}

// Parameters: IDs are the effect's indices.

int IEffectVST3::IndexFor(ParamID id) const {
    return id < static_cast<ParamID>(runtime.Effect().ParameterCount()) ? static_cast<int>(id)
                                                                          : -1;
}

IParameter* IEffectVST3::ParameterFor(ParamID id) {
    return Effect().ParameterAt(IndexFor(id));
}

int32_t PLUGIN_API IEffectVST3::getParameterCount() {
    threads.Expect(VST3Call::kGetParameterCount);
    return Effect().ParameterCount();
}

tresult PLUGIN_API IEffectVST3::getParameterInfo(int32_t index, ParameterInfo* info) {
    threads.Expect(VST3Call::kGetParameterInfo);
    const IParameter* parameter = Effect().ParameterAt(index);
    if (!parameter || !info)
        return kInvalidArgument;
    *info = ParameterInfo{};
    info->id = static_cast<ParamID>(index);
    CopyToString128(info->title, parameter->NameForHost());
    CopyToString128(info->shortTitle, parameter->NameForHost());
    CopyToString128(info->units, parameter->LabelForHost());
    info->stepCount = StepCount(*parameter);
    info->defaultNormalizedValue = runtime.DefaultOf(index).normalized;
    info->unitId = 0;
    info->flags = ParameterInfo::kCanAutomate;
    if (info->stepCount > 0)
        info->flags |= ParameterInfo::kIsList;
    return kResultOk;
}

// The text of the value a normalized value sets, as the host will then show it.
tresult PLUGIN_API IEffectVST3::getParamStringByValue(ParamID id, ParamValue normalized,
                                                      TChar* string) {
    threads.Expect(VST3Call::kGetParamStringByValue);
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
    threads.Expect(VST3Call::kGetParamValueByString);
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
    threads.Expect(VST3Call::kNormalizedParamToPlain);
    const IParameter* parameter = ParameterFor(id);
    return parameter ? parameter->ValueFromNormalized(normalized) : normalized;
}

ParamValue PLUGIN_API IEffectVST3::plainParamToNormalized(ParamID id, ParamValue plain) {
    threads.Expect(VST3Call::kPlainParamToNormalized);
    const IParameter* parameter = ParameterFor(id);
    return parameter ? parameter->Normalize(plain) : plain;
}

ParamValue PLUGIN_API IEffectVST3::getParamNormalized(ParamID id) {
    threads.Expect(VST3Call::kGetParamNormalized);
    const IParameter* parameter = ParameterFor(id);
    return parameter ? parameter->Normalized() : 0.0;
}

// The controller's value is the effect's: a host's value sets it as processing would,
// and the echo of it in a later block changes nothing.
tresult PLUGIN_API IEffectVST3::setParamNormalized(ParamID id, ParamValue value) {
    threads.Expect(VST3Call::kSetParamNormalized);
    if (!ParameterFor(id))
        return kInvalidArgument;
    Effect().SetParameterFromHost(IndexFor(id), value, IValueUnit::kNormalized);
    return kResultOk;
}

tresult PLUGIN_API IEffectVST3::setComponentHandler(IComponentHandler* handler) {
    threads.Expect(VST3Call::kSetComponentHandler);
    if (handler)
        handler->addRef();
    Release(componentHandler);
    componentHandler = handler;
    return kResultOk;
}

// A new view with one reference, the host's; null for any other name, or without a panel.
IPlugView* PLUGIN_API IEffectVST3::createView(FIDString name) {
    threads.Expect(VST3Call::kCreateView);
    int width = 0;
    int height = 0;
    if (!name || std::strcmp(name, kEditorViewType) != 0 ||
        !runtime.Editor().Offered(&width, &height))
        return nullptr;
    return new (std::nothrow) EditorViewVST3(*this);
}

tresult PLUGIN_API IEffectVST3::setKnobMode(KnobMode mode) {
    threads.Expect(VST3Call::kSetKnobMode);
    return mode == kLinearMode ? kResultOk : kResultFalse;
}

// The effect's host.

void IEffectVST3::EditBegin(int index) {
    QUELOR_DEBUG_ASSERT(!Effect().Lock().HeldByThisThread());
    if (componentHandler)
        componentHandler->beginEdit(static_cast<ParamID>(index));
}

void IEffectVST3::EditValue(int index, double normalized, double) {
    QUELOR_DEBUG_ASSERT(!Effect().Lock().HeldByThisThread());
    if (componentHandler)
        componentHandler->performEdit(static_cast<ParamID>(index), normalized);
}

void IEffectVST3::EditEnd(int index) {
    QUELOR_DEBUG_ASSERT(!Effect().Lock().HeldByThisThread());
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

bool IEffectVST3::EditorResized(int, int) {
    return shownView && shownView->FollowPanelSize();
}
