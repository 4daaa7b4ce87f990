#pragma once

#include <cstdint>

// What a host adapter needs of an editor beyond IEditorLink: its size and a window that
// opens inside the host's. An editor that does not offer it is still fed parameter values
// but is not announced to a host.
class IEditorWindow {
public:
    virtual ~IEditorWindow() = default;

    // Any thread. The size in panel units, fixed between size changes on the UI thread.
    virtual int EditorWidth() const = 0;
    virtual int EditorHeight() const = 0;
    // UI thread. Device pixels per panel unit (1 to 3); the window follows. A scale that
    // was not chosen (by a host or the user) is the window system's, and the window may
    // follow the system's later changes, such as a move to a monitor of another density.
    virtual void SetEditorScale(double, bool /*chosen*/) {}
    virtual double EditorScale() const { return 1.0; }
    // UI thread. How the user left the editor (a part of it open), as bits a host may
    // keep with its project; 0 where there is nothing to keep.
    virtual uint32_t EditorOptions() const { return 0; }
    virtual void SetEditorOptions(uint32_t) {}
    // UI thread, without the plug-in lock: window systems take their time. Opens the
    // editor as a child of the host's window; returns the new window, or null when it
    // could not be made.
    virtual void* OpenEditorWindow(void* parentWindow) = 0;
    // UI thread, without the plug-in lock.
    virtual void CloseEditorWindow() = 0;
    // UI thread, without the plug-in lock, on the host's timer tick (effEditIdle, a run
    // loop's timer): a window system without timers of its own does its event and redraw
    // work here.
    virtual void IdleEditor() {}
    // UI thread. The file descriptor a host's run loop watches for the editor's
    // window-system events, calling IdleEditor when it is readable (the X connection's);
    // -1 where the window system needs none (Windows, headless) or no window is open.
    virtual int EventDescriptor() const { return -1; }
};
