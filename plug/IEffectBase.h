#pragma once

#include "BusLayout.h"
#include "ChunkValues.h"
#include "GrowBuffer.h"
#include "HostKind.h"
#include "IEditorFactory.h"
#include "IEditorLink.h"
#include "IEditorWindow.h"
#include "IEffectHost.h"
#include "IMidiMessage.h"
#include "IParameter.h"
#include "IPreset.h"
#include "PlugLock.h"
#include "StateChunk.h"

#include <cstdint>
#include <memory>
#include <vector>

constexpr int kEffectTextSize = 128;

struct IInChannel {
    bool connected = false;
    bool read = true; // false while the effect ignores this input: a 32-bit block skips widening it
    double** slot = nullptr; // this channel's entry of the input pointer array
    GrowArray<double> scratch;
};

struct IOutChannel {
    bool connected = false;
    double** slot = nullptr;
    float* hostDestination = nullptr; // the host's buffer during a 32-bit block
    GrowArray<double> scratch;
};

// The effect's own storage that depends on the largest block size, such as work buffers.
// It is made and freed without the plug-in lock and exchanged with the live one under it.
class IWorkBuffers {
public:
    virtual ~IWorkBuffers() = default;
};

// Everything sized by the largest block size, made for a new size before the plug-in lock
// is taken. Once swapped in under the lock it holds the old buffers, which are freed with
// it after the lock is released.
struct IBlockBuffers {
    int frames = 0;
    bool complete = false; // every channel buffer holds frames zeros
    std::vector<GrowArray<double>> inputs;
    std::vector<GrowArray<double>> outputs;
    std::unique_ptr<IWorkBuffers> work; // the effect's, or null
};

// Everything the plug-in's constructor hands to the base.
struct EffectIdentity {
    int parameterCount;
    // e.g. "1-1 2-2": inputs-outputs, space separated; read only without buses.
    const char* channelConfigurations;
    int presetCount;
    const char* effectName;
    const char* productName;
    const char* makerName;
    int32_t version; // major << 16 | minor << 8 | patch
    int32_t uniqueId;
    int32_t makerId;
    int32_t latency;
    bool doesChunks;
    bool isInstrument;
    // The effect's buses, from which its configurations follow; without them the inputs
    // and the outputs are each one main bus of the configurations' channels.
    const BusLayout* buses = nullptr;
};

// Packs four characters into 32 bits, the first in the most significant byte.
constexpr int32_t FourCharCode(const char (&c)[5]) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned char>(c[0])) << 24 |
                                static_cast<uint32_t>(static_cast<unsigned char>(c[1])) << 16 |
                                static_cast<uint32_t>(static_cast<unsigned char>(c[2])) << 8 |
                                static_cast<uint32_t>(static_cast<unsigned char>(c[3])));
}

// What reading a program state found.
enum class IStateRead {
    kWhole,     // every parameter's value
    kPartial,   // the bytes ran out before the last value; the missing one reads 0
    kUnreadable // a header cut short: nothing to apply
};

// A program state read without the plug-in lock, to be applied under it.
struct IProgramState {
    IParamValues values;
    IStateRead read = IStateRead::kUnreadable;
};

// A parameter value from a host: normalized (0..1) or in the parameter's real units.
enum class IValueUnit { kNormalized, kReal };

// The host-neutral base of a plug-in: parameters, presets, channel configurations and
// buffers, the plug-in lock, the editor, and the host as IEffectHost. An effect derives
// from it; each format's adapter owns the effect and connects itself as its host.
class IEffectBase {
public:
    // editorFactory, when given, outlives the effect; the editor is built from it when a
    // host first asks for one.
    explicit IEffectBase(const EffectIdentity& identity,
                         const IEditorFactory* editorFactory = nullptr);
    IEffectBase(const IEffectBase&) = delete;
    IEffectBase& operator=(const IEffectBase&) = delete;

    // Virtual operations, in slot order.

