#pragma once
// Replays the chart's item list onto a canvas: the grid at the active layer's ticks, the items in
// order with pen-state comparisons and the 200-point polyline buffer, and the plot outline.

#include "chart/control/canvas.h"

#include <QPoint>
#include <array>

class PlotChartCore;

class ItemPainter {
public:
    static constexpr int kPolylinePoints = 200;
    static constexpr int kPixelLimit = 30000;
    static constexpr int kMaxGridPositions = 1000;

    // The plot area's top-left corner lies at (dx, dy) of the canvas.
    ItemPainter(const PlotChartCore& chart, Canvas& canvas, int dx, int dy, bool monochrome);

    // Everything PaintItems draws: grid (when withGrid), items, plot outline.
    void Paint(bool withGrid);

private:
    void drawGrid();
    void drawItems();
    void drawOutline();
    void flush();
    void append(QPoint p);
    void applyPen();
    void setPenIfDifferent(TColor color, TPenStyle style, TColor brush);
    bool toPlot(int layer, double x, double y, QPoint& out) const;
    void drawOther(int kind, int layer, const ChartItem& item, QPoint p, TColor color);

    const PlotChartCore& m_chart;
    Canvas& m_canvas;
    int m_dx;
    int m_dy;
    bool m_monochrome;

    // Current pen state that item steps compare against.
    TColor m_penColor = 0;
    TPenStyle m_penStyle = psSolid;
    int m_penWidth = 1;
    TColor m_brushColor = 0;
    QPoint m_penPos;

    std::array<QPoint, kPolylinePoints> m_points{};
    int m_count = 0;
    QPoint m_start;
};
