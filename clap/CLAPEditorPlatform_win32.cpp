#include "CLAPEditorPlatform.h"

namespace {
void* ParentWindow(const clap_window_t& window) {
    return window.win32;
}

// The host pumps the main thread's messages, and the window's own timer drives it.
constexpr CLAPEditorPlatform kWin32{CLAP_WINDOW_API_WIN32, false, ParentWindow};
} // namespace

const CLAPEditorPlatform& CLAPEditorPlatformHere() {
    return kWin32;
}
