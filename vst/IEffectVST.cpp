#include "IEffectVST.h"

#include "FatalAssert.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
constexpr int32_t kIdentifyAnswer = 0x4E764566; // 'NvEf'
constexpr intptr_t kVendorSpecificAnswer = 0xBEEF;
// What a host that asks about its own vendor extensions is told: we know them.
constexpr intptr_t kVendorExtensionAnswer = static_cast<intptr_t>(0xBEEF0000u);
constexpr int32_t kVendorSpecificFormat = 7;
constexpr intptr_t kVstVersion = 2400;
constexpr int kHostTextSize = 256;
constexpr intptr_t kLargestDecimalVersion = 99999999; // MMMMmmpp

constexpr const char* kMidiCanDos[] = {"sendVstEvents", "sendVstMidiEvent", "receiveVstEvents",
                                       "receiveVstMidiEvent"};

// Copies a text into a host buffer of limit bytes, terminator included.
void CopyToHost(void* ptr, const char* text, int limit) {
    CopyText(static_cast<char*>(ptr), text, static_cast<std::size_t>(limit));
}

int16_t Clamp16(int v) {
    return static_cast<int16_t>(std::clamp(v, 0, 0x7FFF));
}

// (v / 10000) * 65536 + ((v mod 10000) / 100) * 256 + v mod 100, on the
// decimal form MMMMmmpp that hosts answer with.
int32_t PackDecimalVersion(intptr_t v) {
    v = std::clamp<intptr_t>(v, 0, kLargestDecimalVersion);
    return static_cast<int32_t>((v / 10000) * 65536 + ((v % 10000) / 100) * 256 + v % 100);
}
} // namespace

// Events for the host, collected while an entry holds the plug-in lock. Its size is fixed,
// so collecting never allocates.
class IEffectVST::EventBatch {
public:
    static constexpr int kCapacity = 64;

    bool Full() const { return count == kCapacity; }
    int Count() const { return count; }
    // False when full.
    bool AddMidi(const VstMidiEvent& event) { return Add(nullptr, event); }
    bool AddPassed(VstEvent* event) { return Add(event, VstMidiEvent{}); }
    VstEvent* EventAt(int i) {
        Slot& slot = slots[i];
        return slot.passed ? slot.passed : reinterpret_cast<VstEvent*>(&slot.midi);
    }
    void Clear() { count = 0; }

private:
    bool Add(VstEvent* passed, const VstMidiEvent& midi) {
        if (Full())
            return false;
        slots[count++] = Slot{passed, midi};
        return true;
    }

    // The host's own event, passed back unchanged, or a MIDI event of ours.
    struct Slot {
        VstEvent* passed;
        VstMidiEvent midi;
    };
    Slot slots[kCapacity];
    int count = 0;
};

// One call from the host into the plug-in, holding the plug-in lock while open. What the
// plug-in sends the host meanwhile is collected, and sent in order when the entry ends,
// once the lock is released. An entry opened by a thread that holds the lock already adds
// to the collection of the entry that took it.
class IEffectVST::HostEntry {
public:
    explicit HostEntry(IEffectVST& owner, bool openNow = true) : plug(&owner) {
        if (openNow)
            Open();
    }
    ~HostEntry() { Finish(); }
    HostEntry(const HostEntry&) = delete;
    HostEntry& operator=(const HostEntry&) = delete;

    // Takes the plug-in lock.
    void Open() {
        if (open)
            return;
        const bool nested = plug->Effect().Lock().HeldByThisThread();
        plug->Effect().Lock().Lock();
        open = true;
        if (!nested) {
            plug->collecting = &batch;
            collects = true;
        }
    }
    // Releases the plug-in lock; what was collected waits for Finish.
    void Release() {
        if (!open)
            return;
        if (collects)
            plug->collecting = nullptr;
        open = false;
        plug->Effect().Lock().Unlock();
    }
    // Releases the plug-in lock and sends what was collected.
    void Finish() {
        Release();
        for (int i = 0; i < batch.Count(); ++i)
            plug->SendEventToHost(batch.EventAt(i));
        batch.Clear();
    }
    bool Full() const { return batch.Full(); }

private:
    IEffectVST* plug;
    EventBatch batch;
    bool open = false;
    bool collects = false;
};