    // Host thread, after the adapter has disconnected itself. Destroys the editor first.
    virtual ~IEffectBase();
    // Any thread; takes the plug-in lock. Clears the processing history. Every format
    // calls it where its host starts or stops processing (HostPolicy) and after a new
    // sample rate, block size or state.
    virtual void ResetProcessing();
    // Any thread; takes the plug-in lock. A parameter's value has changed.
    virtual void ParameterChanged(int index);
    // Audio thread, plug-in lock held. inputs and outputs have one entry per channel.
    virtual void ProcessBlock(double** inputs, double** outputs, int frames);
    // UI thread, plug-in lock held.
    virtual void EditorOpened();
    virtual void EditorClosed();
    // Host thread; takes the plug-in lock.
    virtual void ActivationChanged(bool active);
    // Audio or host thread, plug-in lock held. Echoes the message back to the host
    // through SendMidiMessage.
    virtual void ProcessMidiMessage(const IMidiMessage& message);
    // Host thread, plug-in lock held. name has kParameterTextSize bytes.
    virtual bool NoteNameFor(int note, char* name);
    // Host thread, plug-in lock held, the chunk's room held (StateChunk::HoldRoom):
    // appends the program state.
    virtual bool SaveState(StateChunk& chunk);
    // Host thread, without the plug-in lock: reads the program state at position into
    // values, which ApplyParamValues applies under the lock. Returns the position behind
    // it, or -1.
    virtual int ReadState(const StateChunk& chunk, int position, IParamValues& values) const;

    // Host thread, without the plug-in lock. A new largest block size: every scratch
    // buffer and the effect's work buffers are made for it, swapped in under the lock and
    // the old ones freed once it is released. Nothing changes when memory fails.
    virtual void SetMaxBlockSize(int frames);
    // Host thread, without the plug-in lock: the effect's work buffers for blocks of up
    // to frames, or null when it keeps none.
    virtual std::unique_ptr<IWorkBuffers> MakeWorkBuffers(int frames);
    // Plug-in lock held: exchanges the live work buffers with buffers, which
    // MakeWorkBuffers made. Allocates and frees nothing.
    virtual void AdoptWorkBuffers(IWorkBuffers& buffers);

    // The host. The adapter that owns the effect connects itself in its constructor and
    // disconnects in its destructor, before and after any other call. Without a host the
    // calls below do nothing and answer "unknown".
    void ConnectHost(IEffectHost* effectHost) { host = effectHost; }

    // Calls into the host, made without the plug-in lock (checked in builds with
    // assertions): a host may answer with locks of its own, which its audio thread may
    // hold while it waits for ours.
    // UI thread, in the order the user acted.
    void NotifyHostEditBegin(int index);
    void NotifyHostParameter(int index, double normalized, double value);
    void NotifyHostEditEnd(int index);
    // Any thread.
    int HostSamplePosition();
    double HostTempo();
    void HostTimeSignature(int* numerator, int* denominator);
    // Host thread; asks the host once per instance and records the answer under the lock.
    HostKind IdentifyHost();
    // UI thread. The editor has a new size; false when the host was not told.
    bool EditorSizeChanged(int width, int height);
    // Plug-in lock held.
    void SetLatencySamples(int samples);
    // Any thread. True when the host took the message, or, under the plug-in lock,
    // when the adapter collected it to send once the lock is free.
    bool SendMidiMessage(const IMidiMessage& message);
    bool SendMidiMessages(const IMidiMessage* messages, int count);

    // Parameters.
    IParameter* ParameterAt(int index);
    const IParameter* ParameterAt(int index) const;
    int ParameterCount() const { return static_cast<int>(parameters.size()); }
    // UI thread, without the plug-in lock. Sets, reacts and shows the stored value on the
    // editor's controls under the lock, then tells the host once the lock is released.
    void SetParameterFromGUI(int index, double normalized);
    // Any thread; takes the plug-in lock, which the caller may hold (the audio thread
    // does). A host's value, as every format sets one: shown on the editor's controls,
    // set (stepped kinds snapped, limited to the range, as IParameter's SetFromNormalized
    // and SetFromReal), then ParameterChanged. A value the parameter already holds
    // changes nothing, so that a host echoing an edit back does not restart a glide.
    // True when the parameter changed; false too for an index that is not a parameter.
    bool SetParameterFromHost(int index, double value, IValueUnit unit);

