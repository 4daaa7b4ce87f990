// The editor window on X11: a child of the host's window on a display connection of its
// own. There is no thread and no timer here: Linux hosts call effEditIdle on their user
// interface thread, and that is where our events are read and the redraw tick runs. The
// surface reaches the screen through MIT-SHM where the server offers it, else XPutImage.
// With no native widgets to borrow, the value entry is a widget of ours (ValueEntryWidget)
// shown in a child window.
#include "IGraphicsWindow.h"

#include "DisplayScale.h"
#include "TextRenderer.h"
#include "ValueEntryWidget.h"
#include "X11ErrorTrap.h"
#include "raster/RAS_Bitmap.h"
#include "raster/RAS_SharedSegment.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/keysym.h>
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {
using Clock = std::chrono::steady_clock;

constexpr long kEditorEvents = ExposureMask | ButtonPressMask | ButtonReleaseMask |
                               PointerMotionMask | LeaveWindowMask | StructureNotifyMask;
constexpr long kEntryEvents = ExposureMask | ButtonPressMask | KeyPressMask | FocusChangeMask;

// What Windows users get from the system settings we mirror.
constexpr uint32_t kDoubleClickMilliseconds = 400;
constexpr int kDoubleClickDistance = 4;
constexpr unsigned kWheelUp = 4;
constexpr unsigned kWheelDown = 5;
constexpr int kPathSize = 256;
// A refresh repaints the changed controls in at most this many separate rectangles.
constexpr int kDirtyRegions = 8;

// The _XEMBED_INFO property: protocol version 0, and we want to be mapped.
constexpr long kXEmbedInfo[2] = {0, 1};

IMouseKeys KeysFrom(unsigned state, unsigned pressedButton) {
    IMouseKeys keys;
    keys.left = (state & Button1Mask) != 0 || pressedButton == Button1;
    keys.right = (state & Button3Mask) != 0 || pressedButton == Button3;
    keys.shift = (state & ShiftMask) != 0;
    keys.control = (state & ControlMask) != 0;
    keys.alt = (state & Mod1Mask) != 0;
    return keys;
}

// The panel is drawn at one size: hosts that wrap our window in one of theirs (LV2's
// suil among them) read these hints and keep the user from dragging it larger.
void HoldSize(Display* display, Window window, int width, int height) {
    XSizeHints hints{};
    hints.flags = PMinSize | PMaxSize;
    hints.min_width = hints.max_width = width;
    hints.min_height = hints.max_height = height;
    XSetWMNormalHints(display, window, &hints);
}

// Whether the image holds pixels as our surface does: 32 bits, 0x00RRGGBB, our byte order.
bool SameLayout(const XImage& image) {
    const int ours = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
    return image.bits_per_pixel == 32 && image.red_mask == 0xFF0000 && image.green_mask == 0xFF00 &&
           image.blue_mask == 0xFF && image.byte_order == ours;
}

unsigned long ScaleToMask(RAS_Pixel32 channel, unsigned long mask) {
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    const unsigned long value = bits >= 8 ? channel << (bits - 8) : channel >> (8 - bits);
    return (value << shift) & mask;
}

// Copies rect (clipped to both) of the bitmap into the same place of the image.
void CopyToImage(const RAS_IBitmap& from, XImage& to, const IRectangle& rect) {
    const int left = std::max(rect.L, 0);
    const int top = std::max(rect.T, 0);
    const int right = std::min({rect.R, from.PixelWidth(), to.width});
    const int bottom = std::min({rect.B, from.PixelHeight(), to.height});
    if (left >= right || top >= bottom || !from.Pixels())
        return;
    const bool same = SameLayout(to);
    for (int y = top; y < bottom; ++y) {
        const RAS_Pixel32* row =
            from.Pixels() + static_cast<std::ptrdiff_t>(y) * from.StridePixels();
        if (same) {
            std::memcpy(to.data + static_cast<std::ptrdiff_t>(y) * to.bytes_per_line + left * 4,
                        row + left, static_cast<std::size_t>(right - left) * 4);
            continue;
        }
        for (int x = left; x < right; ++x) {
            const RAS_Pixel32 p = row[x];
            XPutPixel(&to, x, y,
                      ScaleToMask((p >> 16) & 0xFF, to.red_mask) |
                          ScaleToMask((p >> 8) & 0xFF, to.green_mask) |
                          ScaleToMask(p & 0xFF, to.blue_mask));
        }
    }
}

// A plain image of the visual, its pixels on the heap (XDestroyImage frees them).
XImage* MakeHeapImage(Display* display, Visual* visual, int depth, int width, int height) {
    XImage* image =
        XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                     static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (!image)
        return nullptr;
    image->data = static_cast<char*>(std::calloc(
        static_cast<std::size_t>(image->bytes_per_line) * static_cast<std::size_t>(height), 1));
    if (!image->data) {
        XDestroyImage(image);
        return nullptr;
    }
    return image;
}

// The directory of path with its trailing slash, or "" when it has none.
void DirectoryOf(const char* path, char* out) {
    out[0] = '\0';
    const char* slash = path ? std::strrchr(path, '/') : nullptr;
    if (!slash || slash[1] == '\0')
        return;
    const auto length =
        std::min<std::size_t>(static_cast<std::size_t>(slash - path) + 1, kPathSize - 1);
    std::memcpy(out, path, length);
    out[length] = '\0';
}

// The open value entry: the widget, the child window that shows it, and where the
// keyboard focus goes back to when the entry took it.
struct EntryWindow {
    std::unique_ptr<ValueEntryWidget> widget;
    IControl* control = nullptr;
    Window window = 0;
    XImage* image = nullptr;
    bool tookFocus = false;
    Window previousFocus = 0;
    int previousRevert = RevertToParent;
};
} // namespace

