// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Range arithmetic of the chart's mouse interactions: pan, zoom-drag and the rubber-band
// rectangle, as plain functions of numbers. No chart state, no Qt.
//
// Every function guards against what a loaded file or a tiny window can produce: a plot area
// without width or height, non-finite ranges, logarithms of non-positive bounds. Where the
// arithmetic cannot give a finite result, it reports "no change" (std::nullopt or the
// unchanged input) instead of handing NaN or infinity on to the axes.

#include <cstdint>
#include <optional>

// The chart's mouse modes, with the numbers the chart property carries.
enum TMouseActMode : std::uint8_t {
    maNone = 0,
    maPan = 1,
    maPanHoriz = 2,
    maPanVert = 3,
    maRubberBand = 4,
    maZoom = 5,
    maZoomWind = 6,
    maZoomWindPos = 7,
    maZoomDrag = 8,
    maDragCrossH = 9,
    maDragLabel = 10,
    maRotate = 11,
    maRotAndZoom = 12,
    maRotXOnly = 13,
    maRotZOnly = 14,
};

// Modes in which a left-button move drives a drag (DragActive / DragStart bookkeeping).
bool IsDragMode(TMouseActMode mode);
// Modes that pan or zoom-drag the ranges of the mouse-controlled layers.
bool IsPanZoomMode(TMouseActMode mode);
// Modes that draw a rubber-band rectangle.
bool IsRubberBandMode(TMouseActMode mode);

// One axis range: the value at the start (low end) and at the end (high end) of the axis.
// Low may exceed high (a reversed axis).
struct AxisSpan {
    double Low = 0.0;
    double High = 1.0;
    bool operator==(const AxisSpan&) const = default;
};

// Pointer position and ranges of one layer taken when a drag began.
struct TDragStart {
    int X0 = 0;
    int Y0 = 0;
    double XLow0 = 0.0;
    double XHigh0 = 0.0;
    double YLow0 = 0.0;
    double YHigh0 = 0.0;
};

// The control's plot-area geometry in pixels.
struct PlotGeometry {
    int Width = 0; // the whole control
    int Height = 0;
    int MarginLeft = 0;
    int MarginRight = 0;
    int MarginTop = 0;
    int MarginBottom = 0;
    int ShadowWidth = 0;

    int PlotWidth() const { return Width - MarginLeft - MarginRight - ShadowWidth; }
    int PlotHeight() const { return Height - MarginTop - MarginBottom - ShadowWidth; }
    int PlotRight() const { return Width - MarginRight - ShadowWidth; }
    int PlotBottom() const { return Height - MarginBottom - ShadowWidth; }
    // Inside the plot area, edges included.
    bool Contains(int x, int y) const {
        return x >= MarginLeft && x <= PlotRight() && y >= MarginTop && y <= PlotBottom();
    }
    // Whether mouse arithmetic may divide by the plot size.
    bool HasArea() const { return PlotWidth() > 0 && PlotHeight() > 0; }
};

// New X range of a pan. start: the range when the drag began; current: the range now;
// pointer and start0: the pointer's X now and at the drag start. Dragging right shows
// smaller values. Returns nullopt when the plot has no width or the result is not finite.
std::optional<AxisSpan> PanX(AxisSpan start, AxisSpan current, bool logarithmic, int pointer,
                             int start0, int plotWidth);
// New Y range of a pan; dragging down shows larger values.
std::optional<AxisSpan> PanY(AxisSpan start, AxisSpan current, bool logarithmic, int pointer,
                             int start0, int plotHeight);

// Zoom-drag factors from the pointer offset to the drag start, measured against the whole
// control (not the plot area). Right and up narrow the ranges (factor below 1).
double ZoomFactorX(int pointer, int start0, int controlWidth);
double ZoomFactorY(int pointer, int start0, int controlHeight);
// The start range scaled by factor about its centre; nullopt when not finite.
std::optional<AxisSpan> ZoomAboutCentre(AxisSpan start, double factor);

// Rubber-band corners: orders d1, d2 so that they run like an axis whose range runs
// axisLow..axisHigh (ascending axis → d1 ≤ d2, descending axis → d1 ≥ d2).
void OrderLikeAxis(double& d1, double& d2, double axisLow, double axisHigh);

// Makes a rubber-band data rectangle square on screen: Y is re-centred with a half height
// derived from the X extent, the plot size and the device pixel aspect (aspectY / aspectX).
void MakeIsometric(double dx1, double dx2, double& dy1, double& dy2, int plotWidth, int plotHeight,
                   double aspectY, double aspectX);

// The current corner of a rubber band for a pointer at (x, y) whose press corner is
// (x1, y1): clamped into the plot area, made square on screen when isometric is on.
struct PixelPoint {
    int X = 0;
    int Y = 0;
    bool operator==(const PixelPoint&) const = default;
};
PixelPoint RubberBandCorner(const PlotGeometry& geometry, int x1, int y1, int x, int y,
                            bool isometric);
