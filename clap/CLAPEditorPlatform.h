#pragma once

#include "CLAPInterface.h"

// What the editor's window system asks of a CLAP host, one file per platform.
struct CLAPEditorPlatform {
    // The window API the editor embeds in.
    const char* api;
    // Nothing but the host's timer calls the editor (X11): without timer support in the
    // host there is no editor.
    bool needsHostTimer;
    // The handle OpenEditorWindow takes for the host's window.
    void* (*parentHandle)(const clap_window_t& window);
};

const CLAPEditorPlatform& CLAPEditorPlatformHere();