struct IGraphicsWindow::Platform {
    explicit Platform(IGraphicsWindow* owner) : editor(owner) {}
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    IGraphicsWindow* editor;
    std::unique_ptr<TextRenderer> text;
    bool textTried = false;

    Display* display = nullptr;
    Window window = 0;
    Visual* visual = nullptr;
    int depth = 0;
    GC gc = nullptr;
    // Where the window stands in its parent; a second open puts the new one there.
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    XImage* image = nullptr; // the surface's pixels, or a panel-sized staging image
    XShmSegmentInfo shm{};
    bool shared = false;
    bool inPlace = false; // the image is the surface: nothing is copied
    int shmOpcode = -1;
    int shmCompletion = -1;
    // Damage waiting to reach the screen: the server may read the shared image until it
    // says it is done, and a refresh sends its rectangles together.
    bool shmBusy = false;
    bool batching = false;
    IRectangle waiting[kDirtyRegions];
    int waitingCount = 0;

    IRectangle exposed;
    Clock::time_point lastTick{};
    bool capturing = false;
    bool trackingLeave = false;
    bool swallowRightRelease = false;
    bool clickValid = false;
    uint32_t clickTime = 0;
    int clickX = 0;
    int clickY = 0;
    int clickControl = -1;

    EntryWindow entry;
    // Host calls made from our event handling may close the editor (and open it again)
    // under us: each close counts here, and the idle work stops when the count moves.
    unsigned closes = 0;
    bool idling = false;

    TextRenderer* Text() {
        if (!textTried) {
            textTried = true;
            text = TextRenderer::Create();
        }
        return text.get();
    }

    bool Open(Window parent, int left, int top, int w, int h) {
        display = XOpenDisplay(nullptr);
        if (!display)
            return false;
        X11ErrorTrap trap(display);
        const int screen = XDefaultScreen(display);
        visual = XDefaultVisual(display, screen);
        depth = XDefaultDepth(display, screen);
        // The host's window may have another visual; ours is the screen's, with its own
        // colormap and no background, so nothing is cleared before we draw.
        XSetWindowAttributes attributes{};
        attributes.background_pixmap = 0;
        attributes.border_pixel = 0;
        attributes.colormap = XDefaultColormap(display, screen);
        attributes.event_mask = kEditorEvents;
        // Made 1x1 and sized once mapped: hosts that size their container from our
        // window's ConfigureNotify, and ignore ui:resize, then hear of the panel's size.
        window =
            XCreateWindow(display, parent, left, top, 1, 1, 0, depth, InputOutput, visual,
                          CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask, &attributes);
        const Atom embedInfo = XInternAtom(display, "_XEMBED_INFO", False);
        XChangeProperty(display, window, embedInfo, embedInfo, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(kXEmbedInfo), 2);
        HoldSize(display, window, w, h);
        gc = XCreateGC(display, window, 0, nullptr);
        XSync(display, False);
        if (trap.Failed() || !MakeImage(trap)) {
            Close(trap);
            return false;
        }
        x = left;
        y = top;
        width = w;
        height = h;
        capturing = trackingLeave = swallowRightRelease = clickValid = false;
        exposed = {};
        XMapWindow(display, window);
        XResizeWindow(display, window, static_cast<unsigned>(w), static_cast<unsigned>(h));
        // A host that reads our geometry once we return finds the panel's size.
        XSync(display, False);
        return true;
    }

