// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The screen cursor the chart chooses at the end of every mouse move, and its four own cursor
// images. The choice is application-wide (an override cursor), not the widget's own cursor:
// with MouseCursorFixed the chart never overrides, so the widget's cursor is what the user sees.

#include "chart/core/mouserange.h"

#include <QCursor>

enum class TChartCursor {
    Unchanged,   // leave the screen cursor as it is
    Default,     // no override: the widget's own cursor shows
    Crosshair,   // maNone
    Hand,        // custom cursor 1, "CURHAND": the pan modes
    ZoomWind,    // custom cursor 2, "CURZOOMW": maZoomWind
    ZoomDrag,    // custom cursor 3, "CURZOOMD": maZoomDrag
    ZoomWindPos, // custom cursor 4, "CURZOOMP": maZoomWindPos
};

// The cursor a move asks for in a mode, with the pointer inside or outside the plot area.
TChartCursor CursorForMove(TMouseActMode mode, bool cursorFixed, bool inPlot);

// The chart's custom cursors by their numbers 1..4 (any other number gives the arrow). Needs a
// running QGuiApplication.
QCursor ChartCustomCursor(int number);

// The application-wide cursor as the chart sets it. Only the override this object pushed is
// ever changed or removed; it is removed on Set(Default), on Reset and on destruction.
class ScreenCursor {
public:
    ScreenCursor() = default;
    ~ScreenCursor();
    ScreenCursor(const ScreenCursor&) = delete;
    ScreenCursor& operator=(const ScreenCursor&) = delete;

    void Set(TChartCursor cursor);
    void Reset() { Set(TChartCursor::Default); }
    // The cursor last set (Default when no override is held).
    TChartCursor Current() const { return m_current; }

private:
    bool m_pushed = false;
    TChartCursor m_current = TChartCursor::Default;
};