IEffectVST::IEffectVST(audioMasterCallback callback, std::unique_ptr<IEffectBase> owned, bool midi)
    : audioMaster(callback), doesMidi(midi), runtime(std::move(owned), *this), programs(Effect()) {
    IEffectBase& effect = Effect();
    record.magic = kEffectMagic;
    record.dispatcher = VSTDispatcher;
    record.process = VSTAccumulate;
    record.setParameter = VSTSetParameter;
    record.getParameter = VSTGetParameter;
    record.numPrograms = programs.Count();
    record.numParams = effect.ParameterCount();
    record.numInputs = effect.InputCount();
    record.numOutputs = effect.OutputCount();
    record.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
    if (effect.DoesChunks())
        record.flags |= effFlagsProgramChunks;
    if (effect.LegalIO(1, -1))
        record.flags |= effFlagsCanMono;
    if (effect.IsInstrument())
        record.flags |= effFlagsIsSynth;
    record.initialDelay = effect.LatencySamples();
    record.ioRatio = 1.0f;
    record.object = this;
    record.uniqueID = effect.UniqueId();
    record.version = effect.EffectVersion(true);
    record.processReplacing = VSTReplace;
    record.processDoubleReplacing = VSTReplaceDouble;
    // The editor is built when the host first opens it; its flag and size are the
    // product's from the start.
    int width = 0;
    int height = 0;
    if (runtime.Editor().Offered(&width, &height)) {
        record.flags |= effFlagsHasEditor;
        UpdateEditorRect(width, height);
    }
    inputArrangement.numChannels = effect.InputCount();
    outputArrangement.numChannels = effect.OutputCount();
    runtime.ChangeLargestBlock(1024);
}

IEffectVST::~IEffectVST() {
    record.object = nullptr;
}

IEffectVST* IEffectVST::FromRecord(AEffect* record) {
    if (!record || record->magic != kEffectMagic)
        return nullptr;
    return static_cast<IEffectVST*>(record->object);
}

// Static entry points of the record: check it, then forward.

intptr_t IEffectVST::VSTDispatcher(AEffect* record, int32_t opcode, int32_t index, intptr_t value,
                                   void* ptr, float opt) {
    IEffectVST* plug = FromRecord(record);
    return plug ? plug->Dispatch(opcode, index, value, ptr, opt) : 0;
}

void IEffectVST::VSTAccumulate(AEffect* record, float** inputs, float** outputs, int32_t frames) {
    if (IEffectVST* plug = FromRecord(record))
        plug->ProcessAccumulating(inputs, outputs, frames);
}

void IEffectVST::VSTReplace(AEffect* record, float** inputs, float** outputs, int32_t frames) {
    if (IEffectVST* plug = FromRecord(record))
        plug->ProcessReplacing(inputs, outputs, frames);
}

void IEffectVST::VSTReplaceDouble(AEffect* record, double** inputs, double** outputs,
                                  int32_t frames) {
    if (IEffectVST* plug = FromRecord(record))
        plug->ProcessDoubleReplacing(inputs, outputs, frames);
}

float IEffectVST::VSTGetParameter(AEffect* record, int32_t index) {
    IEffectVST* plug = FromRecord(record);
    return plug ? plug->HostGetParameter(index) : 0.0f;
}

void IEffectVST::VSTSetParameter(AEffect* record, int32_t index, float value) {
    if (IEffectVST* plug = FromRecord(record))
        plug->HostSetParameter(index, value);
}

