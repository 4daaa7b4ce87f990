#pragma once

// What a plug-in's editor tests play host with: a mapped 640x480 window on the tests' own
// X server, the windows embedded in it, and the colours a window shows.

#include "XvfbServer.h"

#include <gtest/gtest.h>
// After GoogleTest: Xlib defines None as a macro.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

// The colour bytes of a window, row by row.
inline std::vector<uint32_t> WindowPixels(Display* dpy, Window source, int width, int height) {
    std::vector<uint32_t> pixels;
    XImage* image = XGetImage(dpy, source, 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), ~0UL, ZPixmap);
    for (int y = 0; image && y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(static_cast<uint32_t>(XGetPixel(image, x, y) & 0xFFFFFF));
    if (image)
        XDestroyImage(image);
    return pixels;
}

class X11HostWindowTest : public ::testing::Test {
protected:
    explicit X11HostWindowTest(unsigned long hostBackground = 0) : background(hostBackground) {}

    void SetUp() override {
        const std::string& name = XvfbServer::Name(true);
        setenv("DISPLAY", name.c_str(), 1);
        dpy = XOpenDisplay(name.c_str());
        ASSERT_NE(dpy, nullptr);
        hostWindow =
            XCreateSimpleWindow(dpy, XDefaultRootWindow(dpy), 0, 0, 640, 480, 0, 0, background);
        XMapWindow(dpy, hostWindow);
        XSync(dpy, False);
    }
    void TearDown() override { XCloseDisplay(dpy); }

    std::vector<Window> Children() const {
        Window root = 0, up = 0, *children = nullptr;
        unsigned count = 0;
        std::vector<Window> result;
        if (XQueryTree(dpy, hostWindow, &root, &up, &children, &count) && children)
            result.assign(children, children + count);
        if (children)
            XFree(children);
        return result;
    }
    std::vector<uint32_t> Pixels(Window source, int width, int height) const {
        return WindowPixels(dpy, source, width, height);
    }

    Display* dpy = nullptr;
    Window hostWindow = 0;

private:
    unsigned long background;
};
