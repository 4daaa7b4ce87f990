#pragma once

#include "EffectRuntime.h"
#include "IEffectHost.h"
#include "ThreadRulesVST3.h"
#include "VST3Interface.h"

#include <atomic>
#include <memory>
#include <vector>

// The component's own vtable entries for the four methods it shares by name with the
// edit controller, so that a host's call through each interface reaches its own code.
// UI thread, all four, in both.
class EditorViewVST3;

class ComponentPartVST3 : public vst3::IComponent {
public:
    vst3::tresult PLUGIN_API initialize(vst3::FUnknown* context) final {
        return InitializeComponent(context);
    }
    vst3::tresult PLUGIN_API terminate() final { return TerminateComponent(); }
    vst3::tresult PLUGIN_API setState(vst3::IBStream* state) final {
        return SetComponentState(state);
    }
    vst3::tresult PLUGIN_API getState(vst3::IBStream* state) final {
        return GetComponentState(state);
    }

protected:
    ~ComponentPartVST3() = default;
    virtual vst3::tresult InitializeComponent(vst3::FUnknown* context) = 0;
    virtual vst3::tresult TerminateComponent() = 0;
    virtual vst3::tresult SetComponentState(vst3::IBStream* state) = 0;
    virtual vst3::tresult GetComponentState(vst3::IBStream* state) = 0;
};

class ControllerPartVST3 : public vst3::IEditController {
public:
    vst3::tresult PLUGIN_API initialize(vst3::FUnknown* context) final {
        return InitializeController(context);
    }
    vst3::tresult PLUGIN_API terminate() final { return TerminateController(); }
    vst3::tresult PLUGIN_API setState(vst3::IBStream* state) final {
        return SetControllerState(state);
    }
    vst3::tresult PLUGIN_API getState(vst3::IBStream* state) final {
        return GetControllerState(state);
    }

protected:
    ~ControllerPartVST3() = default;
    virtual vst3::tresult InitializeController(vst3::FUnknown* context) = 0;
    virtual vst3::tresult TerminateController() = 0;
    virtual vst3::tresult SetControllerState(vst3::IBStream* state) = 0;
    virtual vst3::tresult GetControllerState(vst3::IBStream* state) = 0;
};