intptr_t IEffectVST::Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    // Window work runs without the plug-in lock, so the audio thread never waits for
    // a window system; the editor, once built, stays until effClose. Work
    // that allocates or calls the host takes the lock only for the plug-in's state.
    switch (opcode) {
    case effEditIdle:
        runtime.Editor().Idle();
        return 0;
    case effEditOpen:
        return OpenEditor(ptr);
    case effEditClose:
        return CloseEditor();
    case effOpen:
        runtime.OpenLikeHost();
        break;
    case effSetBlockSize:
        return SetBlockSize(value);
    case effGetChunk:
        return GetChunk(index == 0, ptr);
    case effSetChunk:
        return SetChunk(index == 0, value, ptr);
    case effProcessEvents:
        return ProcessEvents(static_cast<const VstEvents*>(ptr));
    default:
        break;
    }
    HostEntry entry(*this);
    const IParameter* parameter = Effect().ParameterAt(index);
    switch (opcode) {
    case effOpen:
        PrepareForHost();
        return 0;
    case effClose:
        entry.Finish();
        delete this;
        return 0;
    case effSetProgram:
        if (!Effect().DoesChunks())
            programs.UpdateCurrent(nullptr);
        // An index outside the programs is refused by Load; nothing changes.
        programs.Load(static_cast<int>(std::clamp<intptr_t>(value, -1, programs.Count())));
        return 0;
    case effGetProgram:
        return programs.Current();
    case effSetProgramName:
        if (ptr)
            programs.UpdateCurrent(static_cast<const char*>(ptr));
        return 0;
    case effGetProgramName:
        if (ptr)
            CopyToHost(ptr, programs.Name(programs.Current()), kProgramNameLimit);
        return 0;
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName: {
        if (!ptr || !parameter)
            return 0;
        char text[kParameterTextSize];
        if (opcode == effGetParamLabel)
            CopyText(text, parameter->LabelForHost(), sizeof text);
        else if (opcode == effGetParamName)
            CopyText(text, parameter->NameForHost(), sizeof text);
        else
            parameter->FormatCurrentForHost(text);
        CopyToHost(ptr, text, kParameterTextLimit);
        return 0;
    }
    case effSetSampleRate:
        // The call has no answer: a refused rate leaves the one in force.
        runtime.ChangeSampleRate(static_cast<double>(opt));
        return 0;
    case effMainsChanged:
        runtime.Activate(value != 0);
        return 0;
    case effEditGetRect:
        if (!(record.flags & effFlagsHasEditor) || !ptr)
            return 0;
        // Asked here, on the host's UI thread, so that the rectangle is the one the
        // desktop's scale gives.
        runtime.Editor().AskSystemScale();
        RefreshEditorRect();
        *static_cast<ERect**>(ptr) = &editorRect;
        return 1;
    case effIdentify:
        return kIdentifyAnswer;
    case effCanBeAutomated:
        return 1;
    case effString2Parameter:
        return SetParameterFromText(index, static_cast<const char*>(ptr));
    case effGetProgramNameIndexed:
        if (!ptr)
            return 0;
        CopyToHost(ptr, programs.Name(index), kProgramNameLimit);
        return *static_cast<const char*>(ptr) ? 1 : 0;
    case effGetInputProperties:
        return PinProperties(true, index, ptr);
    case effGetOutputProperties:
        return PinProperties(false, index, ptr);
    case effGetPlugCategory:
        return kPlugCategEffect;
    case effSetSpeakerArrangement:
        return SetSpeakerArrangement(value, ptr);
    case effGetEffectName:
        if (!ptr)
            return 0;
        CopyToHost(ptr, Effect().EffectName(), kVstMaxEffectNameLen);
        return 1;
    case effGetVendorString:
        if (!ptr)
            return 0;
        CopyToHost(ptr, Effect().MakerName(), kVstMaxVendorStrLen);
        return 1;
    case effGetProductString:
        if (!ptr)
            return 0;
        CopyToHost(ptr, Effect().ProductName(), kVstMaxProductStrLen);
        return 1;
    case effVendorSpecific:
        return VendorSpecific(index, value, ptr, opt);
    case effCanDo:
        return CanDo(static_cast<const char*>(ptr));
    case effGetVstVersion:
        return kVstVersion;
    case effGetMidiKeyName:
        // No note has a name of its own.
        if (ptr)
            static_cast<MidiKeyName*>(ptr)->keyName[0] = '\0';
        return 0;
    case effGetSpeakerArrangement:
        if (value)
            *reinterpret_cast<VstSpeakerArrangement**>(value) = &inputArrangement;
        if (ptr)
            *static_cast<VstSpeakerArrangement**>(ptr) = &outputArrangement;
        return 1;
    default:
        // effIdle, effProcessVarIo and every opcode we do not answer.
        return 0;
    }
}

intptr_t IEffectVST::OpenEditor(void* parentWindow) {
    return runtime.Editor().Open(parentWindow) ? 1 : 0;
}