    // Identity and host.
    const char* EffectName() const { return effectName; }
    const char* ProductName() const { return productName; }
    const char* MakerName() const { return makerName; }
    int32_t UniqueId() const { return uniqueId; }
    int32_t MakerId() const { return makerId; }
    // The packed version, or major * 10000 + minor * 100 + patch when decimal.
    int32_t EffectVersion(bool decimal) const;
    HostKind StoredHostKind() const { return hostKind; }
    int32_t HostVersion() const { return hostVersion; }
    // Plug-in lock held. Records which host this is; called once per instance.
    void SetHost(const char* productText, int32_t version);
    bool DoesChunks() const { return doesChunks; }
    bool IsInstrument() const { return isInstrument; }
    int32_t LatencySamples() const { return latency; }

    double SampleRate() const { return sampleRate; }
    void ChangeSampleRate(double rate) { sampleRate = rate; }
    int MaxBlockSize() const { return maxBlockSize; }
    // Host thread, without the plug-in lock: buffers for a largest block size of frames.
    IBlockBuffers PrepareBlockBuffers(int frames);
    // Plug-in lock held. Puts prepared buffers in place; buffers then holds the old ones,
    // to be freed once the lock is released. Nothing changes when frames is the current
    // size or a buffer could not be made.
    void SwapBlockBuffers(IBlockBuffers& buffers);

    // Channels.
    const BusLayout& Buses() const { return busLayout; }
    int ChannelConfigurationCount() const { return static_cast<int>(channelIO.size()); }
    const IChannelIO& ChannelConfiguration(int i) const {
        return channelIO[static_cast<std::size_t>(i)];
    }
    // True when a configuration matches; a negative count matches any.
    bool LegalIO(int inputs, int outputs) const;
    int InputCount() const { return static_cast<int>(inputChannels.size()); }
    int OutputCount() const { return static_cast<int>(outputChannels.size()); }
    bool IsInputConnected(int i) const;
    bool IsOutputConnected(int i) const;
    void MarkInputsConnected(int first, int count, bool connected);
    // Plug-in lock held. Inputs the effect does not read until further notice.
    void MarkInputsRead(int first, int count, bool read);
    void MarkOutputsConnected(int first, int count, bool connected);
    void LimitToStereoInputs();
    // What ProcessBlock receives; test and adapter access.
    double** InputPointers() { return inputPointers.data(); }
    double** OutputPointers() { return outputPointers.data(); }

    // Buffer binding for the audio call-backs, plug-in lock held. Blocks are at
    // most MaxBlockSize frames: the 32-bit forms bind no more than that, and
    // callers split longer host blocks. A null input pointer reads as silence.
    void BindInputBuffers(int first, int count, float** hostPointers, int frames);
    void BindInputBuffers(int first, int count, double** hostPointers, int frames);
    void BindOutputBuffers(int first, int count, float** hostPointers);
    void BindOutputBuffers(int first, int count, double** hostPointers);
    void RunBlock(int frames);
    void RunBlockDouble(int frames);
    void RunBlockAccumulating(int frames);

    // Program state: the VST 2 program chunk's bytes ('pfft', a version, then each
    // parameter's value as 8 bytes), the one form every format stores.
    // Host thread, without the plug-in lock: the state into chunk, written under the lock
    // into room made outside it. False when it could not be written.
    bool SaveProgramState(StateChunk& chunk);
    // Plug-in lock held, the chunk's room held (StateChunk::HoldRoom): the state into chunk.
    bool WriteProgramState(StateChunk& chunk);
    // Any thread, without the plug-in lock: the state in chunk, read into state. A chunk
    // without the header is read as values from its start.
    IStateRead ReadProgramState(const StateChunk& chunk, IProgramState& state) const;
    // Takes the plug-in lock: a state read by ReadProgramState made live as effSetChunk
    // makes a program chunk live (values limited to their ranges, every ParameterChanged,
    // ResetProcessing, the current preset updated, the editor's controls refreshed). A
    // partial state has the values it holds applied, and the missing one 0, limited; an
    // unreadable one changes nothing. True only for a whole state.
    bool ApplyProgramState(const IProgramState& state);

