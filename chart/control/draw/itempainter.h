// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Replays the chart's item list onto a canvas: the grid at the active layer's ticks, the items in
// order with pen-state comparisons and the 200-point polyline buffer, and the plot outline.

#include "chart/control/draw/canvas.h"
#include "chart/core/chartlayers.h"

#include <QPoint>
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <span>

class PlotChartCore;

class ItemPainter {
public:
    static constexpr int kPolylinePoints = 200;
    static constexpr int kPixelLimit = 30000;
    static constexpr int kMaxGridPositions = 1000;

    // Where a pass over the items stands between two items: the pen and brush the item steps
    // compare against and the polyline points not yet drawn. A pass that stops after item i and
    // resumes from this state on another canvas issues exactly the drawing calls of an unbroken
    // pass, so an image can be extended by new items alone.
    struct State {
        TColor PenColor = 0;
        TPenStyle PenStyle = psSolid;
        int PenWidth = 1;
        TColor BrushColor = 0;
        QPoint PenPos;
        QPoint Start;
        int Count = 0;
        std::array<QPoint, kPolylinePoints> Points{};
    };

    // The plot area's top-left corner lies at (dx, dy) of the canvas.
    ItemPainter(const PlotChartCore& chart, Canvas& canvas, int dx, int dy, bool monochrome);

    // Everything PaintItems draws: grid (when withGrid), items, plot outline. The same as
    // DrawGrid (when withGrid), BeginItems, DrawItems(all), FinishItems, DrawOutline.
    void Paint(bool withGrid);

    void DrawGrid();
    // Starts a pass: the initial pen state, set on the canvas.
    void BeginItems();
    // Continues a pass from `state`, whose pen and brush are set on the canvas.
    void ResumeItems(const State& state);
    // Draws the items as the next ones of the pass (the polyline tail may stay pending).
    void DrawItems(std::span<const ChartItem> items);
    // Draws the pending polyline and sets the pen width back to 1.
    void FinishItems();
    void DrawOutline();
    const State& CurrentState() const { return m_state; }

private:
    // One item whose start (and, for a line, end when hasEnd) are converted already.
    void drawItem(const ChartItem& item, QPoint p, bool hasEnd, QPoint p2);
    void flush();
    void append(QPoint p);
    void applyPen();
    void setPenIfDifferent(TColor color, TPenStyle style, TColor brush);
    // The canvas pixel of a data point of a layer; false for NaN coordinates.
    bool toPlot(int layer, double x, double y, QPoint& out) const {
        // Layers outside 1..16 map as layer 1 or 16, as DataToPixel clamps them.
        const auto index =
            static_cast<std::size_t>(std::clamp(layer, 1, ChartLayers::kLayerCount) - 1);
        const Converted& last = m_converted[index];
        // Bitwise equal coordinates (so -0 and 0 stay apart) have the same pixel.
        if (last.Valid && last.X == std::bit_cast<std::uint64_t>(x) &&
            last.Y == std::bit_cast<std::uint64_t>(y)) {
            out = last.Pixel;
            return true;
        }
        int px = 0;
        int py = 0;
        if (m_mapping[index].Pixel(x, y, px, py)) {
            return remember(index, x, y, px, py, out);
        }
        return toPlotSlow(index, layer, x, y, out);
    }
    bool toPlotSlow(std::size_t index, int layer, double x, double y, QPoint& out) const;
    bool remember(std::size_t index, double x, double y, int px, int py, QPoint& out) const {
        const QPoint p(std::clamp(px, -kPixelLimit, kPixelLimit) + m_originX,
                       std::clamp(py, -kPixelLimit, kPixelLimit) + m_originY);
        Converted& last = m_converted[index];
        last.X = std::bit_cast<std::uint64_t>(x);
        last.Y = std::bit_cast<std::uint64_t>(y);
        last.Pixel = p;
        last.Valid = true;
        out = p;
        return true;
    }
    void drawOther(int kind, int layer, const ChartItem& item, QPoint p, TColor color);

    const PlotChartCore& m_chart;
    Canvas& m_canvas;
    int m_dx;
    int m_dy;
    bool m_monochrome;
    int m_originX; // chart pixel to canvas pixel
    int m_originY;

    State m_state;

    // Each layer's mapping, read once per pass: the transforms do not change during one.
    std::array<ChartLayers::FastMapping, ChartLayers::kLayerCount> m_mapping{};
    // The last point converted on each layer: a segment of a trend or two-channel run starts
    // where the layer's previous one ended, so half the conversions are repeats.
    struct Converted {
        std::uint64_t X = 0, Y = 0; // the coordinates' bits
        QPoint Pixel;
        bool Valid = false;
    };
    mutable std::array<Converted, ChartLayers::kLayerCount> m_converted{};
};
