// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The axis painter of one axis: a copy of the axis settings taken by ApplyScaleProps, the
// painter's own margins and size, and the tick list of its last painting.

#include "chart/core/axisdrawing.h"
#include "chart/core/scaleprops.h"
#include "chart/core/ticks.h"

#include <cstdint>
#include <string>

class TScale {
public:
    // Settings copied from a TScaleProps (clamped where the painter clamps).
    TScaleType Type = sctXT;
    int Width = 0, Height = 0;
    int MarginLeft = 0, MarginRight = 0, MarginTop = 0, MarginBottom = 0;
    double RangeLow = 0.0, RangeHigh = 1.0;
    bool Visible = false;
    std::string Caption;
    int CaptionPosX = 0, CaptionPosY = 0;
    TAlignment CaptionAlignment = taCenter;
    TScaleUnitAnchor CaptionAnchor = uaSclTopLft;
    TColor ColorScale = 0;
    int DecPlaces = -2; // −3..12
    bool Logarithmic = false;
    TFigType LabelType = ftNum;
    bool ShortTicks = true;
    int MinTicks = 3; // 0 or 2..10
    std::string ScaleInscript;
    std::string UserTickText;
    TChartFont Font;
    std::string DateFormat;

    bool IsHorizontal() const { return Type == sctXB || Type == sctXT; }
    // Range setters that never leave an empty range: low = high makes high := low + 1, and
    // high = low makes low := high + 1.
    void SetRangeLow(double value);
    void SetRangeHigh(double value);
    // Clamping setters: DecPlaces to −3..12; MinTicks 0 stays 0, others to 2..10.
    void SetDecPlaces(int value);
    void SetMinTicks(int value);

    // Pixel position of the axis line (y for horizontal, x for vertical axes).
    int AxisPosition() const;
    // Pixel of data value v along the axis (the plot edges for low and high), clamped to
    // ±2147483647; NaN gives the low end.
    int ValueToPixel(double v) const;

    // Lays the axis out for drawing and refreshes the tick list, as painting the axis does. An
    // invisible axis returns Visible = false and keeps its previous tick list.
    AxisDrawing Layout(const TextMeasure& measure);
    const TickList& Ticks() const { return m_ticks; }
    // Counts Layout calls: a caller that keeps a layout knows whether the tick list is still
    // the one that layout made.
    std::uint64_t LayoutCount() const { return m_layoutCount; }
    // Whether every setting above is the same as `other`'s (floating point values bit for bit):
    // then Layout with the same text measure gives the same drawing and tick list.
    bool SameSettings(const TScale& other) const;

private:
    TickList m_ticks;
    std::uint64_t m_layoutCount = 0;
};