    // The image the window is shown from: the surface itself, where the server can attach
    // the surface's segment and takes its pixel layout; else a staging image, in shared
    // memory when the server can attach it, else on the heap.
    bool MakeImage(X11ErrorTrap& trap) {
        const RAS_SysBitmap* surface = editor->SystemSurface();
        const int w = surface ? surface->StridePixels() : editor->DeviceWidth();
        const int h = editor->DeviceHeight();
        int event = 0;
        int error = 0;
        if (XShmQueryExtension(display) &&
            XQueryExtension(display, "MIT-SHM", &shmOpcode, &event, &error)) {
            shmCompletion = XShmGetEventBase(display) + ShmCompletion;
            image = XShmCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, nullptr,
                                    &shm, static_cast<unsigned>(w), static_cast<unsigned>(h));
        }
        if (image) {
            inPlace = surface && surface->SharedSegment() >= 0 && SameLayout(*image) &&
                      image->bytes_per_line == w * 4;
            shared = inPlace ? Attach(trap, surface->SharedSegment(), surface->Pixels())
                             : AttachNewSegment(trap, h);
            if (!shared) {
                inPlace = false;
                image->data = nullptr;
                XDestroyImage(image);
                image = nullptr;
            }
        }
        if (!image)
            image = MakeHeapImage(display, visual, depth, w, h);
        return image != nullptr;
    }

    bool Attach(X11ErrorTrap& trap, int segment, void* memory) {
        shm.shmid = segment;
        shm.shmaddr = image->data = static_cast<char*>(memory);
        shm.readOnly = False;
        trap.Clear();
        XShmAttach(display, &shm);
        XSync(display, False);
        return !trap.Failed();
    }

    bool AttachNewSegment(X11ErrorTrap& trap, int h) {
        const auto bytes =
            static_cast<std::size_t>(image->bytes_per_line) * static_cast<std::size_t>(h);
        const RAS_SharedSegment segment = RAS_NewSharedSegment(bytes);
        if (!segment.memory)
            return false;
        if (Attach(trap, segment.id, segment.memory))
            return true;
        RAS_DetachSharedSegment(segment.memory);
        return false;
    }

    void ReleaseImage() {
        if (!image)
            return;
        if (shared) {
            XShmDetach(display, &shm);
            // The surface's segment is the surface's to let go of.
            if (!inPlace)
                RAS_DetachSharedSegment(shm.shmaddr);
            image->data = nullptr;
        }
        XDestroyImage(image);
        image = nullptr;
        shared = inPlace = false;
        shmBusy = false;
        waitingCount = 0;
    }

    void Close(X11ErrorTrap&) {
        CloseEntry();
        ReleaseImage();
        if (window)
            XDestroyWindow(display, window);
        if (gc)
            XFreeGC(display, gc);
        XCloseDisplay(display);
        display = nullptr;
        window = 0;
        gc = nullptr;
        shmOpcode = shmCompletion = -1;
        capturing = trackingLeave = swallowRightRelease = clickValid = false;
        exposed = {};
        ++closes;
    }

    void Present(const IRectangle& rect) {
        if (!window || !image)
            return;
        const IRectangle r = rect.Intersection({0, 0, image->width, image->height});
        if (r.Width() <= 0 || r.Height() <= 0)
            return;
        Wait(r);
        if (!batching)
            Flush();
    }

    // A surface the server may still be reading is drawn on once the server is done.
    bool SurfaceFree() const { return !(inPlace && shmBusy); }

    void Wait(const IRectangle& r) {
        waitingCount = AddToRegions(waiting, waitingCount, kDirtyRegions, r);
    }

    // The waiting rectangles to the screen, unless the server still reads the image: in
    // order, the last asking for the completion that frees the image again.
    void Flush() {
        const RAS_IBitmap* surface = editor->Surface();
        if (shmBusy || waitingCount == 0 || !surface || !window || !image)
            return;
        // A surface shown in place is already what the server reads.
        if (!inPlace)
            for (int i = 0; i < waitingCount; ++i)
                CopyToImage(*surface, *image, waiting[i]);
        for (int i = 0; i < waitingCount; ++i) {
            const IRectangle& r = waiting[i];
            const auto w = static_cast<unsigned>(r.Width());
            const auto h = static_cast<unsigned>(r.Height());
            if (shared)
                XShmPutImage(display, window, gc, image, r.L, r.T, r.L, r.T, w, h,
                             i == waitingCount - 1 ? True : False);
            else
                XPutImage(display, window, gc, image, r.L, r.T, r.L, r.T, w, h);
        }
        shmBusy = shared;
        waitingCount = 0;
        XFlush(display);
    }

    // A window's damage, in device pixels: repainted as the Windows WM_PAINT does, except
    // that while the user types the panel is not redrawn and the surface as it stands is
    // shown.
    void Repaint(const IRectangle& rect) {
        if (Typing())
            Present(rect);
        else
            editor->PaintRegion(editor->ToPanel(rect));
    }

    void Tick() {
        if (entry.widget) {
            switch (entry.widget->Tick()) {
            case ValueEntryWidget::Step::Panel:
                break;
            case ValueEntryWidget::Step::Skip:
                PresentEntry(false);
                return;
            case ValueEntryWidget::Step::Commit:
                CommitEntry();
                return;
            case ValueEntryWidget::Step::Close:
                CloseEntry();
                return;
            }
        }
        IRectangle dirty[kDirtyRegions];
        const int regions = editor->CollectDirtyRegions(dirty, kDirtyRegions);
        batching = true;
        for (int i = 0; i < regions; ++i)
            editor->PaintRegion(dirty[i]);
        batching = false;
        Flush();
        if (regions > 0 && entry.widget)
            entry.widget->PanelRedrew();
    }

    // UI thread, from effEditIdle. The host's answers to what we tell it may close the
    // editor, or idle it again: neither may find us half-way through a pass.
    void Idle() {
        if (idling)
            return;
        idling = true;
        IdlePass(closes);
        idling = false;
    }

    void IdlePass(unsigned opened) {
        X11ErrorTrap trap(display);
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            Handle(event);
            if (closes != opened)
                return;
        }
        // A put the server refused sends no completion.
        if (shmBusy && trap.Failed(shmOpcode))
            shmBusy = false;
        if (!exposed.Empty() && SurfaceFree()) {
            Repaint(exposed);
            exposed = {};
        }
        const auto interval = std::chrono::milliseconds(1000 / editor->Fps());
        const Clock::time_point now = Clock::now();
        if (window && SurfaceFree() && now - lastTick >= interval) {
            lastTick = now;
            Tick();
            if (closes != opened)
                return;
        }
        XFlush(display);
    }

    void Handle(XEvent& event) {
        if (event.type == shmCompletion && shmCompletion >= 0) {
            shmBusy = false;
            Flush();
            return;
        }
        if (entry.window && event.xany.window == entry.window) {
            HandleEntry(event);
            return;
        }
        if (!window || event.xany.window != window)
            return;
        switch (event.type) {
        case Expose:
            exposed = exposed.Union({event.xexpose.x, event.xexpose.y,
                                     event.xexpose.x + event.xexpose.width,
                                     event.xexpose.y + event.xexpose.height});
            if (event.xexpose.count == 0) {
                Repaint(exposed);
                exposed = {};
            }
            break;
        case ButtonPress:
            Pressed(event.xbutton);
            break;
        case ButtonRelease:
            Released(event.xbutton);
            break;
        case MotionNotify:
            Moved(event);
            break;
        case LeaveNotify:
            if (trackingLeave && !Typing()) {
                trackingLeave = false;
                editor->MouseExited();
            }
            break;
        case ConfigureNotify:
            x = event.xconfigure.x;
            y = event.xconfigure.y;
            width = event.xconfigure.width;
            height = event.xconfigure.height;
            break;
        case ReparentNotify:
            x = event.xreparent.x;
            y = event.xreparent.y;
            break;
        case DestroyNotify:
            // The host took its window down with ours before closing the editor.
            if (event.xdestroywindow.window == window) {
                window = 0;
                if (entry.image)
                    XDestroyImage(entry.image);
                entry = EntryWindow{};
            }
            break;
        default:
            break;
        }
    }

    bool Typing() const { return entry.widget && entry.widget->Typing(); }

    void Pressed(const XButtonEvent& e) {
        const IMouseKeys keys = KeysFrom(e.state, e.button);
        if (e.button == kWheelUp || e.button == kWheelDown) {
            if (!Typing())
                editor->MouseWheeled(editor->ToPanel(e.x), editor->ToPanel(e.y), keys,
                                     e.button == kWheelUp ? 1 : -1);
            return;
        }
        if (e.button != Button1 && e.button != Button3)
            return;
        // A right press while an entry is open only cancels it, and so does its release.
        if (e.button == Button3 && entry.widget) {
            entry.widget->Cancel();
            swallowRightRelease = true;
            return;
        }
        if (Typing())
            return;
        const int atX = editor->ToPanel(e.x);
        const int atY = editor->ToPanel(e.y);
        if (e.button == Button1) {
            const int control = editor->FindControlAt(atX, atY);
            const auto elapsed = static_cast<uint32_t>(e.time) - clickTime;
            if (clickValid && control == clickControl && elapsed <= kDoubleClickMilliseconds &&
                std::abs(e.x - clickX) <= kDoubleClickDistance &&
                std::abs(e.y - clickY) <= kDoubleClickDistance) {
                clickValid = false;
                capturing = editor->MouseDoubleClicked(atX, atY, keys);
                return;
            }
            clickValid = true;
            clickTime = static_cast<uint32_t>(e.time);
            clickX = e.x;
            clickY = e.y;
            clickControl = control;
        } else {
            clickValid = false;
        }
        // The server holds the pointer for us from here to the last release (its implicit
        // grab), so a drag keeps coming to us outside the window, with no round trip.
        capturing = true;
        editor->MousePressed(atX, atY, keys);
    }

    void Released(const XButtonEvent& e) {
        if (e.button != Button1 && e.button != Button3)
            return;
        if (e.button == Button3 && swallowRightRelease) {
            swallowRightRelease = false;
            return;
        }
        if (Typing())
            return;
        capturing = false;
        editor->MouseReleased(editor->ToPanel(e.x), editor->ToPanel(e.y));
    }

    void Moved(XEvent& event) {
        // Only the latest position of a burst matters: the movement adds up the same.
        while (XEventsQueued(display, QueuedAlready) > 0) {
            XEvent next;
            XPeekEvent(display, &next);
            if (next.type != MotionNotify || next.xany.window != window)
                break;
            XNextEvent(display, &event);
        }
        const XMotionEvent& e = event.xmotion;
        if (Typing())
            return;
        const IMouseKeys keys = KeysFrom(e.state, 0);
        const int atX = editor->ToPanel(e.x);
        const int atY = editor->ToPanel(e.y);
        if (keys.left || keys.right) {
            if (capturing)
                editor->MouseDragged(atX, atY, keys);
        } else if (editor->MouseHovered(atX, atY, keys)) {
            trackingLeave = true;
        }
    }

    // The value entry: its window, the input it takes and the keyboard focus.

    void OpenEntry(IControl* control, const IParameter& parameter) {
        auto widget = std::make_unique<ValueEntryWidget>(
            parameter, editor->ToDevice(control->Rect()), editor->DeviceWidth(),
            editor->DeviceHeight(), Text(), editor->Scale());
        const IRectangle r = widget->Rect();
        XImage* picture = MakeHeapImage(display, visual, depth, r.Width(), r.Height());
        if (!picture)
            return;
        XSetWindowAttributes attributes{};
        attributes.background_pixmap = 0;
        attributes.border_pixel = 0;
        attributes.colormap = XDefaultColormap(display, XDefaultScreen(display));
        attributes.event_mask = kEntryEvents;
        entry.window =
            XCreateWindow(display, window, r.L, r.T, static_cast<unsigned>(r.Width()),
                          static_cast<unsigned>(r.Height()), 0, depth, InputOutput, visual,
                          CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask, &attributes);
        entry.widget = std::move(widget);
        entry.control = control;
        entry.image = picture;
        // The keyboard stays with the host until the user clicks into the entry or types
        // over it: keys typed with the pointer over the entry come to it unfocused.
        XMapRaised(display, entry.window);
        PresentEntry(true);
    }

    void CloseEntry() {
        EntryWindow& e = entry;
        if (!e.window)
            return;
        // The keyboard goes back where it was, unless the user moved it on meanwhile.
        if (e.tookFocus && e.widget->Focused())
            XSetInputFocus(display, e.previousFocus, e.previousRevert, CurrentTime);
        XDestroyWindow(display, e.window);
        if (e.image)
            XDestroyImage(e.image);
        e = EntryWindow{};
    }

    // The entry is gone, and the keyboard back with the host, before the control tells
    // the host of the new value.
    void CommitEntry() {
        IControl* control = entry.control;
        const double value = entry.widget->CommittedValue();
        CloseEntry();
        control->SetValueFromEntry(value);
    }

    void TakeFocus(Time time) {
        EntryWindow& e = entry;
        if (e.widget->Focused() || e.widget->Finished())
            return;
        XGetInputFocus(display, &e.previousFocus, &e.previousRevert);
        e.tookFocus = true;
        XSetInputFocus(display, e.window, RevertToParent, time);
        e.widget->SetFocused(true);
    }

    void HandleEntry(XEvent& event) {
        ValueEntryWidget& widget = *entry.widget;
        switch (event.type) {
        case Expose:
            if (event.xexpose.count == 0)
                PresentEntry(true);
            return;
        case FocusIn:
        case FocusOut:
            // Grabs, and the focus the pointer lends, say nothing of who has the keyboard.
            if (event.xfocus.mode == NotifyGrab || event.xfocus.mode == NotifyUngrab ||
                event.xfocus.detail == NotifyPointer)
                return;
            widget.SetFocused(event.type == FocusIn);
            break;
        case ButtonPress:
            if (event.xbutton.button == Button3)
                widget.Cancel();
            else if (event.xbutton.button == Button1 &&
                     widget.Click(event.xbutton.x, event.xbutton.y))
                TakeFocus(event.xbutton.time);
            break;
        case KeyPress:
            if (EntryKey(event.xkey))
                TakeFocus(event.xkey.time);
            break;
        default:
            return;
        }
        PresentEntry(false);
    }

    // Whether the entry took the key.
    bool EntryKey(XKeyEvent& key) {
        using Key = ValueEntryWidget::Key;
        ValueEntryWidget& widget = *entry.widget;
        char typed[8] = {};
        KeySym symbol = NoSymbol;
        const int count = XLookupString(&key, typed, sizeof typed - 1, &symbol, nullptr);
        switch (symbol) {
        case XK_Return:
        case XK_KP_Enter:
            return widget.Press(Key::Commit);
        case XK_Escape:
            return widget.Press(Key::Cancel);
        case XK_Up:
        case XK_KP_Up:
            return widget.Press(Key::Up);
        case XK_Down:
        case XK_KP_Down:
            return widget.Press(Key::Down);
        case XK_BackSpace:
            return widget.Press(Key::Erase);
        default:
            return widget.Type({typed, static_cast<std::size_t>(std::max(count, 0))});
        }
    }

    // Shows the entry's picture when it changed, or always.
    void PresentEntry(bool always) {
        EntryWindow& e = entry;
        if (!e.window || !e.image)
            return;
        if (!e.widget->Draw() && !always)
            return;
        const RAS_IBitmap& picture = e.widget->Picture();
        const int w = picture.PixelWidth();
        const int h = picture.PixelHeight();
        CopyToImage(picture, *e.image, {0, 0, w, h});
        XPutImage(display, e.window, gc, e.image, 0, 0, 0, 0, static_cast<unsigned>(w),
                  static_cast<unsigned>(h));
        XFlush(display);
    }
};

