// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Canvas backend that records every call, for tests of the renderer. Text extents are fixed
// (7 pixels per character wide, 13 high for fonts of height ±13, |height| otherwise) so that
// placements are predictable without a font.

#include "chart/control/draw/canvas.h"

#include <QPoint>
#include <QString>
#include <vector>

class RecordingCanvas : public Canvas {
public:
    enum class Op { Pen, Brush, Font, Line, Polyline, Polygon, Rectangle, FillRect, Pixel, Text };

    struct Call {
        Op op;
        CanvasPen pen;              // Pen; for drawing calls the pen current at the call
        CanvasBrush brush;          // Brush; for drawing calls the brush current at the call
        TChartFont font;            // Font; Text
        std::vector<QPoint> points; // Line (2), Polyline, Polygon, Rectangle/FillRect (2), Pixel
        TColor color = 0;           // Pixel
        QString text;               // Text
    };

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

    const std::vector<Call>& Calls() const { return m_calls; }
    // The recorded calls of one kind, in order.
    std::vector<Call> CallsOf(Op op) const;
    void Clear() { m_calls.clear(); }

private:
    Call drawing(Op op) const;

    std::vector<Call> m_calls;
    CanvasPen m_pen;
    CanvasBrush m_brush;
    TChartFont m_font;
};
