#pragma once

#include "BusLayout.h"
#include "ChunkValues.h"
#include "GrowBuffer.h"
#include "HostKind.h"
#include "IEditorFactory.h"
#include "IEditorLink.h"
#include "IEditorWindow.h"
#include "IEffect.h"
#include "IEffectHost.h"
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
    // The meters it reads out in ReadMeters, at most kMostMeters.
    MeterList meters = {};
};

// The program chunk's header, 'pfft' and a version; the VST 2 bank chunk begins alike.
// Clears chunk and writes the header.
void BeginVersionedChunk(StateChunk& chunk);
// The version behind the header at *position, with *position moved behind it; 0, and
// *position kept, when the chunk does not begin with 'pfft'; -1 in *position when the
// header is cut short.
int32_t ReadChunkVersion(const StateChunk& chunk, int* position);

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

// The framework half of a plug-in: parameters, factory presets, channel configurations
// and buffers, the program state, the plug-in lock, the editor, and the host as
// IEffectHost. An effect derives from it and implements IEffect; each format's runtime
// drives it, and its adapter connects itself as the host.
class IEffectBase : public IEffect {
public:
    // editorFactory, when given, outlives the effect; the editor is built from it when a
    // host first asks for one.
    explicit IEffectBase(const EffectIdentity& identity,
                         const IEditorFactory* editorFactory = nullptr);
    IEffectBase(const IEffectBase&) = delete;
    IEffectBase& operator=(const IEffectBase&) = delete;

    // Host thread, after the adapter has disconnected itself. Destroys the editor first.
    ~IEffectBase() override;

    // IEffect, for an effect that needs no more: the history is empty, a change needs no
    // reaction, the inputs pass through, no work buffers and no meters.
    void ResetProcessing() override;
    void ParameterChanged(int index) override;
    void ProcessBlock(double** inputs, double** outputs, int frames) override;
    std::unique_ptr<IWorkBuffers> MakeWorkBuffers(int frames) override;
    void AdoptWorkBuffers(IWorkBuffers& buffers) override;
    void ReadMeters(MeterReadings& readings) const override;

    // The meters the effect declared, in the order ReadMeters fills them.
    MeterList Meters() const { return meters; }

    // Host thread, without the plug-in lock. A new largest block size: every scratch
    // buffer and the effect's work buffers are made for it, swapped in under the lock and
    // the old ones freed once it is released. Nothing changes when memory fails.
    void SetMaxBlockSize(int frames);

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
    // Host thread; asks the host once per instance and records the answer under the lock.
    HostKind IdentifyHost();
    // UI thread. The editor has a new size; false when the host was not told.
    bool EditorSizeChanged(int width, int height);

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
    int32_t HostVersion() const { return hostVersion; }
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
    // Any thread, without the plug-in lock: the state in chunk, read into state. A chunk
    // without the header is read as values from its start.
    IStateRead ReadProgramState(const StateChunk& chunk, IProgramState& state) const;
    // Takes the plug-in lock: a state read by ReadProgramState made live as effSetChunk
    // makes a program chunk live (values limited to their ranges, every ParameterChanged,
    // ResetProcessing, the editor's controls refreshed). A partial state has the values
    // it holds applied, and the missing one 0, limited; an unreadable one changes nothing.
    // True only for a whole state.
    bool ApplyProgramState(const IProgramState& state);

    // The parameters' values alone, 8 bytes each in index order, as the program state and
    // every stored preset hold them.
    // Takes the plug-in lock: appends every value to chunk.
    bool SerializeParamValues(StateChunk& chunk);
    // Any thread, without the plug-in lock: one value per parameter from position;
    // values grows only when it holds fewer than there are parameters.
    int ReadParamValues(const StateChunk& chunk, int position, IParamValues& values) const;
    // Takes the plug-in lock: the values read become the parameters' values, limited to
    // their ranges, then ParameterChanged runs for every parameter and ResetProcessing
    // once. Returns the position the reading ended at.
    int ApplyParamValues(const IParamValues& values);

    // Factory presets, as the product made them: each format lists them as it can (the
    // LV2 bundle's presets, VST 2's programs).
    int PresetCount() const { return static_cast<int>(presets.size()); }
    const IPreset* PresetAt(int index) const;
    const char* PresetName(int index) const;
    // Construction only. Fills the first preset that is not initialized with one value
    // per parameter; refused when the count does not match the parameters.
    template <class... Values> bool AddPresetFromValues(const char* name, Values... values) {
        const double list[] = {static_cast<double>(values)...};
        return AddPresetFromValueList(name, list, static_cast<int>(sizeof...(values)));
    }
    bool AddPresetFromValueList(const char* name, const double* values, int count);
    // Construction only: an effect without presets gets one of its current values.
    void EnsureOnePreset();

    // Editor. It is built only when a host first asks for one, and kept until the effect
    // is destroyed.
    // Any thread before the editor is built, UI thread after. True when the effect has an
    // editor with a window, built or to be built, with its size in panel units.
    bool EditorSize(int* width, int* height) const;
    // UI thread: the scale the window system asks of the editor where no host says.
    double SystemEditorScale() const;
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
    // Plug-in lock held. Records which host this is; called once per instance.
    void SetHost(const char* productText, int32_t version);
    // Plug-in lock held, the chunk's room held (StateChunk::HoldRoom): the state into chunk.
    bool WriteProgramState(StateChunk& chunk);
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
    std::vector<double*> inputPointers;
    std::vector<double*> outputPointers;
    std::vector<std::unique_ptr<IInChannel>> inputChannels;
    std::vector<std::unique_ptr<IOutChannel>> outputChannels;
    MeterList meters;
    PlugLock plugLock;
};
