// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The chart's pixels: the chart image (the whole control), the plot image (the plot area), the
// shown picture and the two caches that spare redrawing them (ChartImageCache for the chart
// image's fixed parts, ItemRenderer for the plot). The widget decides when to paint; the surface
// decides what to draw again and what to reuse. It shows a picture by handing it to the
// presenter (the widget's Present, which tests may watch), which hands it back to Present; that
// says which part of the shown picture changed, so that only that part goes to the screen.
//
// Two states say where the pixels live; every operation keeps these invariants:
//  - PlotState::Drawn: m_plotImage holds the plot (blanked, items drawn over it, or cut to a new
//    size); it is not the item renderer's last render.
//    PlotState::Render: m_plotImage is the item renderer's last render, untouched since, so the
//    renderer may continue its pass on it.
//    PlotState::RenderInChart: that render lies in the chart image at m_plotRect (a pass that
//    started afresh was drawn straight there) and m_plotImage is stale; nothing writes into the
//    chart image before syncPlot copies it out.
//  - ChartState::Apart: the shown picture is m_shown (null before the first Present); the chart
//    image is not on screen, and writing into it changes nothing shown.
//    ChartState::Shown: the shown picture is the chart image itself, so that the next full
//    repaint draws into it without a copy; its plot area need not be the plot any more.
//    ChartState::ShownWithPlot: as Shown, and the chart image is the cached chart image with the
//    current plot copied in, exactly as FullRepaint left it: presenting the plot again would draw
//    nothing new.
//  - Outside the plot area the chart image is ChartImageCache's build of m_chartImageGeneration.
//
// At a device pixel ratio r ≠ 1 (a scaled screen) the images have the screen's own pixels: the
// chart is laid out as at ratio 1 (the same ticks, labels and placements) and every length is
// drawn scaled by r (DeviceCanvas); the chart image is about Width · r × Height · r (Extent). The
// item renderer works at the surface's ratio, so the plot is rendered, continued and drawn
// straight into the chart image as at r = 1, with the pixels of drawing it from scratch at that
// ratio. At r = 1 the pixels are exactly those of the reference. Present takes positions on the 1×
// grid. The bitmap export renders at ratio 1 whatever the ratio.
//
// Everything runs on the main thread. The chart (which must outlive the surface) supplies the
// state that is drawn; the palette resolves its system colours.

#include "chart/control/surface/chartimagecache.h"
#include "chart/control/surface/itemrenderer.h"

#include <QImage>
#include <QPalette>
#include <QRect>
#include <cstdint>
#include <functional>
#include <optional>

class PlotChartCore;

class PlotSurface {
public:
    // Shows `image` at (x, y) of the shown picture; must end in this surface's Present.
    using Presenter = std::function<void(const QImage& image, int x, int y)>;

    PlotSurface(PlotChartCore& chart, Presenter presenter);

    // The full rebuild: chart image, plot background, grid and items, presented as a whole.
    // The plot comes from the item renderer: after appends only the new items are drawn, with the
    // pixels of a pass from scratch.
    void FullRepaint(const QPalette& palette);
    // Renders the plot image afresh (grid and items) and presents it at the plot's place.
    void RepaintPlot(const QPalette& palette);
    // Draws the items (and the grid when `withGrid`) over the current plot image and presents it
    // at the plot's place.
    void RepaintItems(const QPalette& palette, bool withGrid);
    // Copies `image` onto the shown picture at (x, y) and returns the part of the shown picture
    // that changed (empty: none). The chart image at (0, 0) becomes the shown picture itself.
    QRect Present(const QImage& image, int x, int y);

    // The device pixel ratio of the next drawing; a change starts the images afresh (the shown
    // picture stays until the next Present).
    void SetPixelRatio(double ratio);
    double PixelRatio() const { return m_ratio; }

    // Sizes the plot image to the plot area (+1 in each direction) and blanks it.
    void BlankPlot(const QPalette& palette);
    // The plot area changed size: the plot image takes it at once, keeping the overlap.
    void PlotAreaChanged();

    // Renders the whole chart afresh at ratio 1, the items in black when `monochrome`, and
    // returns it: at ratio 1 into the chart image; the shown picture stays as it is.
    const QImage& RenderForExport(const QPalette& palette, bool monochrome);

    // The picture the widget shows (the last presented state).
    const QImage& ShownPicture() const {
        return m_chartState == ChartState::Apart ? m_shown : m_chartImage;
    }
    const QImage& ChartImage() const { return m_chartImage; }
    // The plot image; looking at it changes nothing.
    QImage PlotImage() const {
        return m_plotState == PlotState::RenderInChart ? m_chartImage.copy(m_plotRect)
                                                       : m_plotImage;
    }

    // Off, every repaint draws everything from scratch (the reference the caches are tested
    // against).
    void SetCachesEnabled(bool enabled);
    bool CachesEnabled() const { return m_cachesEnabled; }
    void InvalidateItemRenderer() { m_renderer.Invalidate(); }
    const ItemRenderer& Renderer() const { return m_renderer; }

private:
    enum class PlotState { Drawn, Render, RenderInChart };
    enum class ChartState { Apart, Shown, ShownWithPlot };

    // The plot's place in the chart image at `ratio`.
    QRect plotPlace(double ratio) const;
    QRect plotPlace() const { return plotPlace(m_ratio); }
    // The device pixel at which the 1× coordinate `v` begins.
    int device(int v) const;
    void sizePlotImage(QImage& image) const;
    void blankPlotImage(const QPalette& palette, QImage& image, double ratio) const;
    void drawItemsInto(const QPalette& palette, QImage& image, bool withGrid, bool monochrome,
                       double ratio) const;
    // Makes m_plotImage hold the plot again (RenderInChart → Render).
    void syncPlot();
    // The chart image no longer holds the plot as the shown picture has it.
    void chartLeftPlot();
    // The chart image is about to be drawn on while the screen keeps what it shows.
    void detachShown();
    void buildChartImage(const QPalette& palette);
    // Renders a pass that starts afresh straight into the chart image's plot area, when the
    // chart image can take it; false when it cannot.
    bool renderIntoChartImage(const QPalette& palette);
    // Renders the plot image; returns what changed in it.
    QRect renderPlotImage(const QPalette& palette);
    // Hands the chart image to the presenter, of which `area` changed (empty: nothing).
    void presentChart(const QRect& area);

    PlotChartCore& m_chart;
    Presenter m_presenter;
    QImage m_chartImage;
    QImage m_plotImage;
    QImage m_shown;
    QRect m_plotRect; // RenderInChart: where the plot lies in the chart image
    PlotState m_plotState = PlotState::Drawn;
    ChartState m_chartState = ChartState::Apart;
    std::uint64_t m_chartImageGeneration = 0;
    // What the last chart image build changed outside the plot when it did not draw anew.
    QRect m_chartDirty;
    // What the next Present of the chart image changed; none: everything.
    std::optional<QRect> m_presentArea;
    ChartImageCache m_chartCache;
    ItemRenderer m_renderer;
    bool m_cachesEnabled = true;
    double m_ratio = 1.0;
    // The export's picture at a ratio other than 1.
    QImage m_exportImage;
};
