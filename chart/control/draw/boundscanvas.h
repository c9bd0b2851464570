// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A canvas that forwards every call to another one and keeps a rectangle holding every pixel
// the calls may have touched. The rectangle is conservative (pen widths round up, text counts as
// the whole target), never too small: pixels outside it are exactly as they were.

#include "chart/control/draw/canvas.h"

#include <QRect>

class BoundsCanvas : public Canvas {
public:
    // `target` must outlive this canvas; `area` is the target's extent (what "everything" means).
    BoundsCanvas(Canvas& target, QRect area) : m_target(target), m_area(area) {}

    // What the calls so far may have changed, within the area; empty when nothing.
    QRect Touched() const { return m_touched & m_area; }
    // The widest pen set so far (at least 1): a scaled target's pens reach further than their
    // 1× bounds say.
    int WidestPen() const { return m_widestPen; }

    void SetPen(const CanvasPen& pen) override;
    void SetBrush(const CanvasBrush& brush) override;
    void SetFont(const TChartFont& font) override;
    void Line(QPoint from, QPoint to) override;
    void Polyline(const QPoint* points, int count) override;
    void Polygon(const QPoint* points, int count) override;
    void Rectangle(int x1, int y1, int x2, int y2) override;
    void FillRect(int x1, int y1, int x2, int y2) override;
    void SetPixel(QPoint at, TColor color) override;
    void TextOut(int x, int y, const QString& text) override;
    QSize TextExtent(const QString& text) override;

    // The pixels a pen of `width` may cover drawing through points[0..count-1].
    static QRect PenBounds(const QPoint* points, int count, int width);

private:
    void touch(const QRect& r) { m_touched |= r; }

    Canvas& m_target;
    QRect m_area;
    QRect m_touched;
    int m_penWidth = 1;
    int m_widestPen = 1;
};