// An editor never built has no window to close, but the host is answered as for one.
intptr_t IEffectVST::CloseEditor() {
    if (!(record.flags & effFlagsHasEditor))
        return 0;
    runtime.Editor().Close();
    return 1;
}

intptr_t IEffectVST::SetBlockSize(intptr_t frames) {
    runtime.ChangeLargestBlock(frames);
    return 0;
}

// The chunk buffers stay ours: the bytes a host is given stay valid until its next get or
// set of the same kind. Hosts may ask from two threads at once; the chunk mutex keeps them
// apart, and what they send meanwhile goes out once it is released.
intptr_t IEffectVST::GetChunk(bool bank, void* ptr) {
    if (!ptr)
        return 0;
    if (!bank) {
        const EffectRuntime::SavedBytes state = runtime.SaveState();
        if (state.size == 0)
            return 0;
        *static_cast<const uint8_t**>(ptr) = state.data;
        return static_cast<intptr_t>(state.size);
    }
    HostEntry entry(*this, false);
    std::lock_guard chunkGuard(chunkMutex);
    const bool written = WriteInHeldRoom(
        bankChunk, [&entry] { entry.Open(); },
        [this](StateChunk& room) { return programs.WriteBank(room); },
        [&entry] { entry.Release(); });
    if (!written || bankChunk.Size() == 0)
        return 0;
    *static_cast<const uint8_t**>(ptr) = bankChunk.Data();
    return bankChunk.Size();
}

intptr_t IEffectVST::SetChunk(bool bank, intptr_t size, const void* bytes) {
    if (!bank)
        return ApplyProgramChunk(bytes, size);
    // Refused before anything is read or changed: we cannot know how many bytes
    // are really behind a pointer, but we never believe a negative or absurd count.
    if (!bytes || !HostPolicy::AcceptsStateSize(size))
        return 0;
    HostEntry entry(*this, false);
    std::lock_guard chunkGuard(chunkMutex);
    if (!bankChunk.Assign(bytes, static_cast<int>(size)))
        return 0;
    int position = 0;
    // A bank chunk of a program's version holds one program.
    if (ReadChunkVersion(bankChunk, &position) < 0x10000)
        return ApplyProgramChunk(bytes, size);
    programs.ReadBank(bankChunk, position, bankValues);
    entry.Open();
    if (programs.ApplyBank(bankValues) < 0)
        return 0;
    Effect().RefreshEditorControls();
    return 1;
}

intptr_t IEffectVST::ApplyProgramChunk(const void* bytes, intptr_t size) {
    const HostPolicy::StateApplied applied = runtime.LoadStateBytes(bytes, size);
    if (applied == HostPolicy::StateApplied::kNothing)
        return 0;
    // The current program holds what the chunk made live, as a host switching back to it
    // expects.
    {
        HostEntry entry(*this);
        programs.UpdateCurrent(nullptr);
    }
    return applied == HostPolicy::StateApplied::kWhole ? 1 : 0;
}

intptr_t IEffectVST::ProcessEvents(const VstEvents* events) {
    if (!events)
        return 0;
    // Hosts allocate numEvents pointers behind the header, more than the two it declares.
    VstEvent* const* list = events->events;
    const int32_t count = events->numEvents;
    // In batches as large as an entry collects: between them the lock is released and
    // what went back to the host is sent.
    for (int32_t next = 0; next < count;) {
        HostEntry entry(*this);
        for (; next < count && !entry.Full(); ++next) {
            VstEvent* event = list[next];
            if (!event)
                continue;
            if (event->type == kVstMidiType)
                EchoMidi(*reinterpret_cast<const VstMidiEvent*>(event));
            else
                PassEventToHost(event);
        }
    }
    return 1;
}

intptr_t IEffectVST::SetParameterFromText(int32_t index, const char* text) {
    const IParameter* parameter = Effect().ParameterAt(index);
    double value = 0.0;
    if (!parameter || (text && !parameter->ParseFromHost(text, &value)))
        return 0;
    // A null text only asks whether this parameter takes texts.
    if (!text)
        return 1;
    // The path of a host's setParameter, with the exact value the text names.
    Effect().SetParameterFromHost(index, value, IValueUnit::kReal);
    return 1;
}