    // State and presets.
    bool SerializeParamValues(StateChunk& chunk);
    // Takes the plug-in lock; reads and applies as ReadParamValues and ApplyParamValues.
    int UnserializeParams(const StateChunk& chunk, int position);
    // Any thread, without the plug-in lock: one value per parameter from position;
    // values grows only when it holds fewer than there are parameters.
    int ReadParamValues(const StateChunk& chunk, int position, IParamValues& values) const;
    // Takes the plug-in lock: the values read become the parameters' values, limited to
    // their ranges, then ParameterChanged runs for every parameter and ResetProcessing
    // once. Returns the position the reading ended at.
    int ApplyParamValues(const IParamValues& values);
    int PresetCount() const { return static_cast<int>(presets.size()); }
    int CurrentPresetIndex() const { return currentPreset; }
    const IPreset* PresetAt(int index) const;
    const char* PresetName(int index) const;
    // Renames a preset, cutting to 255 characters; false for an index that is not a preset.
    bool SetPresetName(int index, const char* name);
    bool LoadPreset(int index);
    void UpdateCurrentPreset(const char* name);
    void NextUserPresetName(char* out) const;
    // Fills the first preset that is not initialized with one value per
    // parameter; refused when the count does not match the parameters.
    template <class... Values> bool AddPresetFromValues(const char* name, Values... values) {
        const double list[] = {static_cast<double>(values)...};
        return AddPresetFromValueList(name, list, static_cast<int>(sizeof...(values)));
    }
    bool AddPresetFromValueList(const char* name, const double* values, int count);
    void EnsureOnePreset();
    bool SerializeAllPresets(StateChunk& chunk);
    // Without the plug-in lock: reads the bank, then applies it under the lock.
    int UnserializeAllPresets(const StateChunk& chunk, int position);
    // Any thread, without the plug-in lock: the presets of a bank from position; bank
    // grows only when it holds fewer than there are presets.
    int ReadPresets(const StateChunk& chunk, int position, IBankValues& bank) const;
    // Takes the plug-in lock: names, flags and values of the presets read, each preset's
    // values made live and stored, then the current preset loaded again. Returns the
    // position the reading ended at.
    int ApplyPresets(const IBankValues& bank);
    static void BeginVersionedChunk(StateChunk& chunk);
    static int32_t ReadChunkVersion(const StateChunk& chunk, int* position);

    // Editor. It is built only when a host first asks for one, and kept until the effect
    // is destroyed.
    // Any thread before the editor is built, UI thread after. True when the effect has an
    // editor with a window, built or to be built, with its size.
    bool EditorSize(int* width, int* height) const;
    // UI thread, without the plug-in lock: the editor's window, built from the factory on
    // the first call; null when the effect has none.
    IEditorWindow* EnsureEditor();
    // UI thread: the built editor's window, or null.
    IEditorWindow* EditorWindow() { return editorWindow; }
    // Plug-in lock held, or UI thread: the built editor, or null.
    IEditorLink* Editor() { return editor.get(); }
    // UI thread, without the plug-in lock; takes it only to store the editor and push the
    // values to its controls. The effect owns the editor from then on; one already
    // attached is destroyed once the lock is free.
    void AttachEditor(IEditorLink* editor);
    void RefreshEditorControls();

    PlugLock& Lock() { return plugLock; }

private:
    void ParseChannelConfigurations(const char* channelIOStr);

    void MakeChannels(int inputs, int outputs);

    std::vector<IChannelIO> channelIO;
    BusLayout busLayout;
    BusDescription wholeBuses[2]; // the layout of an effect that declares no buses
    char effectName[kEffectTextSize] = {};
    char productName[kEffectTextSize] = {};
    char makerName[kEffectTextSize] = {};
    int32_t uniqueId;
    int32_t makerId;
    int32_t version;
    HostKind hostKind = kHostKindNotAsked;
    int32_t hostVersion = 0;
    bool doesChunks;
    bool isInstrument;
    double sampleRate = 44100.0;
    int32_t maxBlockSize = 0;
    int32_t latency;
    std::vector<std::unique_ptr<IParameter>> parameters;
    const IEditorFactory* editorFactory;
    IEffectHost* host = nullptr;
    std::unique_ptr<IEditorLink> editor;
    IEditorWindow* editorWindow = nullptr; // the editor's, when it has one
    std::vector<std::unique_ptr<IPreset>> presets;
    int32_t currentPreset = 0;
    std::vector<double*> inputPointers;
    std::vector<double*> outputPointers;
    std::vector<std::unique_ptr<IInChannel>> inputChannels;
    std::vector<std::unique_ptr<IOutChannel>> outputChannels;
    IParamValues presetValues; // what UnserializeParams reads, sized at construction
    PlugLock plugLock;
};
