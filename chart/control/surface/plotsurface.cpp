// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/control/surface/plotsurface.h"

#include "chart/control/draw/devicecanvas.h"
#include "chart/control/draw/itempainter.h"
#include "chart/control/draw/qpaintercanvas.h"
#include "chart/control/surface/pixelcopy.h"
#include "chart/core/plotchartcore.h"

#include <QPainter>
#include <algorithm>

PlotSurface::PlotSurface(PlotChartCore& chart, Presenter presenter)
    : m_chart(chart), m_presenter(std::move(presenter)) {}

QRect PlotSurface::plotPlace(double ratio) const {
    const QPoint at(DeviceCanvas::Device(m_chart.MarginLeft(), ratio),
                    DeviceCanvas::Device(m_chart.MarginTop(), ratio));
    return QRect(at, ItemRenderer::PlotImageSize(m_chart, ratio));
}

int PlotSurface::device(int v) const {
    return DeviceCanvas::Device(v, m_ratio);
}

void PlotSurface::SetPixelRatio(double ratio) {
    if (ratio == m_ratio) {
        return;
    }
    detachShown(); // the screen keeps its picture until the next one
    m_ratio = ratio;
    m_chartImage = QImage();
    m_plotImage = QImage();
    m_plotState = PlotState::Drawn;
    m_renderer.Invalidate();
}

void PlotSurface::sizePlotImage(QImage& image) const {
    const QSize size = plotPlace().size();
    if (image.size() != size || image.format() != QImage::Format_RGB32) {
        image = size.isEmpty() ? QImage() : QImage(size, QImage::Format_RGB32);
    }
}

void PlotSurface::blankPlotImage(const QPalette& palette, QImage& image, double ratio) const {
    ItemRenderer::BlankPlotImage(m_chart, palette, image, ratio);
}

void PlotSurface::drawItemsInto(const QPalette& palette, QImage& image, bool withGrid,
                                bool monochrome, double ratio) const {
    if (image.isNull()) {
        return;
    }
    DeviceCanvas canvas(image, palette, ratio, QPoint(m_chart.MarginLeft(), m_chart.MarginTop()));
    ItemPainter(m_chart, canvas.Get(), 0, 0, monochrome).Paint(withGrid);
}

void PlotSurface::syncPlot() {
    if (m_plotState != PlotState::RenderInChart) {
        return;
    }
    m_plotState = PlotState::Render;
    sizePlotImage(m_plotImage);
    if (m_plotImage.size() != m_plotRect.size()) {
        m_plotImage = m_chartImage.copy(m_plotRect);
        return;
    }
    CopyPixels(m_plotImage, QPoint(0, 0), m_chartImage, m_plotRect);
}

void PlotSurface::chartLeftPlot() {
    if (m_chartState == ChartState::ShownWithPlot) {
        m_chartState = ChartState::Shown;
    }
}

void PlotSurface::detachShown() {
    if (m_chartState != ChartState::Apart) {
        m_shown = m_chartImage; // shares the pixels until either side is drawn on
        m_chartState = ChartState::Apart;
    }
}

void PlotSurface::BlankPlot(const QPalette& palette) {
    m_plotState = PlotState::Drawn; // blanked whole: a RenderInChart copy is no longer wanted
    chartLeftPlot();
    blankPlotImage(palette, m_plotImage, m_ratio);
}

void PlotSurface::SetCachesEnabled(bool enabled) {
    m_cachesEnabled = enabled;
    if (m_plotState == PlotState::Render) {
        m_plotState = PlotState::Drawn;
    }
    m_renderer.Invalidate();
}

void PlotSurface::buildChartImage(const QPalette& palette) {
    const ChartImageCache::Change change =
        m_chartCache.Build(m_chart, palette, m_chartImage, m_chartImageGeneration, m_cachesEnabled,
                           m_ratio, plotPlace());
    if (change.Redrawn || change.Dirty.intersects(plotPlace())) {
        chartLeftPlot();
    }
    m_chartDirty = change.Redrawn ? QRect() : change.Dirty;
}

