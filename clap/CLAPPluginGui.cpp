#include "CLAPPlugin.h"

#include "CLAPEditorPlatform.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

// The editor, embedded in the host's window, in physical pixels: at the host's scale
// (set_scale), or at any size from 1x to 3x the user drags it to, with the panel's aspect
// kept. It is built on the first create and works whether or not the plug-in is active. Where the window system has
// no loop of its own here (X11), the host's timer and the X connection's descriptor call
// it, never a thread of ours.

// The editor works here: the window system's API, not floating, an effect with an editor,
// and a host that can call it (on X11, through its timer).
bool CLAPPlugin::EditorUsable(const char* api, bool floating, bool hostCanDrive) const {
    const CLAPEditorPlatform& platform = CLAPEditorPlatformHere();
    int width = 0;
    int height = 0;
    return !floating && api && std::strcmp(api, platform.api) == 0 &&
           runtime.Editor().Offered(&width, &height) &&
           (!platform.needsHostTimer || hostCanDrive);
}

// A host without timer support hears that the editor is unsupported, as it would never
// be called. A host that offers no extension at all is a scanner, which only asks (Qtractor's
// lists the editor by this answer) and never opens one: it hears what a full host would.
bool CLAPPlugin::GuiApiSupported(const char* api, bool floating) {
    return Admit(CLAPCall::kGuiIsApiSupported) &&
           EditorUsable(api, floating, HostDrivesEditor() || !hostOffersAny);
}

bool CLAPPlugin::GuiPreferredApi(const char** api, bool* floating) {
    if (!Admit(CLAPCall::kGuiGetPreferredApi) || !api || !floating ||
        !EditorUsable(CLAPEditorPlatformHere().api, false, HostDrivesEditor()))
        return false;
    *api = CLAPEditorPlatformHere().api;
    *floating = false;
    return true;
}

bool CLAPPlugin::GuiCreate(const char* api, bool floating) {
    if (!Admit(CLAPCall::kGuiCreate) || !EditorUsable(api, floating, HostDrivesEditor()) ||
        guiCreated)
        return false;
    guiCreated = runtime.Editor().Create();
    return guiCreated;
}

void CLAPPlugin::GuiDestroy() {
    if (!Admit(CLAPCall::kGuiDestroy) || !guiCreated)
        return;
    CloseEditor();
    guiCreated = false;
}

bool CLAPPlugin::GuiSetScale(double scale) {
    return Admit(CLAPCall::kGuiSetScale) && runtime.Editor().SetScale(scale);
}

bool CLAPPlugin::GuiSize(uint32_t* width, uint32_t* height) {
    int w = 0;
    int h = 0;
    if (!Admit(CLAPCall::kGuiGetSize) || !width || !height || !runtime.Editor().Offered(&w, &h))
        return false;
    *width = static_cast<uint32_t>(w);
    *height = static_cast<uint32_t>(h);
    return true;
}

bool CLAPPlugin::GuiCanResize() {
    int w = 0;
    int h = 0;
    return Admit(CLAPCall::kGuiCanResize) && runtime.Editor().Offered(&w, &h);
}

bool CLAPPlugin::GuiResizeHints(clap_gui_resize_hints_t* hints) {
    int w = 0;
    int h = 0;
    if (!Admit(CLAPCall::kGuiGetResizeHints) || !hints || !runtime.Editor().UnscaledSize(&w, &h))
        return false;
    *hints = clap_gui_resize_hints_t{true, true, true, static_cast<uint32_t>(w),
                                     static_cast<uint32_t>(h)};
    return true;
}

namespace {
// A host's size, as the session's ints: beyond them it is far beyond 3x anyway.
int HostPixels(uint32_t pixels) {
    return static_cast<int>(std::min<uint32_t>(pixels, INT32_MAX));
}
} // namespace

bool CLAPPlugin::GuiAdjustSize(uint32_t* width, uint32_t* height) {
    if (!Admit(CLAPCall::kGuiAdjustSize) || !width || !height)
        return false;
    int w = HostPixels(*width);
    int h = HostPixels(*height);
    if (!runtime.Editor().AdjustSize(&w, &h))
        return false;
    *width = static_cast<uint32_t>(w);
    *height = static_cast<uint32_t>(h);
    return true;
}

bool CLAPPlugin::GuiSetSize(uint32_t width, uint32_t height) {
    return Admit(CLAPCall::kGuiSetSize) &&
           runtime.Editor().SetSize(HostPixels(width), HostPixels(height));
}

bool CLAPPlugin::EditorResized(int, int) {
    int width = 0;
    int height = 0;
    if (!hostGui || !runtime.Editor().Offered(&width, &height))
        return false;
    // The aspect the hints give changed with the panel.
    if (hostGui->resize_hints_changed)
        hostGui->resize_hints_changed(host);
    return hostGui->request_resize && hostGui->request_resize(host, static_cast<uint32_t>(width),
                                                              static_cast<uint32_t>(height));
}

// Creates, reparents and maps the window here: some hosts never call show.
bool CLAPPlugin::GuiSetParent(const clap_window_t* window) {
    if (!Admit(CLAPCall::kGuiSetParent) || !guiCreated || !window || !window->api ||
        std::strcmp(window->api, CLAPEditorPlatformHere().api) != 0)
        return false;
    CloseEditor();
    return OpenEditor(*window);
}

bool CLAPPlugin::GuiSetTransient(const clap_window_t*) {
    Admit(CLAPCall::kGuiSetTransient);
    return false;
}

void CLAPPlugin::GuiSuggestTitle(const char*) {
    Admit(CLAPCall::kGuiSuggestTitle);
}

bool CLAPPlugin::GuiShow() {
    return Admit(CLAPCall::kGuiShow) && guiCreated;
}

bool CLAPPlugin::GuiHide() {
    return Admit(CLAPCall::kGuiHide) && guiCreated;
}

void CLAPPlugin::OnTimer(clap_id timer) {
    if (Admit(CLAPCall::kOnTimer) && timer == editorTimer)
        runtime.Editor().Idle();
}

void CLAPPlugin::OnFd(int fd, clap_posix_fd_flags_t) {
    if (Admit(CLAPCall::kOnFd) && fd == editorFd)
        runtime.Editor().Idle();
}

bool CLAPPlugin::OpenEditor(const clap_window_t& window) {
    void* parent = CLAPEditorPlatformHere().parentHandle(window);
    if (!runtime.Editor().Open(parent))
        return false;
    if (CLAPEditorPlatformHere().needsHostTimer &&
        !hostTimers->register_timer(host, kEditorTimerMs, &editorTimer))
        editorTimer = CLAP_INVALID_ID;
    const int fd = runtime.Editor().Window()->EventDescriptor();
    if (fd >= 0 && hostFds && hostFds->register_fd &&
        hostFds->register_fd(host, fd, CLAP_POSIX_FD_READ))
        editorFd = fd;
    return true;
}

void CLAPPlugin::CloseEditor() {
    if (!runtime.Editor().IsOpen())
        return;
    if (editorTimer != CLAP_INVALID_ID)
        hostTimers->unregister_timer(host, editorTimer);
    editorTimer = CLAP_INVALID_ID;
    if (editorFd >= 0 && hostFds->unregister_fd)
        hostFds->unregister_fd(host, editorFd);
    editorFd = -1;
    runtime.Editor().Close();
}
