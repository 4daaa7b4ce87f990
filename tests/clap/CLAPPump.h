#pragma once

#include "CLAPTestHost.h"

#include <chrono>
#include <map>

// The main loop a Linux host runs for a plug-in's editor: it polls the fds the plug-in
// registered and calls on_fd for those ready, then calls on_timer for the timers that
// are due. The registrations live in the host and are read afresh on each round, so a
// callback may register or remove any timer or fd; one removed during a round is not
// called again in it.
class CLAPPump {
public:
    CLAPPump(CLAPTestHost& testHost, const clap_plugin_t* editor)
        : host(testHost), plugin(editor) {}

    // Runs rounds for `time`.
    void Run(std::chrono::milliseconds time);

private:
    using Clock = std::chrono::steady_clock;
    struct Due {
        Clock::time_point when;
        std::chrono::milliseconds period;
    };

    CLAPTestHost& host;
    const clap_plugin_t* plugin;
    std::map<clap_id, Due> due;
};
