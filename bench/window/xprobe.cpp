// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/window/xprobe.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <chrono>
#include <poll.h>

namespace {

Display* dpy(void* display) {
    return static_cast<Display*>(display);
}

} // namespace

XProbe::XProbe(unsigned long window) : m_window(window) {
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr) {
        throw std::runtime_error("cannot open the X display");
    }
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(d, &event, &error, &major, &minor)) {
        XCloseDisplay(d);
        throw std::runtime_error("the X server has no XTEST extension");
    }
    m_display = d;
    // Popup menus are override-redirect children of the root window.
    XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
    XSync(d, False);
}

XProbe::~XProbe() {
    XCloseDisplay(dpy(m_display));
}

void XProbe::toRoot(int& x, int& y) {
    Display* d = dpy(m_display);
    Window child = 0;
    int rx = 0, ry = 0;
    XTranslateCoordinates(d, m_window, DefaultRootWindow(d), x, y, &rx, &ry, &child);
    x = rx;
    y = ry;
}

void XProbe::moveTo(int x, int y) {
    toRoot(x, y);
    XTestFakeMotionEvent(dpy(m_display), -1, x, y, CurrentTime);
    XSync(dpy(m_display), False);
}

void XProbe::click(int x, int y) {
    Display* d = dpy(m_display);
    toRoot(x, y);
    XTestFakeMotionEvent(d, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
    XSync(d, False);
}

void XProbe::key(const std::string& keysymName) {
    Display* d = dpy(m_display);
    const KeyCode code = XKeysymToKeycode(d, XStringToKeysym(keysymName.c_str()));
    XTestFakeKeyEvent(d, code, True, CurrentTime);
    XTestFakeKeyEvent(d, code, False, CurrentTime);
    XSync(d, False);
}

void XProbe::discardEvents() {
    XSync(dpy(m_display), True);
}

bool XProbe::waitForMapping(bool mapped, int timeoutMs) {
    Display* d = dpy(m_display);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        while (XPending(d) > 0) {
            XEvent e;
            XNextEvent(d, &e);
            if ((mapped && e.type == MapNotify) || (!mapped && e.type == UnmapNotify)) {
                return true;
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            return false;
        }
        pollfd p{ConnectionNumber(d), POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(left));
    }
}

std::vector<std::uint32_t> XProbe::grab(int x, int y, int width, int height) {
    Display* d = dpy(m_display);
    std::vector<std::uint32_t> pixels;
    XImage* image = XGetImage(d, m_window, x, y, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr) {
        return pixels;
    }
    pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int row = 0; row < height; ++row) {
        for (int col = 0; col < width; ++col) {
            pixels.push_back(static_cast<std::uint32_t>(XGetPixel(image, col, row)));
        }
    }
    XDestroyImage(image);
    return pixels;
}
