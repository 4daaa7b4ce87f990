#pragma once

#include "HostKind.h"

#include <cstdint>

// What the plug-in base needs of the host it runs in, whatever the format: each format's
// adapter implements it and connects itself to the effect it owns. Unless said otherwise
// every call is made without the plug-in lock, as a host may answer with locks of its own
// that its audio thread holds while it waits for ours; IEffectBase checks this in builds
// with assertions. What a format has no way to tell keeps the answer given here.
class IEffectHost {
public:
    virtual ~IEffectHost() = default;

    // UI thread, in the order the user acted: a gesture on parameter index begins, its
    // values (the normalized value the editor chose, and the value in real units the
    // parameter took from it), the gesture ends. The parameter is already set.
    virtual void EditBegin(int index) = 0;
    virtual void EditValue(int index, double normalized, double value) = 0;
    virtual void EditEnd(int index) = 0;

    // Host thread. The host's product name into name[size], "" when it gives none, and
    // its version packed as major << 16 | minor << 8 | patch, 0 when unknown.
    virtual void HostProduct(char* name, int, int32_t* version) {
        name[0] = '\0';
        *version = 0;
    }

    // UI thread. The editor has a new size; false when the host was not told.
    virtual bool EditorResized(int, int) { return false; }
};