bool PlotSurface::renderIntoChartImage(const QPalette& palette) {
    const QRect place = plotPlace();
    if (place.isEmpty() || !m_chartImage.rect().contains(place) ||
        m_chartImage.format() != QImage::Format_RGB32) {
        // The chart image was built over a plot it may have held: that is gone, and the pass
        // starts afresh in the plot image.
        m_plotState = PlotState::Drawn;
        return false;
    }
    uchar* bits = m_chartImage.bits(); // detaches from a shared copy first
    QImage plot(bits + static_cast<std::ptrdiff_t>(place.top()) * m_chartImage.bytesPerLine() +
                    static_cast<std::ptrdiff_t>(place.left()) * 4,
                place.width(), place.height(), m_chartImage.bytesPerLine(), QImage::Format_RGB32);
    m_plotState = PlotState::Drawn;
    // Not the last render: the pass starts afresh whatever the chart image held there.
    m_renderer.Render(m_chart, palette, plot, false, m_ratio);
    m_plotState = PlotState::RenderInChart;
    m_plotRect = place;
    return true;
}

QRect PlotSurface::renderPlotImage(const QPalette& palette) {
    syncPlot();
    if (!m_cachesEnabled) {
        BlankPlot(palette);
        drawItemsInto(palette, m_plotImage, true, false, m_ratio);
        return m_plotImage.rect();
    }
    const bool incremental = m_plotState == PlotState::Render;
    m_plotState = PlotState::Drawn;
    const QRect changed = m_renderer.Render(m_chart, palette, m_plotImage, incremental, m_ratio);
    m_plotState = PlotState::Render;
    return changed;
}

void PlotSurface::presentChart(const QRect& area) {
    chartLeftPlot(); // until the chart image is shown with the plot in it
    m_presentArea = area;
    m_presenter(m_chartImage, 0, 0);
    m_presentArea.reset();
    if (m_chartState != ChartState::Apart) {
        m_chartState = ChartState::ShownWithPlot;
    }
}

void PlotSurface::FullRepaint(const QPalette& palette) {
    // A pass that starts afresh (in trend mode at every repaint) is drawn straight into the
    // chart image, sparing the plot image and its copy; otherwise the plot image must hold the
    // plot before the chart image is built over it.
    const bool afresh =
        m_cachesEnabled && m_renderer.StartsAfresh(m_chart, m_plotState != PlotState::Drawn);
    if (!afresh) {
        syncPlot();
    }
    // The shown picture may be the chart image itself; it is replaced by the new chart image at
    // the end and nothing can show it in between, so it is not detached here.
    buildChartImage(palette);
    QRect area(0, 0, DeviceCanvas::Extent(m_chart.Width(), m_ratio),
               DeviceCanvas::Extent(m_chart.Height(), m_ratio));
    if (afresh && renderIntoChartImage(palette)) {
        presentChart(area);
        return;
    }
    const bool plotWasRender = m_plotState != PlotState::Drawn;
    const QRect changed = renderPlotImage(palette);
    const QPoint origin = plotPlace().topLeft();
    if (m_chartState == ChartState::ShownWithPlot && plotWasRender && m_cachesEnabled) {
        // The chart image holds the last plot image: only what the plot image changed is
        // copied and shown again, with what the axes changed around it.
        // When neither changed (items beyond the ranges, or none new), nothing is shown again.
        area = changed.translated(origin) & m_chartImage.rect();
        CopyPixels(m_chartImage, area.topLeft(), m_plotImage, area.translated(-origin));
        area |= m_chartDirty;
    } else if (!m_plotImage.isNull() && m_chartImage.format() == QImage::Format_RGB32 &&
               m_plotImage.format() == QImage::Format_RGB32) {
        // An opaque image drawn at whole pixels is a copy of its rows.
        const QRect part = QRect(origin, m_plotImage.size()) & m_chartImage.rect();
        CopyPixels(m_chartImage, part.topLeft(), m_plotImage, part.translated(-origin));
    } else if (!m_plotImage.isNull()) {
        QPainter painter(&m_chartImage);
        painter.drawImage(origin, m_plotImage);
    }
    presentChart(area);
}

