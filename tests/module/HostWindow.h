#pragma once

// Include it after gtest: Xlib's None and Bool macros break gtest's headers.
#include <X11/Xlib.h>

#include <cstdint>
#include <tuple>

// A top-level window on a connection of the test's own, for the editor to open in.
class HostWindow {
public:
    HostWindow() : display(XOpenDisplay(nullptr)) {
        if (!display)
            return;
        const int screen = XDefaultScreen(display);
        window =
            XCreateSimpleWindow(display, XRootWindow(display, screen), 0, 0, 640, 480, 0, 0, 0);
        XMapWindow(display, window);
        XSync(display, False);
    }
    ~HostWindow() {
        if (!display)
            return;
        XDestroyWindow(display, window);
        XCloseDisplay(display);
    }
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    bool Usable() const { return display != nullptr; }
    void* Handle() const { return reinterpret_cast<void*>(static_cast<uintptr_t>(window)); }

    // Drags with the left button inside the editor's window, as a user's pointer would: the
    // events go to the connection that made the window, the editor's own.
    bool DragInEditor(int x, int y, int toX, int toY) {
        Window editor = EditorWindow();
        if (!editor)
            return false;
        // Far apart in time, so that no two presses make a double click.
        time += 10000;
        Time at = time;
        const unsigned held = Button1Mask;
        for (const auto& [type, atX, atY, state] :
             {std::tuple{ButtonPress, x, y, 0u}, std::tuple{MotionNotify, toX, toY, held},
              std::tuple{ButtonRelease, toX, toY, held}}) {
            // A motion event's fields lie as a button event's up to the button.
            XEvent event{};
            XButtonEvent& e = event.xbutton;
            e.type = type;
            e.send_event = True;
            e.display = display;
            e.window = editor;
            e.time = at++;
            e.x = atX;
            e.y = atY;
            e.state = state;
            e.button = type == MotionNotify ? 0u : Button1;
            e.same_screen = True;
            XSendEvent(display, editor, False, 0, &event);
        }
        XSync(display, False);
        return true;
    }

private:
    Window EditorWindow() {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, window, &root, &parent, &children, &count))
            return 0;
        const Window found = count > 0 ? children[0] : 0;
        if (children)
            XFree(children);
        return found;
    }

    Display* display;
    Window window = 0;
    Time time = 0;
};
