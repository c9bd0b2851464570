// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/control/surface/chartimagecache.h"

#include "chart/control/draw/axispainter.h"
#include "chart/control/draw/devicecanvas.h"
#include "chart/control/draw/qpaintercanvas.h"
#include "chart/control/surface/pixelcopy.h"

namespace {

bool sameAxis(const AxisDrawing& a, const AxisDrawing& b) {
    return a.Visible == b.Visible && a.Color == b.Color && a.Font == b.Font && a.Ticks == b.Ticks &&
           a.Labels == b.Labels && a.AxisLine == b.AxisLine && a.Caption == b.Caption;
}

} // namespace

ChartImageCache::Key ChartImageCache::keyOf(const PlotChartCore& chart, const QPalette& palette,
                                            double ratio) {
    return Key{chart.Width(),
               chart.Height(),
               chart.MarginLeft(),
               chart.MarginRight(),
               chart.MarginTop(),
               chart.MarginBottom(),
               chart.ShadowWidth(),
               chart.ShadowStyle(),
               chart.WindColor(),
               chart.ShadowColor(),
               chart.ShadowBakColor(),
               chart.ChartFrameColor(),
               chart.Caption(),
               chart.CaptionPosX(),
               chart.CaptionPosY(),
               chart.CaptionAlignment(),
               chart.CaptionAnchorHoriz(),
               chart.CaptionAnchorVert(),
               chart.Font(),
               palette.cacheKey(),
               ratio};
}

ChartImageCache::Change ChartImageCache::Build(PlotChartCore& chart, const QPalette& palette,
                                               QImage& image, std::uint64_t& imageGeneration,
                                               bool reuse, double ratio, const QRect& plotArea) {
    Key key = keyOf(chart, palette, ratio);
    chart.ComputeLayerTransforms();
    // Laying the axes out refreshes their tick lists (the grid needs them) whether or not the
    // image is rebuilt.
    QtTextMeasure measure;
    std::array<AxisDrawing, kAxisCount> axes;
    // An axis whose settings are those of its last layout, which this cache made, keeps that
    // layout and tick list: laying it out again would give them once more.
    std::array<bool, kAxisCount> kept{};
    const auto scaleOf = [&chart](std::size_t a) -> TScale& {
        return chart.Scale(static_cast<int>(a % ChartLayers::kLayerCount) + 1,
                           a < static_cast<std::size_t>(ChartLayers::kLayerCount) ? TAxis::X
                                                                                  : TAxis::Y);
    };
    bool same = m_valid && m_key == key;
    for (std::size_t a = 0; a < axes.size(); ++a) {
        const TScale& scale = scaleOf(a);
        if (reuse && m_valid && scale.LayoutCount() == m_layoutCounts[a] &&
            scale.SameSettings(m_laidOutFrom[a])) {
            kept[a] = true;
            continue;
        }
        axes[a] = scaleOf(a).Layout(measure);
        same = same && sameAxis(axes[a], m_axes[a]);
    }
    const auto keepLayouts = [&] {
        for (std::size_t a = 0; a < axes.size(); ++a) {
            if (!kept[a]) {
                m_laidOutFrom[a] = scaleOf(a);
                m_layoutCounts[a] = scaleOf(a).LayoutCount();
            }
        }
    };
    const QSize size(DeviceCanvas::Extent(chart.Width(), ratio),
                     DeviceCanvas::Extent(chart.Height(), ratio));
    // Outside the plot area the image still is the chart image of this cache's generation (the
    // plot is laid over the plot area only), so an unchanged chart keeps it as it is.
    if (same && imageGeneration == m_generation && image.size() == size) {
        keepLayouts(); // the new layouts equal the cache's drawings
        return {};
    }
    // The plot is laid over its rectangle whenever the image was drawn again; what lies below it
    // there does not matter. Patching a part is for ratio 1, where texts are stamped.
    Change change;
    if (reuse && ratio == 1.0 && m_valid && m_key == key && imageGeneration == m_generation &&
        image.size() == size && image.format() == QImage::Format_RGB32 && image.isDetached() &&
        m_background.size() == size && m_backgroundKey == key) {
        // Only axes changed (a scrolling range): the area they drew and draw is redrawn.
        QRect dirty;
        std::array<QRect, kAxisCount> bounds;
        for (std::size_t a = 0; a < axes.size(); ++a) {
            const bool changed = !kept[a] && !sameAxis(axes[a], m_axes[a]);
            if (kept[a]) {
                axes[a] = std::move(m_axes[a]); // the cache's drawing is this image's
            }
            bounds[a] = AxisBounds(axes[a], image);
            if (changed) {
                dirty |= AxisBounds(m_axes[a], image) | bounds[a];
            }
        }
        dirty &= image.rect();
        change.Dirty = dirty;
        patch(image, palette, dirty, plotArea, axes, bounds, reuse);
    } else {
        change.Redrawn = true;
        if (m_background.isNull() || m_background.size() != size || !(m_backgroundKey == key)) {
            m_background = QImage(size, QImage::Format_RGB32);
            DeviceCanvas canvas(m_background, palette, ratio);
            DrawControlBackground(canvas.Get(), chart);
            m_backgroundKey = key;
        }
        // The background's pixels, then the axes over them: what one canvas drawing both gives,
        // as the axes set pen, brush and font themselves. Copied into the old image's own pixels
        // when it has them, which spares an allocation.
        if (image.size() != size || image.format() != QImage::Format_RGB32 || !image.isDetached()) {
            image = m_background.copy();
        } else {
            CopyOutside(m_background, image, image.rect(), plotArea);
        }
        for (std::size_t a = 0; a < axes.size(); ++a) {
            if (kept[a]) {
                axes[a] = std::move(m_axes[a]); // the cache's drawing is this image's
            }
        }
        DeviceCanvas canvas(image, palette, ratio);
        if (reuse) {
            canvas.SetTextStamps(&m_texts);
        }
        for (const AxisDrawing& axis : axes) {
            DrawAxis(canvas.Get(), axis);
        }
    }
    keepLayouts();
    m_key = std::move(key);
    m_axes = std::move(axes);
    m_valid = true;
    imageGeneration = ++m_generation;
    return change;
}

void ChartImageCache::patch(QImage& image, const QPalette& palette, const QRect& dirty,
                            const QRect& plotArea, std::span<const AxisDrawing> axes,
                            std::span<const QRect> bounds, bool reuse) {
    if (dirty.isEmpty()) {
        return;
    }
    CopyOutside(m_background, image, dirty, plotArea);
    // A canvas on the dirty part alone: the axes that reach into it draw there exactly the
    // pixels a drawing of the whole image gives (moved by whole pixels, clipped at its edges),
    // in the same order; the others, and the texts that cannot reach into it, are not drawn.
    QImage part(image.scanLine(dirty.top()) + static_cast<std::ptrdiff_t>(dirty.left()) * 4,
                dirty.width(), dirty.height(), image.bytesPerLine(), QImage::Format_RGB32);
    part.setDotsPerMeterX(image.dotsPerMeterX());
    part.setDotsPerMeterY(image.dotsPerMeterY());
    QPainterCanvas canvas(part, palette);
    if (reuse) {
        canvas.SetTextStamps(&m_texts);
    }
    for (std::size_t a = 0; a < axes.size(); ++a) {
        if (bounds[a].intersects(dirty)) {
            DrawAxis(canvas, axes[a], -dirty.topLeft(), dirty, &image);
        }
    }
}