intptr_t IEffectVST::PinProperties(bool input, int32_t index, void* ptr) {
    const int count = input ? Effect().InputCount() : Effect().OutputCount();
    if (!ptr || index < 0 || index >= count)
        return 0;
    auto* pin = static_cast<VstPinProperties*>(ptr);
    pin->flags = index % 2 == 0 ? kVstPinIsActive | kVstPinIsStereo : kVstPinIsActive;
    std::snprintf(pin->label, sizeof pin->label, input ? "Input %d" : "Output %d", index + 1);
    return 1;
}

// The host's last channel may stand alone in its pair; it then feeds both of them.
intptr_t IEffectVST::SetSpeakerArrangement(intptr_t inputs, void* outputs) {
    if (inputs)
        RouteChannels(BusDirection::kInput,
                      reinterpret_cast<const VstSpeakerArrangement*>(inputs)->numChannels);
    if (outputs)
        RouteChannels(BusDirection::kOutput,
                      static_cast<const VstSpeakerArrangement*>(outputs)->numChannels);
    return 1;
}

void IEffectVST::RouteChannels(BusDirection direction, int channels) {
    const BusLayout& buses = runtime.Buses();
    for (std::size_t bus = 0; bus < buses.In(direction).size(); ++bus) {
        const int index = static_cast<int>(bus);
        runtime.SetBusChannels(direction, index,
                               std::max(channels, 0) - buses.FirstChannel(direction, index));
    }
}

intptr_t IEffectVST::CanDo(const char* text) const {
    if (!text)
        return 0;
    if (std::strcmp(text, "receiveVstTimeInfo") == 0)
        return 1;
    if (doesMidi)
        for (const char* midi : kMidiCanDos)
            if (std::strcmp(text, midi) == 0)
                return 1;
    if (std::strcmp(text, "hasCockosExtensions") == 0 ||
        std::strcmp(text, "hasCockosViewAsConfig") == 0)
        return kVendorExtensionAnswer;
    return 0;
}

intptr_t IEffectVST::VendorSpecific(int32_t index, intptr_t value, void* ptr, float opt) {
    if (index != kVendorSpecificFormat || !ptr)
        return 0;
    const IParameter* parameter = value >= 0 && value < Effect().ParameterCount()
                                      ? Effect().ParameterAt(static_cast<int>(value))
                                      : nullptr;
    if (parameter) {
        char text[kParameterTextSize];
        parameter->FormatForHost(static_cast<double>(opt), true, text);
        CopyToHost(ptr, text, kParameterTextLimit);
    }
    return kVendorSpecificAnswer;
}

// Audio.

// Blocks of any length. The host's flat channel lists are the buses' channels in order,
// as many as it announced.
template <class Sample>
void IEffectVST::Process(Sample** inputs, Sample** outputs, int32_t frames, bool accumulate) {
    if (frames <= 0)
        return;
    if (doesMidi)
        CallHost(audioMasterWantMidi);
    // Held for the whole block: what the effect sends the host meanwhile goes out after.
    HostEntry entry(*this);
    static constexpr std::size_t kMostBuses = 4;
    using Bus = EffectRuntime::HostBus<Sample>;
    const BusLayout& buses = runtime.Buses();
    const auto flat = [this, &buses](BusDirection direction, Sample** channels, Bus* into) {
        const std::size_t count = std::min(buses.In(direction).size(), kMostBuses);
        for (std::size_t bus = 0; channels && bus < count; ++bus) {
            const int index = static_cast<int>(bus);
            into[bus] = {channels + buses.FirstChannel(direction, index),
                         runtime.RoutedChannels(direction, index)};
        }
        return static_cast<int>(count);
    };
    Bus in[kMostBuses];
    Bus out[kMostBuses];
    EffectRuntime::HostBlock<Sample> block;
    block.inputs = in;
    block.inputBuses = flat(BusDirection::kInput, inputs, in);
    block.outputs = out;
    block.outputBuses = flat(BusDirection::kOutput, outputs, out);
    block.frames = frames;
    block.accumulate = accumulate;
    runtime.Process(block, IValueUnit::kNormalized, [](auto&) { return false; });
}

void IEffectVST::ProcessAccumulating(float** inputs, float** outputs, int32_t frames) {
    Process(inputs, outputs, frames, true);
}

