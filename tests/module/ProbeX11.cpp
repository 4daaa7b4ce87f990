// The window-system calls the editor makes, defined in the test program: the module's calls
// bind to these (the program exports them), which report to the lock probe and go on to
// Xlib's own. Calls made outside an editor open, idle or close pass straight through.
#include "LockProbe.h"

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>
#include <dlfcn.h>

namespace {

template <class Function> Function Real(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

void Report(const char* what) {
    LockProbe* probe = LockProbe::Active();
    if (probe && LockProbe::inEditor && !LockProbe::probing)
        probe->Check(LockProbe::editorPhase, 0, what);
}

} // namespace

extern "C" {

Display* XOpenDisplay(const char* name) {
    static const auto real = Real<Display* (*)(const char*)>("XOpenDisplay");
    Report("XOpenDisplay");
    return real(name);
}

int XCloseDisplay(Display* display) {
    static const auto real = Real<int (*)(Display*)>("XCloseDisplay");
    Report("XCloseDisplay");
    return real(display);
}

Window XCreateWindow(Display* display, Window parent, int x, int y, unsigned width, unsigned height,
                     unsigned border, int depth, unsigned kind, Visual* visual, unsigned long mask,
                     XSetWindowAttributes* attributes) {
    static const auto real =
        Real<Window (*)(Display*, Window, int, int, unsigned, unsigned, unsigned, int, unsigned,
                        Visual*, unsigned long, XSetWindowAttributes*)>("XCreateWindow");
    Report("XCreateWindow");
    return real(display, parent, x, y, width, height, border, depth, kind, visual, mask,
                attributes);
}

int XMapWindow(Display* display, Window window) {
    static const auto real = Real<int (*)(Display*, Window)>("XMapWindow");
    Report("XMapWindow");
    return real(display, window);
}

int XDestroyWindow(Display* display, Window window) {
    static const auto real = Real<int (*)(Display*, Window)>("XDestroyWindow");
    Report("XDestroyWindow");
    return real(display, window);
}

int XFlush(Display* display) {
    static const auto real = Real<int (*)(Display*)>("XFlush");
    Report("XFlush");
    return real(display);
}

int XSync(Display* display, Bool discard) {
    static const auto real = Real<int (*)(Display*, Bool)>("XSync");
    Report("XSync");
    return real(display, discard);
}

int XPending(Display* display) {
    static const auto real = Real<int (*)(Display*)>("XPending");
    Report("XPending");
    return real(display);
}

int XNextEvent(Display* display, XEvent* event) {
    static const auto real = Real<int (*)(Display*, XEvent*)>("XNextEvent");
    Report("XNextEvent");
    return real(display, event);
}

int XPutImage(Display* display, Drawable drawable, GC gc, XImage* image, int sourceX, int sourceY,
              int x, int y, unsigned width, unsigned height) {
    static const auto real =
        Real<int (*)(Display*, Drawable, GC, XImage*, int, int, int, int, unsigned, unsigned)>(
            "XPutImage");
    Report("XPutImage");
    return real(display, drawable, gc, image, sourceX, sourceY, x, y, width, height);
}

Bool XShmPutImage(Display* display, Drawable drawable, GC gc, XImage* image, int sourceX,
                  int sourceY, int x, int y, unsigned width, unsigned height, Bool completion) {
    static const auto real = Real<Bool (*)(Display*, Drawable, GC, XImage*, int, int, int, int,
                                           unsigned, unsigned, Bool)>("XShmPutImage");
    Report("XShmPutImage");
    return real(display, drawable, gc, image, sourceX, sourceY, x, y, width, height, completion);
}

} // extern "C"
