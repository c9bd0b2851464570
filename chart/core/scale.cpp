// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/core/scale.h"

#include "chart/core/ticklabels.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace {

constexpr long double kPixelLimit = 2147483647.0L;
constexpr double kLogFloor = 1e-100;
constexpr int kShortTick = 4;
constexpr int kLongTickHoriz = 7;
constexpr int kLongTickVert = 6;
constexpr int kLabelGapHoriz = 7;
constexpr int kLabelGapVert = 8;
constexpr int kEdgeGap = 2;

int toPixel(long double v) {
    if (std::isnan(v))
        return 0;
    return static_cast<int>(std::lrint(std::clamp(v, -kPixelLimit, kPixelLimit)));
}

// Values of a logarithmic axis: a labelled tick at each power of ten within the range and short
// ticks at 2..9 times it.
TickValues logTickValues(double lo, double hi, bool shortTicks) {
    TickValues out;
    const double a = std::min(lo, hi);
    const double b = std::max(lo, hi);
    if (!(a > 0.0) || !std::isfinite(b))
        return out;
    const int first = static_cast<int>(std::floor(std::log10(a))) - 1;
    const int last = static_cast<int>(std::ceil(std::log10(b)));
    for (int e = first; e <= last; ++e) {
        const double decade = std::pow(10.0, e);
        if (decade >= a * (1 - 1e-12) && decade <= b * (1 + 1e-12))
            out.Labelled.push_back(decade);
        for (int m = 1; shortTicks && m <= 9; ++m) {
            const double v = m * decade;
            if (v >= a * (1 - 1e-12) && v <= b * (1 + 1e-12))
                out.Short.push_back(v);
        }
    }
    if (hi < lo) {
        std::reverse(out.Labelled.begin(), out.Labelled.end());
        std::reverse(out.Short.begin(), out.Short.end());
    }
    return out;
}

// Label of a logarithmic axis tick: the automatic choice goes by the value itself, as the span
// of a logarithmic axis says nothing about the decimals a decade needs.
std::string logLabel(double v, int decPlaces, const std::string& inscript) {
    int p = decPlaces;
    if (p == -2 || p == -3) {
        if (v >= 1e6 || v < 1e-4)
            p = -1;
        else
            p = v >= 1.0 ? 0 : static_cast<int>(std::ceil(-std::log10(v) - 1e-9));
    }
    return TickLabelText(v, 0.0, v, p, inscript);
}

} // namespace

void TScale::SetRangeLow(double value) {
    RangeLow = value;
    if (RangeLow == RangeHigh)
        RangeHigh = RangeLow + 1.0;
}

void TScale::SetRangeHigh(double value) {
    RangeHigh = value;
    if (RangeHigh == RangeLow)
        RangeLow = RangeHigh + 1.0;
}

void TScale::SetDecPlaces(int value) {
    DecPlaces = std::clamp(value, -3, 12);
}

void TScale::SetMinTicks(int value) {
    MinTicks = value == 0 ? 0 : std::clamp(value, 2, 10);
}

int TScale::AxisPosition() const {
    switch (Type) {
    case sctXT:
        return MarginTop;
    case sctXB:
        return Height - MarginBottom - 1;
    case sctYL:
        return MarginLeft;
    case sctYR:
        return Width - MarginRight - 1;
    }
    return 0;
}

int TScale::ValueToPixel(double v) const {
    // Horizontal: low → left margin, high → width − right margin − 1. Vertical: low → height −
    // bottom margin − 1, high → top margin.
    const long double p0 = IsHorizontal() ? MarginLeft : Height - MarginBottom - 1;
    const long double p1 = IsHorizontal() ? Width - MarginRight - 1 : MarginTop;
    long double u = v, ulo = RangeLow, uhi = RangeHigh;
    if (Logarithmic) {
        if (!(RangeLow > 0.0) || !(RangeHigh > 0.0))
            return toPixel(p0);
        if (!(v > kLogFloor))
            return toPixel(p0);
        u = std::log(static_cast<long double>(v));
        ulo = std::log(static_cast<long double>(RangeLow));
        uhi = std::log(static_cast<long double>(RangeHigh));
    }
    if (std::isnan(u) || uhi == ulo)
        return toPixel(p0);
    return toPixel(p0 + (u - ulo) * (p1 - p0) / (uhi - ulo));
}