void IEffectVST::ProcessReplacing(float** inputs, float** outputs, int32_t frames) {
    Process(inputs, outputs, frames, false);
}

void IEffectVST::ProcessDoubleReplacing(double** inputs, double** outputs, int32_t frames) {
    Process(inputs, outputs, frames, false);
}

// Parameters.

float IEffectVST::HostGetParameter(int32_t index) {
    ScopedPlugLock lock(Effect().Lock());
    const IParameter* parameter = Effect().ParameterAt(index);
    return parameter ? static_cast<float>(parameter->Normalized()) : 0.0f;
}

void IEffectVST::HostSetParameter(int32_t index, float value) {
    HostEntry entry(*this);
    Effect().SetParameterFromHost(index, static_cast<double>(value), IValueUnit::kNormalized);
}

// Calls into the host.

intptr_t IEffectVST::CallHost(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    QUELOR_DEBUG_ASSERT(!Effect().Lock().HeldByThisThread());
    return audioMaster ? audioMaster(&record, opcode, index, value, ptr, opt) : 0;
}

bool IEffectVST::SendEventToHost(VstEvent* event) {
    VstEvents events{};
    events.numEvents = 1;
    events.events[0] = event;
    events.events[1] = nullptr;
    return CallHost(audioMasterProcessEvents, 0, 0, &events) == 1;
}

void IEffectVST::EditBegin(int index) {
    CallHost(audioMasterBeginEdit, index);
}

void IEffectVST::EditValue(int index, double normalized, double) {
    CallHost(audioMasterAutomate, index, 0, nullptr, static_cast<float>(normalized));
}

void IEffectVST::EditEnd(int index) {
    CallHost(audioMasterEndEdit, index);
}

void IEffectVST::HostProduct(char* name, int size, int32_t* version) {
    char product[kHostTextSize] = {};
    CallHost(audioMasterGetProductString, 0, 0, product);
    // A host that writes no terminator must not make us read past the buffer.
    product[kHostTextSize - 1] = '\0';
    CopyText(name, product, static_cast<std::size_t>(size));
    *version = product[0] ? PackDecimalVersion(CallHost(audioMasterGetVendorVersion)) : 0;
}

bool IEffectVST::RefreshEditorRect() {
    int width = 0;
    int height = 0;
    if (!(record.flags & effFlagsHasEditor) || !runtime.Editor().Offered(&width, &height))
        return false;
    ScopedPlugLock lock(Effect().Lock());
    UpdateEditorRect(width, height);
    return true;
}

// The panel grew or shrank (its strip): the rectangle follows, and the host is asked to
// size its window to it.
bool IEffectVST::EditorResized(int, int) {
    if (!RefreshEditorRect())
        return false;
    int width = 0;
    int height = 0;
    runtime.Editor().Offered(&width, &height);
    // A host that cannot resize still reads the new rectangle at its next effEditGetRect.
    CallHost(audioMasterSizeWindow, width, height);
    return true;
}

void IEffectVST::PrepareForHost() {
    if (hostPrepared)
        return;
    hostPrepared = true;
    // These hosts cannot route more than a stereo pair in: the channels beyond it go.
    switch (Effect().IdentifyHost()) {
    case kHostKindForte:
    case kHostKindAudition:
    case kHostKindOrion:
    case kHostKindSawStudio:
        RouteChannels(BusDirection::kInput, 2);
        break;
    default:
        break;
    }
}

void IEffectVST::UpdateEditorRect(int width, int height) {
    editorRect = ERect{0, 0, Clamp16(height), Clamp16(width)};
}

bool IEffectVST::EchoMidi(const VstMidiEvent& received) {
    // A new event of ours with the received one's time and three bytes, nothing else.
    VstMidiEvent event{};
    event.type = kVstMidiType;
    event.byteSize = sizeof event;
    event.deltaFrames = received.deltaFrames;
    std::copy_n(received.midiData, 3, event.midiData);
    if (Effect().Lock().HeldByThisThread())
        return collecting && collecting->AddMidi(event);
    return SendEventToHost(reinterpret_cast<VstEvent*>(&event));
}

bool IEffectVST::PassEventToHost(VstEvent* event) {
    if (Effect().Lock().HeldByThisThread())
        return collecting && collecting->AddPassed(event);
    return SendEventToHost(event);
}
