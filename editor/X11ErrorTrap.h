#pragma once

#include <X11/Xlib.h>

#include <bitset>

// Xlib hands protocol errors to one process-wide handler whose default ends the process;
// a host that destroys its window before effEditClose must not go down with us. While
// any trap lives, our handler is installed: it records the errors of each live trap's
// connection in that trap and passes the others on to the handler it replaced.
//
// Editors on several threads trap at once and their traps end in any order. The traps'
// bookkeeping has a lock of its own, never held while a handler of someone else's runs.
// When the last trap ends, the replaced handler comes back only if ours is still the one
// installed: a host that set its own meanwhile keeps it.
class X11ErrorTrap {
public:
    // Thread that uses the connection.
    explicit X11ErrorTrap(Display* connection);
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

    bool Failed() const;
    // Whether a request of this major opcode failed.
    bool Failed(int majorOpcode) const;
    void Clear();

private:
    static int Record(Display* connection, XErrorEvent* error);

    Display* display;
    X11ErrorTrap* next = nullptr;
    std::bitset<256> failed;
};
