#pragma once

#include "HostApplication.h"
#include "HostComponentHandler.h"
#include "HostParameterChanges.h"
#include "MemoryStream.h"
#include "VST3Interface.h"
#include "VST3Module.h"

#include <string>
#include <vector>

// One Quelor instance driven as a host drives it: made by the module's factory, then
// initialized through both interfaces of the one object, with a component handler. The
// destructor winds it down in the reverse order.
class VST3PluginHost {
public:
    // The module's first class; the test's host objects must outlive the instance. Without
    // a context of the test's, the instance gets one of its own.
    VST3PluginHost(const VST3Module& module, HostApplication& application,
                   HostComponentHandler* handler = nullptr);
    explicit VST3PluginHost(const VST3Module& module) : VST3PluginHost(module, ownApplication) {}
    ~VST3PluginHost();

    vst3::IComponent* Component() const { return component.Get(); }
    vst3::IAudioProcessor* Processor() const { return processor.Get(); }
    vst3::IEditController* Controller() const { return controller.Get(); }

    // After Stop, setupProcessing, then setActive(1) and setProcessing(1) where the set-up
    // is taken; false where it is refused.
    bool Start(vst3::ProcessSetup setup);
    // setProcessing(0) and setActive(0) after a Start.
    void Stop();
    bool Started() const { return started; }

    // One process call on `inputs` (channels of each bus: main, then the side-chain when
    // it has any), writing `outputs` (the main output's channels), with the changes given.
    template <class Sample>
    vst3::tresult Process(std::vector<std::vector<Sample*>> inputs, std::vector<Sample*> outputs,
                          int32_t frames, HostParameterChanges* changes = nullptr) {
        std::vector<vst3::AudioBusBuffers> in(inputs.size());
        for (std::size_t bus = 0; bus < inputs.size(); ++bus)
            in[bus] = {static_cast<int32_t>(inputs[bus].size()),
                       0,
                       {reinterpret_cast<float**>(inputs[bus].data())}};
        vst3::AudioBusBuffers out{
            static_cast<int32_t>(outputs.size()), 0, {reinterpret_cast<float**>(outputs.data())}};
        HostParameterChanges none;
        vst3::ProcessData data{};
        data.processMode = vst3::kRealtime;
        data.symbolicSampleSize =
            sizeof(Sample) == sizeof(double) ? vst3::kSample64 : vst3::kSample32;
        data.numSamples = frames;
        data.numInputs = static_cast<int32_t>(in.size());
        data.numOutputs = 1;
        data.inputs = in.data();
        data.outputs = &out;
        data.inputParameterChanges = changes ? changes : &none;
        return processor->process(&data);
    }

    std::vector<char> State() const;
    vst3::tresult SetState(const std::vector<char>& bytes) const;

private:
    HostApplication ownApplication;
    Ref<vst3::IComponent> component;
    Ref<vst3::IAudioProcessor> processor;
    Ref<vst3::IEditController> controller;
    HostComponentHandler* handler = nullptr;
    bool started = false;
};

// The bundle the suites load: $QUELOR_VST3_BUNDLE when set (an unpacked release
// archive's), else the one the build made; and that bundle, loaded once for the program.
std::string BundleUnderTest(const char* built);
const VST3Module& ModuleUnderTest();

// The 16 bytes of the module's first class ID, or none.
std::vector<char> ClassIdBytes(const VST3Module& module);

// A plug-in's UTF-16 text, as ASCII.
std::string Narrow(const vst3::TChar* text);

// Bytes as upper-case hex digits, the way hosts print an identifier.
std::string Hex(const char* bytes, std::size_t count);
