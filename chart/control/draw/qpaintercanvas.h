// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Canvas backend that draws into a QImage (Format_RGB32), antialiasing off.
//
// Lines and polylines with a solid pen of width <= 1 (the chart's data) bypass QPainter: they are
// rasterized straight into the scanlines by LineRasterizer, with its end-excluded rule, whenever
// the image is a 32-bit format the painter reaches untransformed. Everything else (dashed, dotted
// and wide pens, shapes, text) is drawn by QPainter. Both write into the image at once, so they mix
// freely. Pen and brush reach the painter only when a painter call needs them, which keeps the
// frequent pen changes of data items cheap.

#include "chart/control/draw/canvas.h"
#include "chart/control/draw/linerasterizer.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <cstdint>
#include <optional>
#include <string>

class QImage;
class TextStamps;

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
    // Texts are stamped from `stamps` (which must outlive the canvas) where they can be; null
    // draws every text.
    void SetTextStamps(TextStamps* stamps) { m_stamps = stamps; }

private:
    QColor colorOf(TColor color) const;
    // Hands a pen or brush set since the last painter call to the painter.
    void syncPen();
    void syncBrush();
    // Whether Line and Polyline go to the rasterizer with the current pen.
    bool rasterizes() const { return m_raster && m_rasterPen; }

    QImage& m_image;
    QPalette m_palette;
    QPainter m_painter;
    CanvasPen m_pen;
    CanvasBrush m_brush;
    TChartFont m_font;
    QColor m_fontColor;
    std::optional<QFontMetrics> m_metrics;
    std::string m_fontKey; // names the painter's font for m_stamps
    TextStamps* m_stamps = nullptr;
    std::optional<LineRasterizer> m_raster; // set when the image takes direct writes
    std::uint32_t* m_bits = nullptr;        // with m_raster: the first scanline
    std::ptrdiff_t m_stride = 0;            // in pixels
    // SetPixel's last colour and what it resolved to (system colours depend on the palette).
    TColor m_pixelColor = 0;
    QColor m_pixelQColor;
    bool m_pixelColorKnown = false;
    bool m_rasterPen = true; // solid, width <= 1, opaque colour
    std::uint32_t m_penPixel = 0xFF000000;
    bool m_penDirty = false;
    bool m_brushDirty = false;
};