// Binds an effect on the host-neutral plug-in base to VST 3 as one object that is both
// the component (with its audio processor) and the edit controller. It owns the effect
// and is its host (IEffectHost). It translates only, onto the effect's runtime.
//
// Threads, as hosts call: process on the audio thread, setProcessing on the UI or the
// audio thread, everything else on the UI thread. process holds the plug-in lock for
// the whole call; nothing that calls into the host runs under it.
class IEffectVST3 final : public ComponentPartVST3,
                          public vst3::IAudioProcessor,
                          public vst3::IProcessContextRequirements,
                          public ControllerPartVST3,
                          public vst3::IEditController2,
                          public IEffectHost {
public:
    // Parameter queues read per block; a host sends one per parameter that changed.
    static constexpr int kMaxQueues = 1024;
    // Points read from the queues per block. Past this many only each queue's last point
    // is read, so that every parameter still ends the block at the host's value.
    static constexpr int kMaxPoints = 4096;

    // UI thread. Starts with one reference, the caller's.
    explicit IEffectVST3(std::unique_ptr<IEffectBase> effect);
    ~IEffectVST3() override;
    IEffectVST3(const IEffectVST3&) = delete;
    IEffectVST3& operator=(const IEffectVST3&) = delete;

    // Any thread.
    IEffectBase& Effect() { return runtime.Effect(); }
    EffectRuntime& Runtime() { return runtime; }
    ThreadRulesVST3& Threads() { return threads; }

    // FUnknown, any thread.
    vst3::tresult PLUGIN_API queryInterface(const vst3::TUID iid, void** obj) override;
    uint32_t PLUGIN_API addRef() override;
    uint32_t PLUGIN_API release() override;

    // IComponent, UI thread.
    vst3::tresult PLUGIN_API getControllerClassId(vst3::TUID classId) override;
    vst3::tresult PLUGIN_API setIoMode(vst3::IoMode mode) override;
    int32_t PLUGIN_API getBusCount(vst3::MediaType type, vst3::BusDirection dir) override;
    vst3::tresult PLUGIN_API getBusInfo(vst3::MediaType type, vst3::BusDirection dir, int32_t index,
                                        vst3::BusInfo* bus) override;
    vst3::tresult PLUGIN_API getRoutingInfo(vst3::RoutingInfo* inInfo,
                                            vst3::RoutingInfo* outInfo) override;
    vst3::tresult PLUGIN_API activateBus(vst3::MediaType type, vst3::BusDirection dir,
                                         int32_t index, vst3::TBool state) override;
    vst3::tresult PLUGIN_API setActive(vst3::TBool state) override;

    // IAudioProcessor, UI thread, but for the two below.
    vst3::tresult PLUGIN_API setBusArrangements(vst3::SpeakerArrangement* inputs, int32_t numIns,
                                                vst3::SpeakerArrangement* outputs,
                                                int32_t numOuts) override;
    vst3::tresult PLUGIN_API getBusArrangement(vst3::BusDirection dir, int32_t index,
                                               vst3::SpeakerArrangement* arr) override;
    vst3::tresult PLUGIN_API canProcessSampleSize(int32_t symbolicSampleSize) override;
    uint32_t PLUGIN_API getLatencySamples() override;
    vst3::tresult PLUGIN_API setupProcessing(vst3::ProcessSetup* setup) override;
    // UI or audio thread; allocates nothing.
    vst3::tresult PLUGIN_API setProcessing(vst3::TBool state) override;
    // Audio thread; reads the host's queues, then holds the plug-in lock.
    vst3::tresult PLUGIN_API process(vst3::ProcessData* data) override;
    uint32_t PLUGIN_API getTailSamples() override;

    // IProcessContextRequirements, UI thread: the compressor reads no transport.
    uint32_t PLUGIN_API getProcessContextRequirements() override {
        threads.Expect(VST3Call::kGetProcessContextRequirements);
        return 0;
    }

    // IEditController, UI thread.
    vst3::tresult PLUGIN_API setComponentState(vst3::IBStream* state) override;
    int32_t PLUGIN_API getParameterCount() override;
    vst3::tresult PLUGIN_API getParameterInfo(int32_t paramIndex,
                                              vst3::ParameterInfo* info) override;
    vst3::tresult PLUGIN_API getParamStringByValue(vst3::ParamID id,
                                                   vst3::ParamValue valueNormalized,
                                                   vst3::TChar* string) override;
    vst3::tresult PLUGIN_API getParamValueByString(vst3::ParamID id, vst3::TChar* string,
                                                   vst3::ParamValue* valueNormalized) override;
    vst3::ParamValue PLUGIN_API normalizedParamToPlain(vst3::ParamID id,
                                                       vst3::ParamValue valueNormalized) override;
    vst3::ParamValue PLUGIN_API plainParamToNormalized(vst3::ParamID id,
                                                       vst3::ParamValue plainValue) override;
    vst3::ParamValue PLUGIN_API getParamNormalized(vst3::ParamID id) override;
    vst3::tresult PLUGIN_API setParamNormalized(vst3::ParamID id, vst3::ParamValue value) override;
    vst3::tresult PLUGIN_API setComponentHandler(vst3::IComponentHandler* handler) override;
    vst3::IPlugView* PLUGIN_API createView(vst3::FIDString name) override;

    // IEditController2, UI thread: nothing to offer beyond the knobs' own mode.
    vst3::tresult PLUGIN_API setKnobMode(vst3::KnobMode mode) override;
    vst3::tresult PLUGIN_API openHelp(vst3::TBool) override {
        threads.Expect(VST3Call::kOpenHelp);
        return vst3::kResultFalse;
    }
    vst3::tresult PLUGIN_API openAboutBox(vst3::TBool) override {
        threads.Expect(VST3Call::kOpenAboutBox);
        return vst3::kResultFalse;
    }

    // IEffectHost. UI thread, never under the plug-in lock: the component handler.
    void EditBegin(int index) override;
    void EditValue(int index, double normalized, double value) override;
    void EditEnd(int index) override;
    // Host thread: IHostApplication::getName of the context given to initialize.
    void HostProduct(char* name, int size, int32_t* version) override;
    // UI thread: the panel grew or shrank (its strip); the view showing it asks its frame.
    bool EditorResized(int width, int height) override;
    // UI thread: the view that shows the panel, or null.
    void SetShownView(EditorViewVST3* view) { shownView = view; }

    // UI thread. The context the host gave the factory (IPluginFactory3::setHostContext),
    // where a view whose frame offers no run loop looks for one; referenced while kept.
    void SetFactoryContext(vst3::FUnknown* context);
    vst3::FUnknown* FactoryContext() const { return factoryContext; }

private:
    // Both interfaces' initialize and terminate: the first sets up, the last tears down.
    vst3::tresult InitializeComponent(vst3::FUnknown* context) override;
    vst3::tresult TerminateComponent() override;
    vst3::tresult InitializeController(vst3::FUnknown* context) override;
    vst3::tresult TerminateController() override;
    vst3::tresult SetComponentState(vst3::IBStream* state) override;
    vst3::tresult GetComponentState(vst3::IBStream* state) override;
    vst3::tresult SetControllerState(vst3::IBStream* state) override;
    vst3::tresult GetControllerState(vst3::IBStream* state) override;
    vst3::tresult Initialize(vst3::FUnknown* context);
    vst3::tresult Terminate();

    // The effect's index of a parameter ID, -1 for none; its parameter, or null.
    int IndexFor(vst3::ParamID id) const;
    IParameter* ParameterFor(vst3::ParamID id);
    // The runtime's direction and bus of a host's audio bus; false for one we have not.
    bool FindBus(vst3::MediaType type, vst3::BusDirection dir, int32_t index,
                 BusDirection* direction) const;
    bool TakesArrangement(BusDirection direction, int bus, vst3::SpeakerArrangement arr) const;

    // Audio thread.
    template <class Sample> vst3::tresult Run(vst3::ProcessData& data);
    // Without the plug-in lock: the block's points from the host's queues into room, in
    // time order.
    void GatherChanges(vst3::IParameterChanges* changes,
                       std::vector<EffectRuntime::TimedChange>& room) const;

    std::atomic<uint32_t> references{1};
    ThreadRulesVST3 threads;
    int initializeCount = 0;
    vst3::FUnknown* hostContext = nullptr; // referenced while initialized
    vst3::FUnknown* factoryContext = nullptr;
    EditorViewVST3* shownView = nullptr;
    vst3::IComponentHandler* componentHandler = nullptr; // referenced
    // Last, so that it goes first, while all it could reach here is still whole.
    EffectRuntime runtime;
};