void IGraphicsWindow::PlatformDeleter::operator()(Platform* state) const {
    delete state;
}

bool IGraphicsWindow::PresentRegion(const IRectangle& rect) {
    if (platform)
        platform->Present(ToDevice(rect));
    return true;
}

bool IGraphicsWindow::DrawLabel(const ITextStyle& style, const char* text, const IRectangle& rect) {
    if (!text)
        return true;
    if (!platform)
        platform.reset(new Platform(this));
    TextRenderer* renderer = platform->Text();
    RAS_IBitmap* target = Surface();
    if (!renderer || !target)
        return false;
    ITextStyle scaled = style;
    scaled.size = ToDevice(style.size);
    return renderer->Draw(*target, scaled, text, ToDevice(rect));
}

void IGraphicsWindow::OpenValueEntry(IControl* control, const IParameter* parameter) {
    Platform* p = platform.get();
    if (!control || !parameter || !p || !p->window || p->entry.widget)
        return;
    X11ErrorTrap trap(p->display);
    p->OpenEntry(control, *parameter);
}

void IGraphicsWindow::HostDirectory(char* out) {
    char path[kPathSize] = {};
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    path[std::max<ssize_t>(length, 0)] = '\0';
    DirectoryOf(path, out);
}

void IGraphicsWindow::ModuleDirectory(char* out) {
    Dl_info info{};
    if (module && dladdr(module, &info) != 0)
        DirectoryOf(info.dli_fname, out);
    else
        out[0] = '\0';
}

