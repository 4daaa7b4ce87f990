#include "CLAPEditorPlatform.h"

#include <cstdint>

namespace {
void* ParentWindow(const clap_window_t& window) {
    return reinterpret_cast<void*>(static_cast<uintptr_t>(window.x11));
}

// The host runs no event loop for us: its timer (and the X connection's descriptor)
// is all that calls the editor.
constexpr CLAPEditorPlatform kX11{CLAP_WINDOW_API_X11, true, ParentWindow};
} // namespace

const CLAPEditorPlatform& CLAPEditorPlatformHere() {
    return kX11;
}
