#pragma once

// The editor's view, the host's frame around it, and the host's run loop on Linux.
// Every call on these comes on the host's UI thread.

#include "VST3Base.h"

namespace vst3 {

// Sizes are physical pixels.
struct ViewRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};
static_assert(sizeof(ViewRect) == 16);
static_assert(offsetof(ViewRect, top) == 4);
static_assert(offsetof(ViewRect, right) == 8);
static_assert(offsetof(ViewRect, bottom) == 12);

// The parent handed to attached(): an HWND, or an X11 Window ID stored in the pointer.
inline constexpr FIDString kPlatformTypeHWND = "HWND";
inline constexpr FIDString kPlatformTypeX11EmbedWindowID = "X11EmbedWindowID";
// The one view name a host asks createView for.
inline constexpr FIDString kEditorViewType = "editor";

enum KeyModifier : int16_t {
    kShiftKey = 1,
    kAlternateKey = 2,
    kCommandKey = 4, // Ctrl on Windows
    kControlKey = 8, // the Windows key
};

// The keys an editor's text entry cares about; `key` carries the character otherwise.
enum VirtualKeyCodes : int16_t {
    KEY_BACK = 1,
    KEY_TAB = 2,
    KEY_RETURN = 4,
    KEY_ESCAPE = 6,
    KEY_SPACE = 7,
    KEY_END = 9,
    KEY_HOME = 10,
    KEY_LEFT = 11,
    KEY_UP = 12,
    KEY_RIGHT = 13,
    KEY_DOWN = 14,
    KEY_ENTER = 19,
    KEY_DELETE = 22,
};

class IPlugFrame;

// Host order: createView, getSize, isPlatformTypeSupported, setFrame(frame),
// attached(parent, type); on close setFrame(null), removed(), release. The native window
// is resized in onSize only.
class IPlugView : public FUnknown {
public:
    virtual tresult PLUGIN_API isPlatformTypeSupported(FIDString type) = 0;
    virtual tresult PLUGIN_API attached(void* parent, FIDString type) = 0;
    virtual tresult PLUGIN_API removed() = 0;
    virtual tresult PLUGIN_API onWheel(float distance) = 0;
    // kResultTrue only for a key the view used.
    virtual tresult PLUGIN_API onKeyDown(char16 key, int16_t keyCode, int16_t modifiers) = 0;
    virtual tresult PLUGIN_API onKeyUp(char16 key, int16_t keyCode, int16_t modifiers) = 0;
    virtual tresult PLUGIN_API getSize(ViewRect* size) = 0; // also before attached
    virtual tresult PLUGIN_API onSize(ViewRect* newSize) = 0;
    virtual tresult PLUGIN_API onFocus(TBool state) = 0;
    virtual tresult PLUGIN_API setFrame(IPlugFrame* frame) = 0;
    virtual tresult PLUGIN_API canResize() = 0;
    virtual tresult PLUGIN_API checkSizeConstraint(ViewRect* rect) = 0; // adjusts in place

    static constexpr Uid kIid = MakeUid(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);

protected:
    ~IPlugView() = default;
};

// The host's side of a view. resizeView calls the view's onSize before it returns. On
// Linux the frame is where a view finds the host's run loop.
class IPlugFrame : public FUnknown {
public:
    virtual tresult PLUGIN_API resizeView(IPlugView* view, ViewRect* newSize) = 0;

    static constexpr Uid kIid = MakeUid(0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3);

protected:
    ~IPlugFrame() = default;
};

// Optional on a view. The factor may come before setFrame and attached, and at any time.
class IPlugViewContentScaleSupport : public FUnknown {
public:
    using ScaleFactor = float;

    virtual tresult PLUGIN_API setContentScaleFactor(ScaleFactor factor) = 0;

    static constexpr Uid kIid = MakeUid(0x65ED9690, 0x8AC44525, 0x8AADEF7A, 0x72EA703F);

protected:
    ~IPlugViewContentScaleSupport() = default;
};

// The host's UI loop on Linux, where an editor gets its timer and the X connection's
// events instead of running a thread of its own. Callbacks come on the host's UI
// thread; a view unregisters everything before removed() returns.
namespace Linux {

using FileDescriptor = int;
using TimerInterval = uint64_t; // milliseconds

class IEventHandler : public FUnknown {
public:
    virtual void PLUGIN_API onFDIsSet(FileDescriptor fd) = 0; // fd is readable

    static constexpr Uid kIid = MakeUid(0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983);

protected:
    ~IEventHandler() = default;
};

class ITimerHandler : public FUnknown {
public:
    virtual void PLUGIN_API onTimer() = 0;

    static constexpr Uid kIid = MakeUid(0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9);

protected:
    ~ITimerHandler() = default;
};

class IRunLoop : public FUnknown {
public:
    virtual tresult PLUGIN_API registerEventHandler(IEventHandler* handler, FileDescriptor fd) = 0;
    virtual tresult PLUGIN_API unregisterEventHandler(IEventHandler* handler) = 0;
    // The timer repeats until unregistered.
    virtual tresult PLUGIN_API registerTimer(ITimerHandler* handler,
                                             TimerInterval milliseconds) = 0;
    virtual tresult PLUGIN_API unregisterTimer(ITimerHandler* handler) = 0;

    static constexpr Uid kIid = MakeUid(0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389);

protected:
    ~IRunLoop() = default;
};

} // namespace Linux

} // namespace vst3
