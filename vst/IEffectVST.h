#pragma once

#include "EffectRuntime.h"
#include "IEffectHost.h"
#include "VST2Interface.h"
#include "VST2Programs.h"

#include <memory>
#include <mutex>
#include <vector>

// Binds an effect on the host-neutral plug-in base to the VST 2 interface: it fills the
// effect record the host holds, answers the dispatcher, runs the audio and parameter
// call-backs under the plug-in lock and makes every call back into the host, never under
// that lock. It translates only, onto the effect's runtime; the bank chunk and the
// program list are VST 2's alone (VST2Programs), and so is handing MIDI events back.
//
// The adapter owns the effect, and is the effect's host (IEffectHost): the effect is
// built first, handed over here, and destroyed with the adapter on effClose.
class IEffectVST final : public IEffectHost {
public:
    // Copy limits into host buffers, terminator included.
    static constexpr int kParameterTextLimit = kParameterTextSize;
    static constexpr int kProgramNameLimit = kVstMaxProgNameLen;

    // Entry point, under the creation lock. hostCallback may be null (no host).
    IEffectVST(audioMasterCallback hostCallback, std::unique_ptr<IEffectBase> effect,
               bool doesMidi);
    ~IEffectVST() override;
    IEffectVST(const IEffectVST&) = delete;
    IEffectVST& operator=(const IEffectVST&) = delete;

    // Any thread. The effect this adapter owns.
    IEffectBase& Effect() { return runtime.Effect(); }
    EffectRuntime& Runtime() { return runtime; }
    // Host threads, plug-in lock held. The program list behind effSetProgram and the bank.
    VST2Programs& Programs() { return programs; }

    // Any thread. The record the host holds; its object field is this plug-in.
    AEffect* Record() { return &record; }
    // Any thread. The plug-in behind a record, or null for a record that is
    // not one of ours or has no object.
    static IEffectVST* FromRecord(AEffect* record);

    // Any thread; takes the plug-in lock for the plug-in's state only: the editor opens,
    // idles and closes outside it, buffers and chunks are made and read outside it, and
    // events go back to the host once it is released. effClose destroys this object.
    intptr_t Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

    // Audio thread; take the plug-in lock, after asking for MIDI where the effect does
    // MIDI. Blocks of any length are split into pieces of at most MaxBlockSize frames.
    void ProcessAccumulating(float** inputs, float** outputs, int32_t frames);
    void ProcessReplacing(float** inputs, float** outputs, int32_t frames);
    void ProcessDoubleReplacing(double** inputs, double** outputs, int32_t frames);

    // Any thread; take the plug-in lock.
    float HostGetParameter(int32_t index);
    void HostSetParameter(int32_t index, float value);

    // The effect's host. Every call into the host is made without the plug-in lock
    // (CallHost checks it in builds with assertions): the host may answer with locks of
    // its own, which its audio thread may hold while it waits for ours.

    // UI thread: audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit.
    void EditBegin(int index) override;
    void EditValue(int index, double normalized, double value) override;
    void EditEnd(int index) override;
    // Host thread: audioMasterGetProductString and audioMasterGetVendorVersion.
    void HostProduct(char* name, int size, int32_t* version) override;
    // UI thread; takes the plug-in lock for the rectangle it reports.
    bool EditorResized(int width, int height) override;
    // Any thread. effProcessEvents hands every event back: a MIDI event as a new one of
    // ours (EchoMidi), any other as the host's own, unchanged. Without the plug-in lock
    // the host is called at once: true when it took the event. Under the lock, inside a
    // host entry, the event is collected and sent once the entry has released the lock:
    // true when there was room. Elsewhere under the lock it is refused.
    bool EchoMidi(const VstMidiEvent& received);
    bool PassEventToHost(VstEvent* event);

    bool DoesMidi() const { return doesMidi; }
    const ERect& EditorRect() const { return editorRect; }

private:
    class HostEntry;
    class EventBatch;

    static intptr_t VSTDispatcher(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                  void* ptr, float opt);
    static void VSTAccumulate(AEffect* effect, float** inputs, float** outputs, int32_t frames);
    static void VSTReplace(AEffect* effect, float** inputs, float** outputs, int32_t frames);
    static void VSTReplaceDouble(AEffect* effect, double** inputs, double** outputs,
                                 int32_t frames);
    static float VSTGetParameter(AEffect* effect, int32_t index);
    static void VSTSetParameter(AEffect* effect, int32_t index, float value);

    // Host thread (effOpen), plug-in lock held, the host identified before it was taken.
    // Runs once per instance.
    void PrepareForHost();
    intptr_t OpenEditor(void* parentWindow);
    intptr_t CloseEditor();
    // The one way into the host; never under the plug-in lock.
    intptr_t CallHost(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f);
    // Hands one event to the host in a list of its own; true when the host took it.
    bool SendEventToHost(VstEvent* event);
    // Plug-in lock held, or construction.
    void UpdateEditorRect(int width, int height);
    // The rectangle from the editor's size now; false without an editor.
    bool RefreshEditorRect();

    intptr_t SetBlockSize(intptr_t frames);
    intptr_t GetChunk(bool bank, void* ptr);
    intptr_t SetChunk(bool bank, intptr_t size, const void* bytes);
    intptr_t ApplyProgramChunk(const void* bytes, intptr_t size);
    intptr_t ProcessEvents(const VstEvents* events);
    // effString2Parameter: sets parameter index from a display text, exactly (0 when the
    // text names no value); a null text asks whether index takes texts.
    intptr_t SetParameterFromText(int32_t index, const char* text);
    intptr_t PinProperties(bool input, int32_t index, void* ptr);
    intptr_t SetSpeakerArrangement(intptr_t inputs, void* outputs);
    intptr_t CanDo(const char* text) const;
    intptr_t VendorSpecific(int32_t index, intptr_t value, void* ptr, float opt);

    template <class Sample>
    void Process(Sample** inputs, Sample** outputs, int32_t frames, bool accumulate);
    // The host's flat channel list, announced as channels, spread over the buses.
    void RouteChannels(BusDirection direction, int channels);

    ERect editorRect{};
    audioMasterCallback audioMaster; // the host callback; null without a host
    VstSpeakerArrangement inputArrangement{};
    VstSpeakerArrangement outputArrangement{};
    bool hostPrepared = false;
    bool doesMidi;
    // The entry collecting what goes to the host; guarded by the plug-in lock.
    EventBatch* collecting = nullptr;
    // The bank chunk and what is read from it. Its mutex is taken by host threads only,
    // before the plug-in lock and never while holding it.
    std::mutex chunkMutex;
    StateChunk bankChunk;
    IBankValues bankValues;
    AEffect record{};
    // After the members above, so that it is destroyed before them, while all it could
    // reach here is still whole.
    EffectRuntime runtime;
    // Over the runtime's effect; it reaches nothing when destroyed.
    VST2Programs programs;
};
