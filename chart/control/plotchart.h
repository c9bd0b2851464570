// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The chart control: a Qt widget over the plain chart core. It owns the two off-screen images
// (ChartImage: the whole control; PlotImage: the plot area), rebuilds them in Paint, draws the
// items in PaintItems and shows the result through Present and the widget's paint event. Mouse
// events go to a ChartMouse.
//
// Painting is explicit (AutoRedraw is off in this program): property changes and appends paint
// nothing; Redraw, RedrawItems, SuspendPaint(false) and the platform's paint requests (show,
// resize, expose) do. The chart can paint without a screen: SetHeadless(true) makes it count as
// showing while it is never shown (the render tool and the benchmarks use this).

#include "chart/control/canvas.h"
#include "chart/control/chartmouse.h"
#include "chart/core/plotchartcore.h"

#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

class ItemCache;

class TCustomPlotChart : public QWidget, public PlotChartCore {
    Q_OBJECT

public:
    explicit TCustomPlotChart(QWidget* parent = nullptr);
    ~TCustomPlotChart() override;

    // ---- Painting ---------------------------------------------------------------------------
    // Visible on screen, or headless.
    bool IsShowing() const override;
    // Full rebuild: chart image, plot background, grid and items, then Present of the chart
    // image. Nothing while not showing or while PaintSuspended. The plot image comes from the
    // items cache (see itemcache.h): after appends only the new items are drawn, with the pixels
    // of a pass from scratch (what PaintItems(plot image, 0, 0, false, 0) draws).
    void Paint() override;
    // Sizes PlotImage to the plot area (+1 in each direction) and blanks it: ChartColor inside,
    // ChartFrameColor outline.
    void PaintPlotBackground() override;
    // Draws grid (unless SkipGrid ≠ 0) and every drawable item into `canvas`, whose origin is
    // the chart pixel (MarginLeft − DX, MarginTop − DY); the plot outline last. Monochrome draws
    // items in black (filled kinds in silver). Items with a NaN coordinate, a layer outside
    // 1..16 or an unknown kind are not drawn.
    virtual void PaintItems(Canvas& canvas, int DX, int SkipGrid, bool Monochrome, int DY);
    // Draws the chart image's content (background, shadow, title, axes) into `canvas` sized
    // Width() × Height(), and refreshes every painted axis's tick list. Does not touch ChartImage.
    void DrawChartBackground(Canvas& canvas);

    // Copies `image` onto the shown picture at (x, y) and schedules the widget's repaint. The
    // screen follows at most once per display frame (FramePacer): a picture presented within a
    // frame of the window's last repaint reaches the screen at the start of the next frame.
    virtual void Present(const QImage& image, int x, int y);
    // The picture the widget shows (the last presented state), Width() × Height().
    const QImage& ShownImage() const { return m_shownIsChart ? m_chartImage : m_shown; }

    const QImage& ChartImage() const { return m_chartImage; }
    // The plot image; looking at it changes nothing.
    QImage PlotImage() const {
        return m_plotInChart ? m_chartImage.copy(m_plotInChartRect) : m_plotImage;
    }

    // The items cache is on by default. Off, every full repaint draws all items through
    // PaintItems (the reference the cache is tested against). Invalidate forgets the cached pass.
    void SetItemCacheEnabled(bool enabled);
    bool ItemCacheEnabled() const { return m_itemCacheEnabled; }
    void InvalidateItemCache();
    // Full repaints that continued the cached pass / started one from scratch.
    std::uint64_t ItemCacheContinued() const;
    std::uint64_t ItemCacheStarted() const;

    // ---- Export -----------------------------------------------------------------------------
    // Renders the whole control afresh off screen and writes it as a 24-bit BMP to
    // BitmapFileName(FileName). Monochrome: white background, black frame, texts, axes and
    // items, silver shadow; the grid keeps its colour. The chart's colours and the paint gate are
    // restored on every path. Raises EFCreateError or EWriteError (texts in bmpwriter.h).
    void ExportBitmap(const std::string& FileName, bool Monochrome);
    // The name the export writes: the directory part kept, the file-name part cut at its first
    // "." and ".bmp" appended ("data/run.1.txt" → "data/run.bmp", ".x" → ".bmp").
    static std::string BitmapFileName(const std::string& FileName);

