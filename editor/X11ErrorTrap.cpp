#include "X11ErrorTrap.h"

#include <mutex>

namespace {
// The live traps, newest first, and the handler ours replaced: guarded by the mutex.
std::mutex gMutex;
X11ErrorTrap* gTraps = nullptr;
XErrorHandler gReplaced = nullptr;

// Set while this thread runs the replaced handler. A handler installed over ours passes
// what it does not want to the one it replaced, which is ours: that error came back
// round and goes no further.
thread_local bool tPassingOn = false;
} // namespace

X11ErrorTrap::X11ErrorTrap(Display* connection) : display(connection) {
    std::lock_guard lock(gMutex);
    if (!gTraps)
        gReplaced = XSetErrorHandler(&Record);
    next = gTraps;
    gTraps = this;
}

X11ErrorTrap::~X11ErrorTrap() {
    std::lock_guard lock(gMutex);
    X11ErrorTrap** link = &gTraps;
    while (*link != this)
        link = &(*link)->next;
    *link = next;
    if (gTraps)
        return;
    // Xlib can only swap handlers, so the one in place is known by putting the old one
    // back; when it was not ours, it goes back at once.
    const XErrorHandler installed = XSetErrorHandler(gReplaced);
    if (installed != &Record)
        XSetErrorHandler(installed);
}

bool X11ErrorTrap::Failed() const {
    std::lock_guard lock(gMutex);
    return failed.any();
}

bool X11ErrorTrap::Failed(int majorOpcode) const {
    if (majorOpcode < 0 || majorOpcode >= 256)
        return false;
    std::lock_guard lock(gMutex);
    return failed.test(static_cast<std::size_t>(majorOpcode));
}

void X11ErrorTrap::Clear() {
    std::lock_guard lock(gMutex);
    failed.reset();
}

int X11ErrorTrap::Record(Display* connection, XErrorEvent* error) {
    XErrorHandler passOn = nullptr;
    {
        std::lock_guard lock(gMutex);
        for (X11ErrorTrap* trap = gTraps; trap; trap = trap->next) {
            if (trap->display == connection) {
                trap->failed.set(error->request_code);
                return 0;
            }
        }
        passOn = gReplaced;
    }
    if (!passOn || tPassingOn)
        return 0;
    tPassingOn = true;
    const int result = passOn(connection, error);
    tPassingOn = false;
    return result;
}
