// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Input and observation for the window benchmark through a connection of its own to the X
// server: clicks and keys through the XTEST extension (no helper process whose start-up would
// count as latency), the mapping of top-level windows (a popup menu appearing) and the pixels of
// a rectangle (a check box changing). Keeps the X headers out of the benchmark's Qt code.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

class XProbe {
public:
    // Opens a connection to $DISPLAY for the top-level window with the given id; throws
    // std::runtime_error when the server or its XTEST extension is missing.
    explicit XProbe(unsigned long window);
    ~XProbe();
    XProbe(const XProbe&) = delete;
    XProbe& operator=(const XProbe&) = delete;

    // Moves the pointer to (x, y) of the window.
    void moveTo(int x, int y);
    // Presses and releases the left button at (x, y) of the window; returns when the server has
    // the request.
    void click(int x, int y);
    // Presses and releases the key of an X keysym name ("Escape").
    void key(const std::string& keysymName);
    // Forgets the window events that arrived so far.
    void discardEvents();
    // Waits until a top-level window is mapped (true) or unmapped (false); false when timeoutMs
    // passes first.
    bool waitForMapping(bool mapped, int timeoutMs);
    // The pixels of a rectangle of the window.
    std::vector<std::uint32_t> grab(int x, int y, int width, int height);

private:
    void toRoot(int& x, int& y);

    void* m_display = nullptr;
    unsigned long m_window = 0;
};
