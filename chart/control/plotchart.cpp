// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/control/plotchart.h"

#include "base/exception.h"
#include "chart/control/axispainter.h"
#include "chart/control/bmpwriter.h"
#include "chart/control/framepacer.h"
#include "chart/control/itemcache.h"
#include "chart/control/itempainter.h"
#include "chart/control/qpaintercanvas.h"
#include "chart/control/textstamps.h"

#include <QPaintEvent>
#include <QPainter>
#include <array>
#include <cstring>

namespace {

// Copies the `part` of a 32-bit image into another at `at`, row by row (both hold it whole).
void copyPixels(QImage& to, QPoint at, const QImage& from, const QRect& part) {
    if (part.isEmpty()) {
        return;
    }
    const std::size_t bytes = static_cast<std::size_t>(part.width()) * 4;
    for (int y = 0; y < part.height(); ++y) {
        std::memcpy(to.scanLine(at.y() + y) + static_cast<std::ptrdiff_t>(at.x()) * 4,
                    from.constScanLine(part.top() + y) +
                        static_cast<std::ptrdiff_t>(part.left()) * 4,
                    bytes);
    }
}

constexpr int kAxisCount = 2 * ChartLayers::kLayerCount;

bool sameAxis(const AxisDrawing& a, const AxisDrawing& b) {
    return a.Visible == b.Visible && a.Color == b.Color && a.Font == b.Font && a.Ticks == b.Ticks &&
           a.Labels == b.Labels && a.AxisLine == b.AxisLine && a.Caption == b.Caption;
}

// Copies the pixels of `area` from `from` into `to` (same size, 32-bit) except those in `skip`.
void copyOutside(const QImage& from, QImage& to, const QRect& area, const QRect& skip) {
    const QRect hole = area & skip;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto copy = [&](int left, int right) { // [left, right)
            if (right > left) {
                std::memcpy(to.scanLine(y) + static_cast<std::ptrdiff_t>(left) * 4,
                            from.constScanLine(y) + static_cast<std::ptrdiff_t>(left) * 4,
                            static_cast<std::size_t>(right - left) * 4);
            }
        };
        if (hole.isEmpty() || y < hole.top() || y > hole.bottom()) {
            copy(area.left(), area.right() + 1);
        } else {
            copy(area.left(), hole.left());
            copy(hole.right() + 1, area.right() + 1);
        }
    }
}

} // namespace

// Everything the chart image's pixels depend on. Building the image (text above all) costs far
// more than comparing this, so an unchanged chart reuses the last image.
struct TCustomPlotChart::Cache {
    struct Key {
        int Width = 0, Height = 0, MarginLeft = 0, MarginRight = 0, MarginTop = 0, MarginBottom = 0,
            ShadowWidth = 0;
        TShadowStyle ShadowStyle = ssFlying;
        TColor WindColor = 0, ShadowColor = 0, ShadowBakColor = 0, ChartFrameColor = 0;
        std::string Caption;
        int CaptionPosX = 0, CaptionPosY = 0;
        TAlignment CaptionAlignment = taCenter;
        TCaptionAnchorHoriz AnchorHoriz = cahChartRight;
        TCaptionAnchorVert AnchorVert = cavChartTop;
        TChartFont Font;
        qint64 Palette = 0;
        bool operator==(const Key&) const = default;
    };
    Key key;
    std::array<AxisDrawing, kAxisCount> axes;
    // Each axis painter as it was at the layout that gave `axes`, and its layout count then.
    std::array<TScale, kAxisCount> laidOutFrom;
    std::array<std::uint64_t, kAxisCount> layoutCounts{};
    bool valid = false;
    std::uint64_t generation = 0; // counts rebuilds of the chart image
    // The control background alone (shadow, frame, title) for backgroundKey: a scrolling range
    // changes only axes, and copying this costs less than drawing it.
    Key backgroundKey;
    QImage background;
    // The axis texts of the chart image, stamped (the uncached chart draws them every time).
    TextStamps texts;
};

