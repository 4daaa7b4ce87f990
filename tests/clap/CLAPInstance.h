#pragma once

#include "CLAPTestAudio.h"
#include "CLAPTestEvents.h"
#include "CLAPTestHost.h"

#include <string>
#include <vector>

// Quelor.clap opened once per test program, its entry initialised for the program's life.
const clap_plugin_entry_t& QuelorCLAPEntry();
const clap_plugin_factory_t& QuelorCLAPFactory();

// One Quelor made through the module's factory for a test host of its own and initialised;
// destroyed (stopped first where needed) with this object, on the thread that destroys it.
class CLAPInstance {
public:
    explicit CLAPInstance(CLAPHostExtensions extensions = {});
    ~CLAPInstance();
    CLAPInstance(const CLAPInstance&) = delete;
    CLAPInstance& operator=(const CLAPInstance&) = delete;

    CLAPTestHost host;
    const clap_plugin_t* plugin;
    const clap_plugin_params_t* params;
    const clap_plugin_state_t* state;
    const clap_plugin_audio_ports_t* ports;
    const clap_plugin_gui_t* gui;

    // After Stop, activate, then start_processing (on this thread, which the host makes
    // its audio thread too); false where either is refused.
    bool Start(double rate, uint32_t maxFrames);
    // stop_processing and deactivate, as far as Start went.
    void Stop();
    // One block: main input (and side-chain when given) into output, with the events
    // given, and a list that takes what the plug-in sends.
    template <class Sample>
    clap_process_status Process(CLAPAudioBuffers<Sample>& inputs, CLAPAudioBuffers<Sample>& output,
                                const CLAPInputEvents& events = CLAPInputEvents()) {
        CLAPOutputEvents sent;
        const clap_process_t process{-1,
                                     output.Frames(),
                                     nullptr,
                                     inputs.Buffers(),
                                     output.Buffers(),
                                     inputs.Count(),
                                     output.Count(),
                                     events.List(),
                                     sent.List()};
        return plugin->process(plugin, &process);
    }
    double Value(clap_id id) const;
    std::string Text(clap_id id, double value) const;
    std::vector<uint8_t> Save() const;

private:
    bool active = false;
    bool processing = false;
};
