// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/control/plotchart.h"

#include "base/exception.h"
#include "chart/control/bmpwriter.h"
#include "chart/control/draw/axispainter.h"
#include "chart/control/draw/itempainter.h"
#include "chart/control/exportcolours.h"
#include "chart/control/surface/plotsurface.h"

#include <QPaintEvent>
#include <QPainter>

TCustomPlotChart::TCustomPlotChart(QWidget* parent)
    : QWidget(parent),
      m_surface(std::make_unique<PlotSurface>(
          *this, [this](const QImage& image, int x, int y) { Present(image, x, y); })),
      m_mouse(std::make_unique<ChartMouse>(*this)) {
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

void TCustomPlotChart::SetPixelRatio(double ratio) {
    m_pixelRatio = ratio > 0 ? ratio : 0;
}

double TCustomPlotChart::PixelRatio() const {
    if (m_pixelRatio > 0) {
        return m_pixelRatio;
    }
    return m_headless ? 1.0 : devicePixelRatioF();
}

PlotSurface& TCustomPlotChart::surface() {
    m_surface->SetPixelRatio(PixelRatio());
    return *m_surface;
}

void TCustomPlotChart::syncControlSize() {
    if (width() != Width() || height() != Height()) {
        const bool suspended = PaintSuspended();
        SetControlSize(width(), height());
        SetPaintSuspended(suspended);
    }
}

// ---- Painting: the core's hooks, forwarded to the surface ----------------------------------

void TCustomPlotChart::Paint() {
    if (!IsShowing() || IsLoading() || PaintSuspended()) {
        return;
    }
    if (owesRepaints()) {
        m_owedPaint = true; // draws everything: what was owed before is part of it
        m_owedItems = false;
        m_owedItemsGrid = false;
        return;
    }
    syncControlSize();
    surface().FullRepaint(palette());
}

void TCustomPlotChart::PaintPlotBackground() {
    drawOwedRepaint();
    surface().BlankPlot(palette());
}

void TCustomPlotChart::RepaintPlot() {
    drawOwedRepaint();
    syncControlSize();
    surface().RepaintPlot(palette());
}

void TCustomPlotChart::PaintItemsOver(bool withGrid) {
    if (owesRepaints()) {
        // Drawing all items again with the grid below them covers what a drawing without it
        // left: one drawing with either grid flag stands for both.
        m_owedItems = true;
        m_owedItemsGrid = m_owedItemsGrid || withGrid;
        return;
    }
    syncControlSize();
    surface().RepaintItems(palette(), withGrid);
}

void TCustomPlotChart::PlotAreaChanged() {
    drawOwedRepaint();
    surface().PlotAreaChanged();
}

void TCustomPlotChart::Present(const QImage& image, int x, int y) {
    scheduleScreenUpdate(surface().Present(image, x, y));
}

void TCustomPlotChart::PaintItems(Canvas& canvas, int DX, int SkipGrid, bool Monochrome, int DY) {
    ItemPainter painter(*this, canvas, DX, DY, Monochrome);
    painter.Paint(SkipGrid == 0);
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

// ---- Repaints nobody can see ----------------------------------------------------------------

void TCustomPlotChart::SetRepaintFollows(bool follows) {
    PlotChartCore::SetRepaintFollows(follows);
    if (!follows && !m_drawOnDemand) {
        drawOwedRepaint(); // no repaint came to draw it
    }
}

void TCustomPlotChart::SetDrawOnDemand(bool onDemand) {
    m_drawOnDemand = onDemand;
    if (!onDemand) {
        drawOwedRepaint();
    }
}

void TCustomPlotChart::SuspendPaint(bool suspend) {
    // On demand no repaint is promised to follow: what is owed stays owed (it is drawn from the
    // state at the time somebody looks).
    if (suspend && !m_drawOnDemand) {
        // The chart changes now, and the promised repaint shows the result: an owed picture of
        // the state before could never be seen.
        m_owedPaint = false;
        m_owedItems = false;
        m_owedItemsGrid = false;
    }
    PlotChartCore::SuspendPaint(suspend);
}

void TCustomPlotChart::drawOwedRepaint() const {
    if (!m_owedPaint && !m_owedItems) {
        return;
    }
    const bool paint = m_owedPaint;
    const bool items = m_owedItems;
    const bool grid = m_owedItemsGrid;
    m_owedPaint = false;
    m_owedItems = false;
    m_owedItemsGrid = false;
    // Drawing what the state already says changes nothing anyone could tell from the
    // outside, so the getters that look may do it.
    auto& self = const_cast<TCustomPlotChart&>(*this);
    self.syncControlSize();
    if (paint) {
        self.surface().FullRepaint(palette());
    }
    if (items) {
        self.surface().RepaintItems(palette(), grid);
    }
}

const QImage& TCustomPlotChart::ShownImage() const {
    drawOwedRepaint();
    return m_surface->ShownPicture();
}

const QImage& TCustomPlotChart::ChartImage() const {
    drawOwedRepaint();
    return m_surface->ChartImage();
}

QImage TCustomPlotChart::PlotImage() const {
    drawOwedRepaint();
    return m_surface->PlotImage();
}

void TCustomPlotChart::SetItemCacheEnabled(bool enabled) {
    drawOwedRepaint();
    m_surface->SetCachesEnabled(enabled);
}

bool TCustomPlotChart::ItemCacheEnabled() const {
    return m_surface->CachesEnabled();
}

void TCustomPlotChart::InvalidateItemCache() {
    drawOwedRepaint();
    m_surface->InvalidateItemRenderer();
}

std::uint64_t TCustomPlotChart::ItemCacheContinued() const {
    return m_surface->Renderer().Continued();
}

std::uint64_t TCustomPlotChart::ItemCacheStarted() const {
    return m_surface->Renderer().Started();
}

// ---- The screen -----------------------------------------------------------------------------

void TCustomPlotChart::scheduleScreenUpdate(const QRect& area) {
    if (area.isEmpty()) {
        return;
    }
    m_presentPending = true;
    if (m_inPaintEvent) {
        return; // the paint under way shows the picture
    }
    const double ratio = m_surface->PixelRatio();
    update(ratio == 1.0 ? area
                        : QRectF(area.x() / ratio, area.y() / ratio, area.width() / ratio,
                                 area.height() / ratio)
                              .toAlignedRect());
}

void TCustomPlotChart::paintEvent(QPaintEvent*) {
    // Before the paint begins, so that the owed picture's whole area is scheduled to show.
    drawOwedRepaint();
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
    QPainter painter(this);
    const QImage& shown = ShownImage();
    const double ratio = m_surface->PixelRatio();
    if (shown.isNull()) {
        painter.fillRect(rect(), palette().color(QPalette::Window));
    } else if (ratio == 1.0) {
        painter.drawImage(0, 0, shown);
        if (shown.width() < width()) {
            painter.fillRect(shown.width(), 0, width() - shown.width(), height(),
                             palette().color(QPalette::Window));
        }
        if (shown.height() < height()) {
            painter.fillRect(0, shown.height(), width(), height() - shown.height(),
                             palette().color(QPalette::Window));
        }
    } else {
        // The picture has the screen's pixels: drawn one to one, it fills its logical size.
        const QRectF target(0, 0, shown.width() / ratio, shown.height() / ratio);
        painter.drawImage(target, shown);
        const QColor window = palette().color(QPalette::Window);
        if (target.width() < width()) {
            painter.fillRect(QRectF(target.width(), 0, width() - target.width(), height()), window);
        }
        if (target.height() < height()) {
            painter.fillRect(QRectF(0, target.height(), width(), height() - target.height()),
                             window);
        }
    }
    m_mouse->paintOverlay(painter);
    m_inPaintEvent = false;
}

void TCustomPlotChart::resizeEvent(QResizeEvent*) {
    drawOwedRepaint();
    syncControlSize();
    m_presentPending = false;
}

void TCustomPlotChart::showEvent(QShowEvent*) {
    drawOwedRepaint();
    openPaintGate();
    syncControlSize();
    m_presentPending = false;
}

void TCustomPlotChart::mousePressEvent(QMouseEvent* event) {
    drawOwedRepaint();
    m_mouse->mousePressEvent(event);
}
void TCustomPlotChart::mouseMoveEvent(QMouseEvent* event) {
    drawOwedRepaint();
    m_mouse->mouseMoveEvent(event);
}
void TCustomPlotChart::mouseReleaseEvent(QMouseEvent* event) {
    drawOwedRepaint();
    m_mouse->mouseReleaseEvent(event);
}
void TCustomPlotChart::mouseDoubleClickEvent(QMouseEvent* event) {
    drawOwedRepaint();
    m_mouse->mouseDoubleClickEvent(event);
}
void TCustomPlotChart::enterEvent(QEnterEvent* event) {
    drawOwedRepaint();
    m_mouse->enterEvent(event);
}
void TCustomPlotChart::leaveEvent(QEvent* event) {
    drawOwedRepaint();
    m_mouse->leaveEvent(event);
}

// ---- Export ---------------------------------------------------------------------------------

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

void TCustomPlotChart::ExportBitmap(const std::string& FileName, bool Monochrome) {
    drawOwedRepaint();
    syncControlSize();
    SetPaintSuspended(true);
    // Property setters must not repaint the screen in the middle of the export.
    const bool autoRedraw = AutoRedraw();
    SetAutoRedraw(false);
    const ExportColours saved = ExportColours::Of(*this);
    auto restore = [&] {
        if (Monochrome) {
            saved.ApplyTo(*this);
        }
        SetAutoRedraw(autoRedraw);
        SetPaintSuspended(false);
    };
    try {
        if (Monochrome) {
            ExportColours::Monochrome().ApplyTo(*this);
        }
        WriteBmp(surface().RenderForExport(palette(), Monochrome), BitmapFileName(FileName));
    } catch (...) {
        restore();
        throw;
    }
    restore();
}
