// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Title bars without buttons on X11 window managers.
//
// Qt's window flags can leave out the close, minimise and maximise functions, and window managers
// then draw no such buttons, but Qt leaves the decorations to the window manager's defaults, and
// several draw their window-menu button there. The Motif hints the window managers read can say
// both: this window is moved, nothing else, and shows a frame and a caption, nothing else.

#include <array>
#include <cstdint>

class QWidget;

// The words of the _MOTIF_WM_HINTS property for such a window, in their order: flags (functions
// and decorations given), functions, decorations, input mode, status.
std::array<std::uint32_t, 5> MotifHintsWithoutButtons();

// Sets those hints on `window`'s native window when the program runs on X11; does nothing on
// other platforms. Call it before the window is first mapped (from its show event).
void RequestTitleBarWithoutButtons(QWidget& window);