void PlotSurface::RepaintPlot(const QPalette& palette) {
    chartLeftPlot();
    renderPlotImage(palette);
    m_presenter(m_plotImage, m_chart.MarginLeft(), m_chart.MarginTop());
}

void PlotSurface::RepaintItems(const QPalette& palette, bool withGrid) {
    // Drawing the same calls again over their own result leaves every pixel as it is (opaque
    // pens, no antialiasing: each pixel keeps its last writer), with or without the grid, which
    // lies below the items anyway. So a plot image that is the current render stays as it is.
    const bool unchanged = m_cachesEnabled && m_plotState != PlotState::Drawn &&
                           m_renderer.IsCurrent(m_chart, palette, m_ratio);
    if (unchanged && m_chartState == ChartState::ShownWithPlot) {
        // The shown picture is the chart image with this very plot in it, and what it changed is
        // on its way to the screen already.
        return;
    }
    syncPlot();
    if (!unchanged) {
        m_plotState = PlotState::Drawn;
        if (m_plotImage.isNull()) {
            BlankPlot(palette);
        }
        drawItemsInto(palette, m_plotImage, withGrid, false, m_ratio);
        chartLeftPlot();
    }
    m_presenter(m_plotImage, m_chart.MarginLeft(), m_chart.MarginTop());
}

void PlotSurface::PlotAreaChanged() {
    syncPlot();
    m_plotState = PlotState::Drawn;
    chartLeftPlot();
    const QSize size = plotPlace().size();
    if (m_plotImage.isNull() || size.isEmpty()) {
        return;
    }
    m_plotImage = m_plotImage.copy(QRect(QPoint(0, 0), size));
}

QRect PlotSurface::Present(const QImage& image, int x, int y) {
    if (image.isNull()) {
        return {};
    }
    const QSize size(DeviceCanvas::Extent(m_chart.Width(), m_ratio),
                     DeviceCanvas::Extent(m_chart.Height(), m_ratio));
    if (&image == &m_chartImage && x == 0 && y == 0 && image.size() == size) {
        const QRect area = m_chartState != ChartState::Apart && m_presentArea
                               ? *m_presentArea // the rest of the shown picture is as it was
                               : QRect(QPoint(0, 0), size);
        m_chartState = ChartState::Shown;
        m_shown = QImage();
        return area;
    }
    if (x == 0 && y == 0 && image.size() == size) {
        m_chartState = ChartState::Apart;
        m_shown = image; // shares the pixels until either side is drawn on
        return QRect(QPoint(0, 0), size);
    }
    detachShown();
    if (m_shown.size() != size) {
        QImage resized(size, QImage::Format_RGB32);
        resized.fill(Qt::white);
        if (!m_shown.isNull()) {
            QPainter painter(&resized);
            painter.drawImage(0, 0, m_shown);
        }
        m_shown = resized;
    }
    const QPoint at(device(x), device(y));
    QPainter painter(&m_shown);
    painter.drawImage(at, image);
    return QRect(at, image.size());
}

const QImage& PlotSurface::RenderForExport(const QPalette& palette, bool monochrome) {
    if (m_ratio != 1.0) {
        // The file holds the 1× picture; the screen's images stay as they are.
        ChartImageCache fresh;
        std::uint64_t generation = 0;
        fresh.Build(m_chart, palette, m_exportImage, generation, false, 1.0, plotPlace(1.0));
        QImage plot;
        blankPlotImage(palette, plot, 1.0);
        drawItemsInto(palette, plot, true, monochrome, 1.0);
        if (!plot.isNull()) {
            QPainter painter(&m_exportImage);
            painter.drawImage(m_chart.MarginLeft(), m_chart.MarginTop(), plot);
        }
        return m_exportImage;
    }
    syncPlot();
    // The screen keeps what it shows; the export draws into the chart image.
    detachShown();
    buildChartImage(palette);
    QImage plot;
    blankPlotImage(palette, plot, 1.0);
    drawItemsInto(palette, plot, true, monochrome, 1.0);
    if (!plot.isNull()) {
        QPainter painter(&m_chartImage);
        painter.drawImage(m_chart.MarginLeft(), m_chart.MarginTop(), plot);
    }
    return m_chartImage;
}
