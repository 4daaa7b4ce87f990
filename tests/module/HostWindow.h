#pragma once

// Include it after gtest: Xlib's None and Bool macros break gtest's headers.
#include <X11/Xlib.h>

#include <cstdint>

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
        XEvent press{};
        press.xbutton.type = ButtonPress;
        press.xbutton.send_event = True;
        press.xbutton.display = display;
        press.xbutton.window = editor;
        press.xbutton.time = time;
        press.xbutton.x = x;
        press.xbutton.y = y;
        press.xbutton.button = Button1;
        press.xbutton.same_screen = True;
        XEvent motion{};
        motion.xmotion.type = MotionNotify;
        motion.xmotion.send_event = True;
        motion.xmotion.display = display;
        motion.xmotion.window = editor;
        motion.xmotion.time = time + 1;
        motion.xmotion.x = toX;
        motion.xmotion.y = toY;
        motion.xmotion.state = Button1Mask;
        motion.xmotion.same_screen = True;
        XEvent release = press;
        release.xbutton.type = ButtonRelease;
        release.xbutton.time = time + 2;
        release.xbutton.x = toX;
        release.xbutton.y = toY;
        release.xbutton.state = Button1Mask;
        for (XEvent* event : {&press, &motion, &release})
            XSendEvent(display, editor, False, 0, event);
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
