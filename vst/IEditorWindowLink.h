#pragma once

// What the VST 2 adapter needs of an attached editor beyond IEditorLink: its
// size and a window that opens inside the host's. An editor that does not
// offer it is still fed parameter values but is not announced to the host.
class IEditorWindowLink {
public:
    virtual ~IEditorWindowLink() = default;

    // Any thread. Fixed between size changes on the UI thread.
    virtual int EditorWidth() const = 0;
    virtual int EditorHeight() const = 0;
    // UI thread, without the plug-in lock: window systems take their time. Opens the
    // editor as a child of the host's window; returns the new window, or null when it
    // could not be made.
    virtual void* OpenEditorWindow(void* parentWindow) = 0;
    // UI thread, without the plug-in lock.
    virtual void CloseEditorWindow() = 0;
    // UI thread, on effEditIdle, without the plug-in lock: a window system without
    // timers of its own does its event and redraw work here.
    virtual void IdleEditor() {}
};
