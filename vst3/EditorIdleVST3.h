#pragma once

#include "IEditorWindow.h"
#include "VST3View.h"

#include <memory>

// What keeps an open editor alive between host events, one file per platform. On Linux
// that is the host's run loop (Linux::IRunLoop): a timer and the window system's event
// descriptor, called back on the host's UI thread; the loop comes from the view's frame,
// else from the context the host gave the factory, and without one there is no editor
// rather than a thread of our own. On Windows the window has its own timer. Every
// call is on the UI thread.
class EditorIdleVST3 {
public:
    // The one window type the views of this platform embed into.
    static vst3::FIDString PlatformType();

    EditorIdleVST3();
    ~EditorIdleVST3();
    EditorIdleVST3(const EditorIdleVST3&) = delete;
    EditorIdleVST3& operator=(const EditorIdleVST3&) = delete;

    // Finds what the editor will be idled by; false when the host offers nothing.
    bool Prepare(vst3::IPlugFrame* frame, vst3::FUnknown* factoryContext);
    // The window is open: its callbacks start.
    void Start(IEditorWindow& window);
    // Every callback unregistered and the host's objects let go, before this returns.
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};
