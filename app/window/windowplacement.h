// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Placement of the program's windows on the screen.

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QShowEvent;
class QWidget;

// On the first non-spontaneous show of `window`, centres it over its parent (the main window)
// and sets `placed`; later shows leave it where the user put it.
void CentreOverParentOnFirstShow(QWidget& window, bool& placed, const QShowEvent* event);

// Shows `window` and brings it to the front, restoring it first when it is minimised (a
// maximised window stays maximised).
void ShowAndBringToFront(QWidget& window);

// Where a window opens: the top-left corner of its frame and the size of its client area.
struct WindowPlacement {
    QPoint framePosition;
    QSize clientSize;
    friend bool operator==(const WindowPlacement&, const WindowPlacement&) = default;
};

// A window whose client area is `client`, with `frame` around it (caption and borders), wants
// its frame's top-left corner at `wanted`. The result keeps both when the whole frame lies in
// `available` (a screen's area without panels). Otherwise the frame moves the shortest way into
// `available`; where the client area is too large even so, it shrinks to what fits, but not
// below `smallest` (what its controls need); a frame still too large then starts at the top-left
// corner of `available`, so that the caption stays within reach.
WindowPlacement FitIntoArea(const QRect& available, QPoint wanted, QSize client, QSize smallest,
                            const QMargins& frame);

// Opens the top-level `window` by FitIntoArea on the screen that holds `wanted` (the primary
// screen when none does): moves it, resizes its client area and makes that size its minimum, so
// that the user cannot shrink it below the size it opened at. Call it before the window is
// shown. Until a window manager has framed the window its frame is unknown; a usual desktop
// frame is assumed then on X11 and Wayland, none elsewhere.
void PlaceOnScreen(QWidget& window, QPoint wanted, QSize client, QSize smallest);
