#pragma once

#include "IEditorWindow.h"

class IEffectBase;

// The effect's editor as every format opens it: built when a host first asks for it and
// kept until the effect goes, shown in one host window at a time. UI thread; it takes no
// plug-in lock of its own, so no window work ever runs under it.
class EditorSession {
public:
    explicit EditorSession(IEffectBase& effect) : plug(effect) {}

    // True when the effect has an editor, built or to be built, with its size.
    bool Offered(int* width, int* height) const;
    // Builds the editor; false when the effect has none or it could not be made.
    bool Create();
    // Opens the editor inside parent for owner (a view, or null where a format has one
    // editor per instance); the owner that shows it already moves it there. Refused while
    // another owner shows it.
    bool Open(void* parent, const void* owner = nullptr);
    // Closes what owner opened; nothing when it shows nothing.
    void Close(const void* owner = nullptr);
    // The editor's periodic work, while it is open.
    void Idle();
    bool IsOpen() const { return open; }
    // The built editor's window, or null.
    IEditorWindow* Window() const;

private:
    IEffectBase& plug;
    bool open = false;
    const void* openedBy = nullptr;
};
