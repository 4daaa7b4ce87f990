#pragma once

#include "IEditorWindow.h"

#include <atomic>
#include <cstdint>

class IEffectBase;

// The effect's editor as every format opens it: built when a host first asks for it and
// kept until the effect goes, shown in one host window at a time, at one scale. UI
// thread; it takes no plug-in lock of its own, so no window work ever runs under it.
//
// Sizes are the host's, in device pixels: the panel's size in panel units times the scale. The
// scale is what a host's format or the user's resize chose last, else the window
// system's, which is asked when the editor is first built (1 until then); it lasts while
// the instance lives.
class EditorSession {
public:
    explicit EditorSession(IEffectBase& effect) : plug(effect) {}

    // True when the effect has an editor, built or to be built, with its size.
    bool Offered(int* width, int* height) const;
    // The same in panel units: the panel's aspect.
    bool UnscaledSize(int* width, int* height) const;
    // A scale a host's format tells (VST 3's content scale, CLAP's set_scale, LV2's
    // option), clamped to 1..3; false for one that is not a number.
    bool SetScale(double scale);
    double Scale() const;
    // Whether a host or the user chose the scale (else the window system's is used).
    bool ScaleChosen() const { return chosen > 0.0; }
    // A size a user drags the host's window to: the largest the panel's aspect fits in
    // it, within 1x to 3x. False when the effect has no editor.
    bool AdjustSize(int* width, int* height) const;
    // A size a host sets: the scale of the largest panel that fits in it.
    bool SetSize(int width, int height);

    // The editor's state as a host keeps it with its project (VST 3's controller state):
    // the scale if one was chosen, and the editor's options. A restore is kept and
    // reaches the editor on the UI thread, when it is built, opened or idled.
    struct View {
        double scale;   // 0: none chosen
        uint32_t options;
    };
    View SavedView() const;
    void RestoreView(const View& view);
    // UI thread: the window system's scale, asked once (Create asks it too), so that sizes
    // told before the editor is built are the ones it will have.
    void AskSystemScale();
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
    // The scale a size in device pixels stands for, within the limits.
    double ScaleFor(int width, int height) const;
    void ApplyScale();
    void ApplyRestoredView();

    IEffectBase& plug;
    bool open = false;
    const void* openedBy = nullptr;
    double chosen = 0.0; // 0 until a host or the user chooses
    double system = 0.0;         // asked once, when the editor is first built
    uint32_t options = 0;        // for an editor not built yet
    bool built = false;          // the options were handed to the editor
    View restored{};
    std::atomic<bool> restorePending{false};
};