// Bare Xlib has no file or colour dialogs and we start no browser: these refuse, as
// the Windows ones do when the user cancels.
void IGraphicsWindow::AskForFile(char* out, int, const char*, const char*) {
    out[0] = '\0';
}

bool IGraphicsWindow::AskForColor(IDrawColor*, const char*) {
    return false;
}

bool IGraphicsWindow::OpenLink(const char*, const char*, const char*, const char*) {
    return false;
}

void* IGraphicsWindow::OpenEditorWindow(void* parent) {
    if (!parent)
        return nullptr;
    if (!platform)
        platform.reset(new Platform(this));
    Platform& p = *platform;
    int left = 0;
    int top = 0;
    int w = DeviceWidth();
    int h = DeviceHeight();
    if (p.display) {
        if (p.window) {
            left = p.x;
            top = p.y;
            w = p.width;
            h = p.height;
        }
        CloseEditorWindow();
    }
    if (!p.Open(static_cast<Window>(reinterpret_cast<uintptr_t>(parent)), left, top, w, h))
        return nullptr;
    p.lastTick = Clock::now();
    MarkAllControlsDirty();
    return reinterpret_cast<void*>(static_cast<uintptr_t>(p.window));
}

void IGraphicsWindow::CloseEditorWindow() {
    Platform* p = platform.get();
    if (!p || !p->display)
        return;
    X11ErrorTrap trap(p->display);
    p->Close(trap);
}

