// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Canvas backend that draws the chart's one-pixel-grid drawing at a device pixel ratio r into an
// image of the screen's own pixels (Format_RGB32, antialiasing off), for scaled screens.
//
// Every length is scaled by r, and every position is the one of the drawing at ratio 1 scaled:
//  - the 1× pixel column x is the device column span [D(x), D(x + 1)), with
//    D(x) = floor((x + origin) · r) − floor(origin · r); the origin is where the image's (0, 0)
//    lies on the 1× grid of the whole chart, so that images of parts line up with the whole;
//  - a pen of width w covers max(1, round(w · r)) device pixels, starting at D of its 1× pixel,
//    so that no line is thicker in one place than in another; a line from A to B leaves out B as
//    at ratio 1 (its band ends at D(B) along the major axis), a polyline only its last point.
//    Solid one-pixel pens (the data) are written straight into the pixels as that many parallel
//    rasterized lines across the major axis, with the pen's block at every point but the last;
//  - SetPixel fills the block a one-pixel pen covers at that pixel; rectangles fill
//    [D(x1), D(x2)) × [D(y1), D(y2));
//  - texts are drawn in the font at r times its pixel size, their top-left corner at D of the 1×
//    one; TextExtent gives the 1× extents, so that layouts made through this canvas are those
//    of ratio 1 (the same ticks, labels and placements).

#include "chart/control/draw/canvas.h"
#include "chart/control/draw/linerasterizer.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QPointF>
#include <optional>
#include <vector>

class QImage;

class ScaledCanvas : public Canvas {
public:
    // Draws into `image` (which must outlive the canvas) at `ratio` (> 0); system colours
    // resolve against `palette`. The pen starts solid black, width 1; the brush solid white.
    ScaledCanvas(QImage& image, const QPalette& palette, double ratio, QPoint origin = QPoint());

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

    // D of a 1× coordinate along x / y.
    int DeviceX(int x) const;
    int DeviceY(int y) const;
    // The device pixels a pen of 1× width `width` covers across its line.
    static int DeviceWidth(int width, double ratio);

private:
    QColor colorOf(TColor color) const;
    // The centre of the device band a pen of device width `wd` draws through 1× pixel p.
    QPointF centre(QPoint p, int wd) const;
    void syncPen();
    void syncBrush();
    void fillDevice(const QRect& device, const QColor& colour);

    // Draws the band of a solid one-pixel pen through the distinct points directly.
    void rasterBand(const std::vector<QPoint>& points, int wd);
    void fillBlock(int x, int y, int size, std::uint32_t pixel);

    QImage& m_image;
    std::optional<LineRasterizer> m_raster; // set when the image takes direct writes
    std::uint32_t* m_bits = nullptr;
    std::ptrdiff_t m_stride = 0; // in pixels
    QPalette m_palette;
    QPainter m_painter;
    double m_ratio;
    double m_originX; // floor(origin · r)
    double m_originY;
    QPoint m_origin;
    CanvasPen m_pen;
    CanvasBrush m_brush;
    TChartFont m_font;
    QColor m_fontColor;
    std::optional<QFontMetrics> m_metrics; // 1×: the extents layouts see
    std::optional<QFontMetrics> m_deviceMetrics;
    bool m_penDirty = true;
    bool m_brushDirty = true;
    std::vector<QPointF> m_points;
};
