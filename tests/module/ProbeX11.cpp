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
    if (probe && LockProbe::phase != ProbeSite::HostCall &&
        LockProbe::phase != ProbeSite::Allocation)
        probe->Check(LockProbe::phase, 0, what);
}

} // namespace

// Each reports, then goes on to Xlib's function of its name.
#define QUELOR_PROBED(Result, name, parameters, arguments)                                         \
    extern "C" Result name parameters {                                                            \
        static const auto real = Real<Result(*) parameters>(#name);                                \
        Report(#name);                                                                             \
        return real arguments;                                                                     \
    }

QUELOR_PROBED(Display*, XOpenDisplay, (const char* server), (server))
QUELOR_PROBED(int, XCloseDisplay, (Display * display), (display))
QUELOR_PROBED(Window, XCreateWindow,
              (Display * display, Window parent, int x, int y, unsigned width, unsigned height,
               unsigned border, int depth, unsigned kind, Visual* visual, unsigned long mask,
               XSetWindowAttributes* attributes),
              (display, parent, x, y, width, height, border, depth, kind, visual, mask, attributes))
QUELOR_PROBED(int, XMapWindow, (Display * display, Window window), (display, window))
QUELOR_PROBED(int, XDestroyWindow, (Display * display, Window window), (display, window))
QUELOR_PROBED(int, XFlush, (Display * display), (display))
QUELOR_PROBED(int, XSync, (Display * display, Bool discard), (display, discard))
QUELOR_PROBED(int, XPending, (Display * display), (display))
QUELOR_PROBED(int, XNextEvent, (Display * display, XEvent* event), (display, event))
QUELOR_PROBED(int, XPutImage,
              (Display * display, Drawable drawable, GC gc, XImage* image, int sourceX, int sourceY,
               int x, int y, unsigned width, unsigned height),
              (display, drawable, gc, image, sourceX, sourceY, x, y, width, height))
QUELOR_PROBED(Bool, XShmPutImage,
              (Display * display, Drawable drawable, GC gc, XImage* image, int sourceX, int sourceY,
               int x, int y, unsigned width, unsigned height, Bool completion),
              (display, drawable, gc, image, sourceX, sourceY, x, y, width, height, completion))