void* IGraphicsWindow::WindowHandle() {
    return platform ? reinterpret_cast<void*>(static_cast<uintptr_t>(platform->window)) : nullptr;
}

void IGraphicsWindow::EditorIdle() {
    TakeReadings();
    if (platform && platform->display)
        platform->Idle();
}

int IGraphicsWindow::EventDescriptor() const {
    return platform && platform->display ? ConnectionNumber(platform->display) : -1;
}

void IGraphicsWindow::ResizeWindow(int widthChange, int heightChange) {
    Platform* p = platform.get();
    if (!p || !p->window)
        return;
    // The host's windows are the host's to resize (it hears of the change through the
    // adapter); ours and its image follow the panel.
    X11ErrorTrap trap(p->display);
    p->width = std::max(1, p->width + widthChange);
    p->height = std::max(1, p->height + heightChange);
    XResizeWindow(p->display, p->window, static_cast<unsigned>(p->width),
                  static_cast<unsigned>(p->height));
    HoldSize(p->display, p->window, p->width, p->height);
    p->ReleaseImage();
    p->MakeImage(trap);
    XFlush(p->display);
}

double IGraphicsWindow::SystemScale() {
    const char* resources = nullptr;
    Display* display = XOpenDisplay(nullptr);
    if (display)
        resources = XResourceManagerString(display);
    const double scale =
        DesktopScale(resources, std::getenv("GDK_SCALE"), std::getenv("QT_SCALE_FACTOR"));
    if (display)
        XCloseDisplay(display);
    return scale;
}