TCustomPlotChart::TCustomPlotChart(QWidget* parent)
    : QWidget(parent), m_cache(std::make_unique<Cache>()),
      m_itemCache(std::make_unique<ItemCache>()), m_mouse(std::make_unique<ChartMouse>(*this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    resize(Width(), Height());
}

TCustomPlotChart::~TCustomPlotChart() = default;

bool TCustomPlotChart::IsShowing() const {
    return m_headless || isVisible();
}

void TCustomPlotChart::SetHeadless(bool headless) {
    m_headless = headless;
    if (headless) {
        openPaintGate();
    }
}

void TCustomPlotChart::openPaintGate() {
    // Window creation opens the gate once; later changes belong to SuspendPaint's callers.
    if (!m_gateOpened) {
        m_gateOpened = true;
        SetPaintSuspended(false);
    }
}

void TCustomPlotChart::syncControlSize() {
    if (width() != Width() || height() != Height()) {
        const bool suspended = PaintSuspended();
        SetControlSize(width(), height());
        SetPaintSuspended(suspended);
    }
}

void TCustomPlotChart::sizePlotImage(QImage& image) const {
    const int w = std::max(0, PlotWidth() + 1);
    const int h = std::max(0, PlotHeight() + 1);
    if (image.width() != w || image.height() != h || image.format() != QImage::Format_RGB32) {
        image = w > 0 && h > 0 ? QImage(w, h, QImage::Format_RGB32) : QImage();
    }
}

void TCustomPlotChart::blankPlotImage(QImage& image) {
    ItemCache::BlankPlotImage(*this, palette(), image);
}

void TCustomPlotChart::PaintPlotBackground() {
    m_plotInChart = false; // blanked whole
    m_plotIsRender = false;
    m_chartHoldsPlot = false;
    blankPlotImage(m_plotImage);
}

void TCustomPlotChart::SetItemCacheEnabled(bool enabled) {
    m_itemCacheEnabled = enabled;
    m_plotIsRender = false;
    m_itemCache->Invalidate();
}

void TCustomPlotChart::InvalidateItemCache() {
    m_itemCache->Invalidate();
}

std::uint64_t TCustomPlotChart::ItemCacheContinued() const {
    return m_itemCache->Continued();
}

std::uint64_t TCustomPlotChart::ItemCacheStarted() const {
    return m_itemCache->Started();
}

QRect TCustomPlotChart::renderPlotImage() {
    syncPlotImage();
    if (!m_itemCacheEnabled) {
        PaintPlotBackground();
        drawItemsInto(m_plotImage, true, false);
        return m_plotImage.rect();
    }
    const bool incremental = m_plotIsRender;
    m_plotIsRender = false;
    const QRect changed = m_itemCache->Render(*this, palette(), m_plotImage, incremental);
    m_plotIsRender = true;
    return changed;
}

void TCustomPlotChart::PaintItems(Canvas& canvas, int DX, int SkipGrid, bool Monochrome, int DY) {
    ItemPainter painter(*this, canvas, DX, DY, Monochrome);
    painter.Paint(SkipGrid == 0);
}

void TCustomPlotChart::drawItemsInto(QImage& image, bool withGrid, bool monochrome) {
    if (image.isNull()) {
        return;
    }
    QPainterCanvas canvas(image, palette());
    PaintItems(canvas, 0, withGrid ? 0 : 1, monochrome, 0);
}

void TCustomPlotChart::DrawChartBackground(Canvas& canvas) {
    DrawControlBackground(canvas, *this);
    ComputeLayerTransforms();
    CanvasTextMeasure measure(canvas);
    for (TAxis axis : {TAxis::X, TAxis::Y}) {
        for (int layer = 1; layer <= kLayerCount; ++layer) {
            DrawAxis(canvas, LayoutAxis(layer, axis, measure));
        }
    }
}

void TCustomPlotChart::buildChartImage() {
    Cache::Key key{Width(),
                   Height(),
                   MarginLeft(),
                   MarginRight(),
                   MarginTop(),
                   MarginBottom(),
                   ShadowWidth(),
                   ShadowStyle(),
                   WindColor(),
                   ShadowColor(),
                   ShadowBakColor(),
                   ChartFrameColor(),
                   Caption(),
                   CaptionPosX(),
                   CaptionPosY(),
                   CaptionAlignment(),
                   CaptionAnchorHoriz(),
                   CaptionAnchorVert(),
                   Font(),
                   palette().cacheKey()};
    ComputeLayerTransforms();
    // Laying the axes out refreshes their tick lists (the grid needs them) whether or not the
    // image is rebuilt.
    QtTextMeasure measure;
    std::array<AxisDrawing, kAxisCount> axes;
    // An axis whose settings are those of its last layout, which this cache made, keeps that
    // layout and tick list: laying it out again would give them once more.
    std::array<bool, kAxisCount> kept{};
    const auto scaleOf = [this](std::size_t a) -> TScale& {
        return Scale(static_cast<int>(a % kLayerCount) + 1,
                     a < static_cast<std::size_t>(kLayerCount) ? TAxis::X : TAxis::Y);
    };
    bool same = m_cache->valid && m_cache->key == key;
    for (std::size_t a = 0; a < axes.size(); ++a) {
        const TScale& scale = scaleOf(a);
        if (m_itemCacheEnabled && m_cache->valid &&
            scale.LayoutCount() == m_cache->layoutCounts[a] &&
            scale.SameSettings(m_cache->laidOutFrom[a])) {
            kept[a] = true;
            continue;
        }
        axes[a] = scaleOf(a).Layout(measure);
        same = same && sameAxis(axes[a], m_cache->axes[a]);
    }
    const auto keepLayouts = [&] {
        for (std::size_t a = 0; a < axes.size(); ++a) {
            if (!kept[a]) {
                m_cache->laidOutFrom[a] = scaleOf(a);
                m_cache->layoutCounts[a] = scaleOf(a).LayoutCount();
            }
        }
    };
    const QSize size(Width(), Height());
    // Outside the plot area m_chartImage still is the chart image of the cache's generation
    // (Paint overwrites only the plot area), so an unchanged chart keeps it as it is.
    if (same && m_chartImageGeneration == m_cache->generation && m_chartImage.size() == size) {
        keepLayouts(); // the new layouts equal the cache's drawings
        return;
    }
    // Paint and the bitmap export lay the plot image over its rectangle of the chart image
    // whenever the chart image was drawn again; what lies below it there does not matter.
    const QRect plotArea = PlotWidth() >= 0 && PlotHeight() >= 0
                               ? QRect(MarginLeft(), MarginTop(), PlotWidth() + 1, PlotHeight() + 1)
                               : QRect();
    if (m_itemCacheEnabled && m_cache->valid && m_cache->key == key &&
        m_chartImageGeneration == m_cache->generation && m_chartImage.size() == size &&
        m_chartImage.format() == QImage::Format_RGB32 && m_chartImage.isDetached() &&
        m_cache->background.size() == size && m_cache->backgroundKey == key) {
        // Only axes changed (a scrolling range): the area they drew and draw is redrawn.
        QRect dirty;
        std::array<QRect, kAxisCount> bounds;
        for (std::size_t a = 0; a < axes.size(); ++a) {
            const bool changed = !kept[a] && !sameAxis(axes[a], m_cache->axes[a]);
            if (kept[a]) {
                axes[a] = std::move(m_cache->axes[a]); // the cache's drawing is this image's
            }
            bounds[a] = AxisBounds(axes[a], m_chartImage);
            if (changed) {
                dirty |= AxisBounds(m_cache->axes[a], m_chartImage) | bounds[a];
            }
        }
        dirty &= m_chartImage.rect();
        if (dirty.intersects(plotArea)) {
            m_chartHoldsPlot = false;
        }
        patchChartImage(dirty, plotArea, axes, bounds);
    } else {
        m_chartHoldsPlot = false;
        if (m_cache->background.isNull() || m_cache->background.size() != size ||
            !(m_cache->backgroundKey == key)) {
            m_cache->background = QImage(size, QImage::Format_RGB32);
            QPainterCanvas canvas(m_cache->background, palette());
            DrawControlBackground(canvas, *this);
            m_cache->backgroundKey = key;
        }
        // The background's pixels, then the axes over them: what one canvas drawing both gives,
        // as the axes set pen, brush and font themselves. Copied into the old image's own pixels
        // when it has them, which spares an allocation.
        if (m_chartImage.size() != size || m_chartImage.format() != QImage::Format_RGB32 ||
            !m_chartImage.isDetached()) {
            m_chartImage = m_cache->background.copy();
        } else {
            copyOutside(m_cache->background, m_chartImage, m_chartImage.rect(), plotArea);
        }
        for (std::size_t a = 0; a < axes.size(); ++a) {
            if (kept[a]) {
                axes[a] = std::move(m_cache->axes[a]); // the cache's drawing is this image's
            }
        }
        QPainterCanvas canvas(m_chartImage, palette());
        if (m_itemCacheEnabled) {
            canvas.SetTextStamps(&m_cache->texts);
        }
        for (const AxisDrawing& axis : axes) {
            DrawAxis(canvas, axis);
        }
    }
    keepLayouts();
    m_cache->key = std::move(key);
    m_cache->axes = std::move(axes);
    m_cache->valid = true;
    m_chartImageGeneration = ++m_cache->generation;
}

void TCustomPlotChart::patchChartImage(const QRect& dirty, const QRect& plotArea,
                                       std::span<const AxisDrawing> axes,
                                       std::span<const QRect> bounds) {
    if (dirty.isEmpty()) {
        return;
    }
    copyOutside(m_cache->background, m_chartImage, dirty, plotArea);
    // A canvas on the dirty part alone: the axes that reach into it draw there exactly the
    // pixels a drawing of the whole image gives (moved by whole pixels, clipped at its edges),
    // in the same order; the others, and the texts that cannot reach into it, are not drawn.
    QImage part(m_chartImage.scanLine(dirty.top()) + static_cast<std::ptrdiff_t>(dirty.left()) * 4,
                dirty.width(), dirty.height(), m_chartImage.bytesPerLine(), QImage::Format_RGB32);
    part.setDotsPerMeterX(m_chartImage.dotsPerMeterX());
    part.setDotsPerMeterY(m_chartImage.dotsPerMeterY());
    QPainterCanvas canvas(part, palette());
    if (m_itemCacheEnabled) {
        canvas.SetTextStamps(&m_cache->texts);
    }
    for (std::size_t a = 0; a < axes.size(); ++a) {
        if (bounds[a].intersects(dirty)) {
            DrawAxis(canvas, axes[a], -dirty.topLeft(), dirty, &m_chartImage);
        }
    }
}

void TCustomPlotChart::Paint() {
    if (!IsShowing() || IsLoading() || PaintSuspended()) {
        return;
    }
    syncControlSize();
    // A pass that starts afresh (in trend mode at every repaint) is drawn straight into the
    // chart image, sparing the plot image and its copy; otherwise the plot image must hold the
    // plot before the chart image is built over it.
    const bool afresh = m_itemCacheEnabled && m_itemCache->StartsAfresh(*this, m_plotIsRender);
    if (!afresh) {
        syncPlotImage();
    }
    // The shown picture may be m_chartImage itself; it is replaced by the new chart image at
    // the end and nothing can show it in between, so it is not detached here.
    buildChartImage(); // clears m_chartHoldsPlot when it draws the chart image anew
    QRect area(0, 0, Width(), Height());
    if (afresh && renderIntoChartImage()) {
        m_chartHoldsPlot = false;
        m_presentArea = area;
        Present(m_chartImage, 0, 0);
        m_chartHoldsPlot = true;
        return;
    }
    const bool plotWasRender = m_plotIsRender;
    const QRect changed = renderPlotImage();
    // When the chart image holds the last plot image, only what the plot image changed is
    // copied and shown again.
    const bool rgb32 = m_chartImage.format() == QImage::Format_RGB32 &&
                       m_plotImage.format() == QImage::Format_RGB32;
    if (m_chartHoldsPlot && plotWasRender && m_itemCacheEnabled && m_shownIsChart) {
        area = changed.translated(MarginLeft(), MarginTop()) & m_chartImage.rect();
        copyPlotPart(area);
    } else if (!m_plotImage.isNull() && rgb32) {
        // An opaque image drawn at whole pixels is a copy of its rows.
        copyPlotPart(QRect(QPoint(MarginLeft(), MarginTop()), m_plotImage.size()) &
                     m_chartImage.rect());
    } else if (!m_plotImage.isNull()) {
        QPainter painter(&m_chartImage);
        painter.drawImage(MarginLeft(), MarginTop(), m_plotImage);
    }
    m_chartHoldsPlot = false;
    m_presentArea = area;
    Present(m_chartImage, 0, 0);
    m_chartHoldsPlot = true;
}

bool TCustomPlotChart::renderIntoChartImage() {
    const QRect place(MarginLeft(), MarginTop(), std::max(0, PlotWidth() + 1),
                      std::max(0, PlotHeight() + 1));
    if (place.isEmpty() || !m_chartImage.rect().contains(place) ||
        m_chartImage.format() != QImage::Format_RGB32) {
        // The chart image was built over a plot it may have held: that is gone, and the pass
        // starts afresh in the plot image.
        m_plotInChart = false;
        m_plotIsRender = false;
        return false;
    }
    uchar* bits = m_chartImage.bits(); // detaches from a shared copy first
    QImage plot(bits + static_cast<std::ptrdiff_t>(place.top()) * m_chartImage.bytesPerLine() +
                    static_cast<std::ptrdiff_t>(place.left()) * 4,
                place.width(), place.height(), m_chartImage.bytesPerLine(), QImage::Format_RGB32);
    m_plotIsRender = false;
    // Not the last render: the pass starts afresh whatever the chart image held there.
    m_itemCache->Render(*this, palette(), plot, false);
    m_plotIsRender = true;
    m_plotInChart = true;
    m_plotInChartRect = place;
    return true;
}

void TCustomPlotChart::syncPlotImage() {
    if (!m_plotInChart) {
        return;
    }
    m_plotInChart = false;
    sizePlotImage(m_plotImage);
    if (m_plotImage.size() != m_plotInChartRect.size()) {
        m_plotImage = m_chartImage.copy(m_plotInChartRect);
        return;
    }
    copyPixels(m_plotImage, QPoint(0, 0), m_chartImage, m_plotInChartRect);
}

void TCustomPlotChart::copyPlotPart(const QRect& area) {
    copyPixels(m_chartImage, area.topLeft(), m_plotImage,
               area.translated(-MarginLeft(), -MarginTop()));
}

void TCustomPlotChart::RepaintPlot() {
    syncControlSize();
    m_chartHoldsPlot = false;
    renderPlotImage();
    Present(m_plotImage, MarginLeft(), MarginTop());
}

void TCustomPlotChart::PaintItemsOver(bool withGrid) {
    syncControlSize();
    // Drawing the same calls again over their own result leaves every pixel as it is (opaque
    // pens, no antialiasing: each pixel keeps its last writer), with or without the grid, which
    // lies below the items anyway. So a plot image that is the current render stays as it is.
    const bool unchanged =
        m_itemCacheEnabled && m_plotIsRender && m_itemCache->IsCurrent(*this, palette());
    if (unchanged && m_shownIsChart && m_chartHoldsPlot) {
        // The shown picture is the chart image with this very plot image in it, and what it
        // changed is on its way to the screen already.
        return;
    }
    syncPlotImage();
    if (!unchanged) {
        m_plotIsRender = false;
        if (m_plotImage.isNull()) {
            PaintPlotBackground();
        }
        drawItemsInto(m_plotImage, withGrid, false);
        m_chartHoldsPlot = false;
    }
    Present(m_plotImage, MarginLeft(), MarginTop());
}

void TCustomPlotChart::PlotAreaChanged() {
    syncPlotImage();
    // The plot image takes the new size at once and keeps what it showed in the overlap.
    const int w = std::max(0, PlotWidth() + 1);
    const int h = std::max(0, PlotHeight() + 1);
    m_plotIsRender = false;
    m_chartHoldsPlot = false;
    if (m_plotImage.isNull() || w == 0 || h == 0) {
        return;
    }
    m_plotImage = m_plotImage.copy(0, 0, w, h);
}

void TCustomPlotChart::Present(const QImage& image, int x, int y) {
    if (image.isNull()) {
        return;
    }
    const QSize size(Width(), Height());
    QRect area(0, 0, Width(), Height());
    if (&image == &m_chartImage && x == 0 && y == 0 && image.size() == size) {
        if (m_shownIsChart && !m_presentArea.isNull()) {
            area = m_presentArea; // the rest of the shown picture is as it was
        }
        m_shownIsChart = true;
        m_shown = QImage();
    } else if (x == 0 && y == 0 && image.size() == size) {
        m_shownIsChart = false;
        m_shown = image; // shares the pixels until either side is drawn on
    } else {
        detachShownFromChart();
        if (m_shown.size() != size) {
            QImage resized(size, QImage::Format_RGB32);
            resized.fill(Qt::white);
            if (!m_shown.isNull()) {
                QPainter painter(&resized);
                painter.drawImage(0, 0, m_shown);
            }
            m_shown = resized;
        }
        QPainter painter(&m_shown);
        painter.drawImage(x, y, image);
        area = QRect(x, y, image.width(), image.height());
    }
    m_presentArea = QRect();
    scheduleScreenUpdate(area);
}

void TCustomPlotChart::scheduleScreenUpdate(const QRect& area) {
    if (area.isEmpty()) {
        return;
    }
    m_presentPending = true;
    if (m_inPaintEvent) {
        return; // the paint under way shows the picture
    }
    m_screenDue |= area;
    flushScreenUpdate();
}

void TCustomPlotChart::flushScreenUpdate() {
    // No screen shows more than its refresh rate: the window's pacer lets the repaint through
    // at once or at the start of the next display frame, together with whatever else changed.
    FramePacer::Of(this);
    if (!m_screenDue.isEmpty()) {
        m_presentPending = true;
        update(m_screenDue);
        m_screenDue = QRect();
    }
}

void TCustomPlotChart::detachShownFromChart() {
    if (m_shownIsChart) {
        m_shown = m_chartImage; // shares the pixels until either side is drawn on
        m_shownIsChart = false;
    }
}

void TCustomPlotChart::paintEvent(QPaintEvent* event) {
    m_inPaintEvent = true;
    // A paint request that no Present caused comes from the platform (uncovered, resized):
    // it rebuilds everything, as the original control does.
    if (!m_presentPending) {
        try {
            Paint();
        } catch (const Exception&) {
            // A chart that cannot be painted (a logarithmic axis with a bound ≤ 0) keeps its
            // last picture; the operation that caused it reports the error.
        }
    }
    m_presentPending = false;
    if (event->rect().contains(m_screenDue)) {
        m_screenDue = QRect(); // shown now
    }
    QPainter painter(this);
    const QImage& shown = ShownImage();
    if (shown.isNull()) {
        painter.fillRect(rect(), palette().color(QPalette::Window));
    } else {
        painter.drawImage(0, 0, shown);
        if (shown.width() < width()) {
            painter.fillRect(shown.width(), 0, width() - shown.width(), height(),
                             palette().color(QPalette::Window));
        }
        if (shown.height() < height()) {
            painter.fillRect(0, shown.height(), width(), height() - shown.height(),
                             palette().color(QPalette::Window));
        }
    }
    m_mouse->paintOverlay(painter);
    m_inPaintEvent = false;
}

void TCustomPlotChart::resizeEvent(QResizeEvent*) {
    syncControlSize();
    m_presentPending = false;
}

void TCustomPlotChart::showEvent(QShowEvent*) {
    openPaintGate();
    syncControlSize();
    m_presentPending = false;
}

void TCustomPlotChart::mousePressEvent(QMouseEvent* event) {
    m_mouse->mousePressEvent(event);
}
void TCustomPlotChart::mouseMoveEvent(QMouseEvent* event) {
    m_mouse->mouseMoveEvent(event);
}
void TCustomPlotChart::mouseReleaseEvent(QMouseEvent* event) {
    m_mouse->mouseReleaseEvent(event);
}
void TCustomPlotChart::mouseDoubleClickEvent(QMouseEvent* event) {
    m_mouse->mouseDoubleClickEvent(event);
}
void TCustomPlotChart::enterEvent(QEnterEvent* event) {
    m_mouse->enterEvent(event);
}
void TCustomPlotChart::leaveEvent(QEvent* event) {
    m_mouse->leaveEvent(event);
}

std::string TCustomPlotChart::BitmapFileName(const std::string& FileName) {
    const std::size_t slash = FileName.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string name = FileName.substr(nameStart);
    const std::size_t dot = name.find('.');
    if (dot != std::string::npos) {
        name.erase(dot);
    }
    return FileName.substr(0, nameStart) + name + ".bmp";
}

namespace {

// The colours a monochrome export replaces, and their saved values.
struct ColourSet {
    TColor Wind, Chart, Frame, FontColor, Shadow, ShadowBak;
    std::array<TColor, kAxisCount> AxisColor;
    std::array<TColor, kAxisCount> AxisFont;
};

ColourSet readColours(TCustomPlotChart& chart) {
    ColourSet set{chart.WindColor(),
                  chart.ChartColor(),
                  chart.ChartFrameColor(),
                  chart.Font().Color,
                  chart.ShadowColor(),
                  chart.ShadowBakColor(),
                  {},
                  {}};
    for (int i = 0; i < kAxisCount; ++i) {
        TScaleProps& props = chart.ScaleProps(i / 2 + 1, i % 2 == 0 ? TAxis::X : TAxis::Y);
        set.AxisColor[static_cast<std::size_t>(i)] = props.ColorScale();
        set.AxisFont[static_cast<std::size_t>(i)] = props.Font().Color;
    }
    return set;
}

void writeColours(TCustomPlotChart& chart, const ColourSet& set) {
    chart.SetWindColor(set.Wind);
    chart.SetChartColor(set.Chart);
    chart.SetChartFrameColor(set.Frame);
    if (chart.Font().Color != set.FontColor) {
        TChartFont font = chart.Font();
        font.Color = set.FontColor;
        chart.SetFont(font);
    }
    chart.SetShadowColor(set.Shadow);
    chart.SetShadowBakColor(set.ShadowBak);
    for (int i = 0; i < kAxisCount; ++i) {
        TScaleProps& props = chart.ScaleProps(i / 2 + 1, i % 2 == 0 ? TAxis::X : TAxis::Y);
        // Each setter re-applies the settings to the axis painter.
        if (props.ColorScale() != set.AxisColor[static_cast<std::size_t>(i)]) {
            props.SetColorScale(set.AxisColor[static_cast<std::size_t>(i)]);
        }
        if (props.Font().Color != set.AxisFont[static_cast<std::size_t>(i)]) {
            TChartFont font = props.Font();
            font.Color = set.AxisFont[static_cast<std::size_t>(i)];
            props.SetFont(font);
        }
    }
}

ColourSet monochromeColours() {
    ColourSet set{clWhite, clWhite, clBlack, clBlack, clSilver, clWhite, {}, {}};
    set.AxisColor.fill(clBlack);
    set.AxisFont.fill(clBlack);
    return set;
}

} // namespace

void TCustomPlotChart::ExportBitmap(const std::string& FileName, bool Monochrome) {
    syncControlSize();
    syncPlotImage();
    QImage plot = m_plotImage;
    sizePlotImage(plot);
    SetPaintSuspended(true);
    // Property setters must not repaint the screen in the middle of the export.
    const bool autoRedraw = AutoRedraw();
    SetAutoRedraw(false);
    const ColourSet saved = readColours(*this);
    auto restore = [&] {
        if (Monochrome) {
            writeColours(*this, saved);
        }
        SetAutoRedraw(autoRedraw);
        SetPaintSuspended(false);
    };
    try {
        if (Monochrome) {
            writeColours(*this, monochromeColours());
        }
        // The screen keeps what it shows; the export draws into the chart image.
        detachShownFromChart();
        m_chartHoldsPlot = false;
        buildChartImage();
        blankPlotImage(plot);
        drawItemsInto(plot, true, Monochrome);
        if (!plot.isNull()) {
            QPainter painter(&m_chartImage);
            painter.drawImage(MarginLeft(), MarginTop(), plot);
        }
        WriteBmp(m_chartImage, BitmapFileName(FileName));
    } catch (...) {
        restore();
        throw;
    }
    restore();
}
