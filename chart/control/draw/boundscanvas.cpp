// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/control/draw/boundscanvas.h"

#include <algorithm>

QRect BoundsCanvas::PenBounds(const QPoint* points, int count, int width) {
    if (count <= 0) {
        return {};
    }
    int left = points[0].x(), right = left, top = points[0].y(), bottom = top;
    for (int i = 1; i < count; ++i) {
        left = std::min(left, points[i].x());
        right = std::max(right, points[i].x());
        top = std::min(top, points[i].y());
        bottom = std::max(bottom, points[i].y());
    }
    // A wide pen reaches half its width beyond the path (round caps and joins); one more pixel
    // covers the rounding of any rasterizer.
    const int reach = std::max(width, 1) / 2 + 1;
    return QRect(QPoint(left - reach, top - reach), QPoint(right + reach, bottom + reach));
}

void BoundsCanvas::SetPen(const CanvasPen& pen) {
    m_penWidth = pen.Width;
    m_widestPen = std::max(m_widestPen, pen.Width);
    m_target.SetPen(pen);
}

void BoundsCanvas::SetBrush(const CanvasBrush& brush) {
    m_target.SetBrush(brush);
}

void BoundsCanvas::SetFont(const TChartFont& font) {
    m_target.SetFont(font);
}

void BoundsCanvas::Line(QPoint from, QPoint to) {
    const QPoint points[2] = {from, to};
    touch(PenBounds(points, 2, m_penWidth));
    m_target.Line(from, to);
}

void BoundsCanvas::Polyline(const QPoint* points, int count) {
    touch(PenBounds(points, count, m_penWidth));
    m_target.Polyline(points, count);
}

void BoundsCanvas::Polygon(const QPoint* points, int count) {
    touch(PenBounds(points, count, m_penWidth));
    m_target.Polygon(points, count);
}

void BoundsCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    const QPoint corners[2] = {QPoint(x1, y1), QPoint(x2, y2)};
    touch(PenBounds(corners, 2, m_penWidth));
    m_target.Rectangle(x1, y1, x2, y2);
}

void BoundsCanvas::FillRect(int x1, int y1, int x2, int y2) {
    const QPoint corners[2] = {QPoint(x1, y1), QPoint(x2, y2)};
    touch(PenBounds(corners, 2, 1));
    m_target.FillRect(x1, y1, x2, y2);
}

void BoundsCanvas::SetPixel(QPoint at, TColor color) {
    touch(QRect(at, at));
    m_target.SetPixel(at, color);
}

void BoundsCanvas::TextOut(int x, int y, const QString& text) {
    touch(m_area); // glyphs may reach anywhere near (x, y); text is rare in the plot
    m_target.TextOut(x, y, text);
}

QSize BoundsCanvas::TextExtent(const QString& text) {
    return m_target.TextExtent(text);
}