bool TScale::SameSettings(const TScale& o) const {
    const auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v); };
    return Type == o.Type && Width == o.Width && Height == o.Height && MarginLeft == o.MarginLeft &&
           MarginRight == o.MarginRight && MarginTop == o.MarginTop &&
           MarginBottom == o.MarginBottom && bits(RangeLow) == bits(o.RangeLow) &&
           bits(RangeHigh) == bits(o.RangeHigh) && Visible == o.Visible && Caption == o.Caption &&
           CaptionPosX == o.CaptionPosX && CaptionPosY == o.CaptionPosY &&
           CaptionAlignment == o.CaptionAlignment && CaptionAnchor == o.CaptionAnchor &&
           ColorScale == o.ColorScale && DecPlaces == o.DecPlaces && Logarithmic == o.Logarithmic &&
           LabelType == o.LabelType && ShortTicks == o.ShortTicks && MinTicks == o.MinTicks &&
           ScaleInscript == o.ScaleInscript && UserTickText == o.UserTickText && Font == o.Font &&
           DateFormat == o.DateFormat;
}

AxisDrawing TScale::Layout(const TextMeasure& measure) {
    ++m_layoutCount;
    AxisDrawing out;
    if (!Visible)
        return out;
    out.Visible = true;
    out.Color = ColorScale;
    out.Font = Font;
    m_ticks.Reset();

    const bool horiz = IsHorizontal();
    const int a = AxisPosition();
    const int outward = (Type == sctXT || Type == sctYL) ? 1 : -1;
    const auto tick = [&](double v, int length) {
        const int p = ValueToPixel(v);
        const int end = a + outward * (length - 1);
        return horiz ? AxisSegment{p, a, p, end} : AxisSegment{a, p, end, p};
    };

    TickValues values;
    if (Logarithmic) {
        values = logTickValues(RangeLow, RangeHigh, ShortTicks);
    } else {
        values = GenerateTickValues(ComputeTickInterval(MinTicks, RangeLow, RangeHigh), RangeLow,
                                    RangeHigh, ShortTicks);
    }

    for (double v : values.Short) {
        out.Ticks.push_back(tick(v, kShortTick));
        m_ticks.Append(v);
    }
    const int zeroHeight = horiz ? 0 : measure.TextHeight(Font, "0");
    for (double v : values.Labelled) {
        out.Ticks.push_back(tick(v, horiz ? kLongTickHoriz : kLongTickVert));
        if (!ShortTicks)
            m_ticks.Append(v);
        if (LabelType == ftNoFigs)
            continue;
        const std::string text =
            Logarithmic ? logLabel(v, DecPlaces, ScaleInscript)
                        : TickLabelText(v, RangeLow, RangeHigh, DecPlaces, ScaleInscript);
        if (text.empty())
            continue;
        const int w = measure.TextWidth(Font, text);
        const int p = ValueToPixel(v);
        AxisText label{text, 0, 0};
        if (horiz) {
            label.X = std::max(p - w / 2, kEdgeGap);
            if (p + w / 2 >= Width - kEdgeGap)
                label.X = Width - kEdgeGap - w;
            label.Y = Type == sctXT ? a + kLabelGapHoriz
                                    : a - measure.TextHeight(Font, text) - kLabelGapHoriz;
        } else {
            label.Y = p - zeroHeight / 2;
            label.X = Type == sctYR ? a - kLabelGapVert - w : a + kLabelGapVert;
        }
        out.Labels.push_back(std::move(label));
    }

    if (horiz)
        out.AxisLine = {MarginLeft, a, Width - MarginRight - 1, a};
    else
        out.AxisLine = {a, MarginTop, a, Height - MarginBottom - 1};

    if (!Caption.empty()) {
        const int w = measure.TextWidth(Font, Caption);
        int x = 0, y = 0;
        if (horiz) {
            const int right = Width - MarginRight - 1;
            x = CaptionAnchor == uaSclTopLft   ? MarginLeft
                : CaptionAnchor == uaSclCenter ? MarginLeft + (right - MarginLeft) / 2
                                               : Width - MarginRight;
            y = a;
        } else {
            const int bottom = Height - MarginBottom - 1;
            y = CaptionAnchor == uaSclTopLft   ? MarginTop
                : CaptionAnchor == uaSclCenter ? MarginTop + (bottom - MarginTop) / 2
                                               : Height - MarginBottom;
            x = a;
        }
        x += CaptionPosX;
        y += CaptionPosY;
        if (CaptionAlignment == taRightJustify)
            x -= w;
        else if (CaptionAlignment == taCenter)
            x -= w / 2;
        out.Caption = AxisText{Caption, x, y};
    }
    return out;
}