    // ---- Headless use -----------------------------------------------------------------------
    // Headless: the chart paints although it is never shown; this also opens the paint gate as
    // window creation does. The widget's size is the chart's size (resize() the widget).
    void SetHeadless(bool headless);
    bool Headless() const { return m_headless; }

    ChartMouse& Mouse() { return *m_mouse; }

    // ---- Mouse properties (state and notifications live in Mouse()) -------------------------
    TMouseActMode MouseAction() const { return m_mouse->MouseAction(); }
    void SetMouseAction(TMouseActMode value) { m_mouse->SetMouseAction(value); }
    bool MouseCursorFixed() const { return m_mouse->MouseCursorFixed(); }
    void SetMouseCursorFixed(bool value) { m_mouse->SetMouseCursorFixed(value); }
    bool Isometric() const { return m_mouse->Isometric(); }
    void SetIsometric(bool value) { m_mouse->SetIsometric(value); }
    // Repaints `area` from the shown picture without rebuilding the chart (the rubber band).
    void UpdateShownArea(const QRect& area) {
        m_presentPending = true;
        update(area);
    }

protected:
    // Overrides of the core's hooks.
    void RepaintPlot() override;
    void PaintItemsOver(bool withGrid) override;
    void PlotAreaChanged() override;

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    struct Cache;

    void syncControlSize();
    void openPaintGate();
    void buildChartImage();
    // Redraws `dirty` of the chart image: background (outside `plotArea`) and the axes reaching
    // into it (`bounds`: each axis's AxisBounds).
    void patchChartImage(const QRect& dirty, const QRect& plotArea,
                         std::span<const AxisDrawing> axes, std::span<const QRect> bounds);
    // Copies `area` (chart image pixels, inside the plot image's place) from the plot image.
    void copyPlotPart(const QRect& area);
    // Makes m_plotImage hold the plot again when a fresh render went straight into the chart
    // image (m_plotInChart).
    void syncPlotImage();
    // Renders a pass that starts afresh straight into the chart image's plot area, when the
    // chart image can take it; false when it cannot.
    bool renderIntoChartImage();
    void sizePlotImage(QImage& image) const;
    void blankPlotImage(QImage& image);
    void drawItemsInto(QImage& image, bool withGrid, bool monochrome);
    QRect renderPlotImage();
    void detachShownFromChart();
    void scheduleScreenUpdate(const QRect& area);
    void flushScreenUpdate();

    QImage m_chartImage;
    // After a fresh render straight into the chart image it is copied out only when needed
    // (syncPlotImage).
    QImage m_plotImage;
    // m_plotImage is stale: the plot is the m_plotInChartRect part of m_chartImage, which nothing
    // writes to before syncPlotImage.
    bool m_plotInChart = false;
    QRect m_plotInChartRect;
    QImage m_shown;
    // The shown picture is m_chartImage itself (after a full Paint), so that the next Paint draws
    // into it without a copy. Whoever writes into m_chartImage outside Paint detaches first.
    bool m_shownIsChart = false;
    // m_chartImage holds the cached chart background with m_plotImage copied in, as Paint left
    // it: the shown picture already has what presenting the plot image again would draw.
    bool m_chartHoldsPlot = false;
    // Outside the plot area m_chartImage is the chart image built at this generation of the cache.
    std::uint64_t m_chartImageGeneration = 0;
    std::unique_ptr<Cache> m_cache;
    std::unique_ptr<ItemCache> m_itemCache;
    bool m_itemCacheEnabled = true;
    // m_plotImage is the items cache's last render and that render is still current: drawing
    // the items over it again would change no pixel.
    bool m_plotIsRender = false;
    std::unique_ptr<ChartMouse> m_mouse;
    bool m_headless = false;
    bool m_gateOpened = false;
    bool m_presentPending = false;
    bool m_inPaintEvent = false;
    // What the next Present of the chart image changed; null: everything.
    QRect m_presentArea;
    // The area not yet handed to update().
    QRect m_screenDue;
};

// The published chart control.
class TPlotChart : public TCustomPlotChart {
    Q_OBJECT

public:
    explicit TPlotChart(QWidget* parent = nullptr) : TCustomPlotChart(parent) {}
};
