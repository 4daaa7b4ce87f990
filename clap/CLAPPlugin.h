#pragma once

#include "CLAPEditQueue.h"
#include "CLAPInterface.h"
#include "CLAPThreadCheck.h"
#include "EffectRuntime.h"
#include "IEffectHost.h"

#include <atomic>
#include <memory>
#include <vector>

// Binds an effect on the host-neutral plug-in base to CLAP: the plug-in object and its
// extensions (audio ports, params, state, latency, gui with timer and fd support). It
// translates only, onto the effect's runtime.
//
// Every entry first checks its thread tag and the life-cycle state it needs
// (CLAPThreadCheck): builds with assertions stop at a misbehaving host's first call,
// release builds refuse the call with the answer its table gives (false, null, nothing)
// and tell the host's log. The plug-in lock is held only around the effect's own state;
// the host's event lists and streams are read and written outside it.
//
// The adapter owns the effect and is its host (IEffectHost). The host owns the adapter
// from create_plugin to destroy.
class CLAPPlugin final : public IEffectHost {
public:
    // The editor's timer period: within the 16-33 ms hosts serve.
    static constexpr uint32_t kEditorTimerMs = 16;

    // create_plugin, on the host's main thread. host is checked by the caller.
    CLAPPlugin(const clap_host_t* host, const clap_plugin_descriptor_t* descriptor,
               std::unique_ptr<IEffectBase> effect);
    ~CLAPPlugin() override;
    CLAPPlugin(const CLAPPlugin&) = delete;
    CLAPPlugin& operator=(const CLAPPlugin&) = delete;

    const clap_plugin_t* Plugin() const { return &plugin; }
    // The adapter behind a plug-in record, or null for a record that has none.
    static CLAPPlugin* From(const clap_plugin_t* plugin);
    IEffectBase& Effect() { return runtime.Effect(); }

    // clap_plugin_t
    bool Init();
    void Destroy();
    bool Activate(double sampleRate, uint32_t minFrames, uint32_t maxFrames);
    void Deactivate();
    bool StartProcessing();
    void StopProcessing();
    void Reset();
    clap_process_status Process(const clap_process_t* process);
    const void* Extension(const char* id);
    void OnMainThread();

    // clap.audio-ports
    uint32_t AudioPortCount(bool input);
    bool AudioPortInfo(uint32_t index, bool input, clap_audio_port_info_t* info);

    // clap.params. Ids are the parameters' indices, values are in real units.
    uint32_t ParamCount();
    bool ParamInfo(uint32_t index, clap_param_info_t* info);
    bool ParamValue(clap_id id, double* value);
    bool ValueToText(clap_id id, double value, char* text, uint32_t capacity);
    bool TextToValue(clap_id id, const char* text, double* value);
    void Flush(const clap_input_events_t* in, const clap_output_events_t* out);

    // clap.state: the VST 2 program chunk's bytes.
    bool SaveState(const clap_ostream_t* stream);
    bool LoadState(const clap_istream_t* stream);

    // clap.latency
    uint32_t Latency();

    // clap.gui, with clap.timer-support and clap.posix-fd-support driving the editor
    // where the window system needs them (CLAPEditorPlatform).
    bool GuiApiSupported(const char* api, bool floating);
    bool GuiPreferredApi(const char** api, bool* floating);
    bool GuiCreate(const char* api, bool floating);
    void GuiDestroy();
    bool GuiSetScale(double scale);
    bool GuiSize(uint32_t* width, uint32_t* height);
    bool GuiCanResize();
    bool GuiResizeHints(clap_gui_resize_hints_t* hints);
    bool GuiAdjustSize(uint32_t* width, uint32_t* height);
    bool GuiSetSize(uint32_t width, uint32_t height);
    bool GuiSetParent(const clap_window_t* window);
    bool GuiSetTransient(const clap_window_t* window);
    void GuiSuggestTitle(const char* title);
    bool GuiShow();
    bool GuiHide();
    void OnTimer(clap_id timer);
    void OnFd(int fd, clap_posix_fd_flags_t flags);

    // IEffectHost. Main thread, in the order the user acted: each edit is queued for the
    // next process or flush, and a host that is not processing is asked for a flush.
    void EditBegin(int index) override;
    void EditValue(int index, double normalized, double value) override;
    void EditEnd(int index) override;
    // Main thread: the panel grew or shrank (its strip), asked of the host's window.
    bool EditorResized(int width, int height) override;

private:

    static BusDirection Direction(bool input) {
        return input ? BusDirection::kInput : BusDirection::kOutput;
    }

    // Thread tags and refusals.
    bool Admit(CLAPCall call);
    bool Expect(bool condition, CLAPCall call, Misuse misuse);

    // The parameter with this id (its index), or null.
    const IParameter* Parameter(clap_id id) {
        return id < static_cast<clap_id>(Effect().ParameterCount())
                   ? Effect().ParameterAt(static_cast<int>(id))
                   : nullptr;
    }

    // Processing.
    template <class Sample> bool Run(const clap_process_t& process);
    // The runtime's rounds of changes, read from the host's event list without the lock.
    class ChangeReader {
    public:
        ChangeReader(const CLAPPlugin& plug, const clap_input_events_t* in);
        // The parameter changes among the events from where the last round stopped, into
        // room until it is full; true when events remain.
        bool operator()(std::vector<EffectRuntime::TimedChange>& room);

    private:
        const clap_input_events_t* in;
        uint32_t count;
        uint32_t next = 0;
        clap_id parameters;
    };
    void SendEdits(const clap_output_events_t* out);
    void QueueEdit(const CLAPEditQueue::Edit& edit);

    bool HostDrivesEditor() const {
        return hostTimers && hostTimers->register_timer && hostTimers->unregister_timer;
    }
    bool EditorUsable(const char* api, bool floating, bool hostCanDrive) const;
    // The editor's platform part: open inside the host's window, driven by the host.
    bool OpenEditor(const clap_window_t& window);
    void CloseEditor();

    clap_plugin_t plugin{};
    const clap_host_t* host;
    CLAPThreadCheck threads;
    const clap_host_params_t* hostParams = nullptr;
    const clap_host_timer_support_t* hostTimers = nullptr;
    const clap_host_gui_t* hostGui = nullptr;
    const clap_host_posix_fd_support_t* hostFds = nullptr;
    bool hostOffersAny = false; // any extension we ask for, which a scanner's host does not
    bool initialized = false;
    std::atomic<bool> processing{false};

    CLAPEditQueue edits;

    bool guiCreated = false;
    clap_id editorTimer = CLAP_INVALID_ID;
    int editorFd = -1;

    // Last, so that it is destroyed first, while all it could reach here is still whole.
    EffectRuntime runtime;
};
