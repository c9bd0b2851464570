// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Everything needed to draw one axis, as plain data in chart pixel coordinates, so that the
// renderer's drawing is a dumb loop: pen ColorScale solid width 1 for Ticks and AxisLine, the
// axis font (with its colour) and a transparent background for Labels and Caption.

#include "chart/core/chartfont.h"
#include "chart/core/tcolor.h"

#include <optional>
#include <string>
#include <vector>

// Text extents in the renderer's real font metrics; tests supply fakes.
class TextMeasure {
public:
    virtual ~TextMeasure() = default;
    virtual int TextWidth(const TChartFont& font, const std::string& text) const = 0;
    virtual int TextHeight(const TChartFont& font, const std::string& text) const = 0;
};

// A line covering every pixel from (X1, Y1) to (X2, Y2), both ends included: a 7-pixel tick
// from the axis line at y = A runs to A + 6.
struct AxisSegment {
    int X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
    bool operator==(const AxisSegment&) const = default;
};

struct AxisText {
    std::string Text;
    int X = 0, Y = 0; // top-left corner of the text
    bool operator==(const AxisText&) const = default;
};

struct AxisDrawing {
    bool Visible = false; // an invisible axis draws nothing
    TColor Color = 0;     // pen of ticks and axis line
    TChartFont Font;      // labels and caption
    // Ticks in drawing order: short ticks first, then the labelled ticks.
    std::vector<AxisSegment> Ticks;
    std::vector<AxisText> Labels;
    AxisSegment AxisLine;            // drawn after the ticks
    std::optional<AxisText> Caption; // only for a non-empty caption
};
