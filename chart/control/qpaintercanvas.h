#pragma once
// Canvas backend that draws with QPainter, antialiasing off, into a QImage (Format_RGB32).

#include "chart/control/canvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <optional>
#include <vector>

class QImage;

class QPainterCanvas : public Canvas {
public:
    // Draws into `image` (which must outlive the canvas); system colours resolve against
    // `palette`. The pen starts solid black, width 1; the brush solid white.
    QPainterCanvas(QImage& image, const QPalette& palette);

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

    // Qt's font for a chart font: the family as named (fontconfig substitutes), the height in
    // pixels.
    static QFont ToQFont(const TChartFont& font);

private:
    QColor colorOf(TColor color) const;

    QImage& m_image;
    QPalette m_palette;
    QPainter m_painter;
    CanvasPen m_pen;
    CanvasBrush m_brush;
    TChartFont m_font;
    QColor m_fontColor;
    std::optional<QFontMetrics> m_metrics;
    std::vector<QPoint> m_reduced;
};
