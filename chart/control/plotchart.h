// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The chart control: a Qt widget over the plain chart core. The chart's pixels (the chart image
// of the whole control, the plot image of the plot area, the shown picture and the caches that
// spare redrawing them) belong to its PlotSurface; the widget turns the core's paint hooks and
// the platform's paint requests into surface calls and shows what the surface presents. Mouse
// events go to a ChartMouse.
//
// Painting is explicit (AutoRedraw is off in this program): property changes and appends paint
// nothing; Redraw, RedrawItems, SuspendPaint(false) and the platform's paint requests (show,
// resize, expose) do. The chart can paint without a screen: SetHeadless(true) makes it count as
// showing while it is never shown (the render tool and the benchmarks use this).
//
// On a scaled screen (device pixel ratio r ≠ 1) the chart is drawn at the screen's own pixels:
// laid out as at ratio 1, every length scaled by r (see surface/plotsurface.h). Its images then
// have about Width() · r × Height() · r pixels; the bitmap export stays at ratio 1.

#include "chart/control/chartmouse.h"
#include "chart/control/draw/canvas.h"
#include "chart/core/plotchartcore.h"

#include <QImage>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

class PlotSurface;

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
    // item renderer (see surface/itemrenderer.h): after appends only the new items are drawn,
    // with the pixels of a pass from scratch (what PaintItems(plot image, 0, 0, false, 0) draws).
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

    // Copies `image` onto the shown picture at (x, y) and schedules the widget's repaint of what
    // changed. The window paces its repaints to the display's frames.
    virtual void Present(const QImage& image, int x, int y);
    // The picture the widget shows (the last presented state), at the pixel ratio's size.
    const QImage& ShownImage() const;
    const QImage& ChartImage() const;
    // The plot image; looking at it changes nothing.
    QImage PlotImage() const;

    // The caches are on by default. Off, every full repaint draws all items through PaintItems
    // and the whole chart image (the reference the caches are tested against). Invalidate
    // forgets the item renderer's pass.
    void SetItemCacheEnabled(bool enabled);
    bool ItemCacheEnabled() const;
    void InvalidateItemCache();
    // Full repaints that continued the item renderer's pass / started one from scratch.
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

    // The device pixel ratio the chart draws at: 0 (the default) follows the screen, where a
    // headless chart has ratio 1.
    void SetPixelRatio(double ratio);
    double PixelRatio() const;

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
    // ---- Repaints nobody can see ---------------------------------------------------------
    // While the caller promises that another repaint follows (RepaintFollows, the sample
    // pipeline framing a block), Paint and RedrawItems are owed instead of drawn: the promised
    // repaint draws what they would have, and suspending painting again drops them. Whatever
    // looks at the chart first draws them, from the state they were asked for: the pictures
    // below, a paint or mouse event, any other drawing operation, an export. Withdrawing the
    // promise draws what is still owed.
    void SetRepaintFollows(bool follows) override;
    void SuspendPaint(bool suspend) override;
    // A chart that nobody watches (plotmira-cli's, whose picture is only exported at the end)
    // owes every repaint, as if one always followed, until something looks; suspending painting
    // keeps what is owed then. Switching it off draws what is owed.
    void SetDrawOnDemand(bool onDemand);
    bool DrawOnDemand() const { return m_drawOnDemand; }

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
    void syncControlSize();
    // The surface, at the present pixel ratio.
    PlotSurface& surface();
    void openPaintGate();
    // Hands what the surface changed on the shown picture to the screen.
    void scheduleScreenUpdate(const QRect& area);
    // Draws an owed repaint now (see SetRepaintFollows). The pictures' getters call it: what
    // they return is then what the chart's state already says, so it counts as looking.
    void drawOwedRepaint() const;
    // Whether Paint and RedrawItems are owed now instead of drawn.
    bool owesRepaints() const { return RepaintFollows() || m_drawOnDemand; }

    std::unique_ptr<PlotSurface> m_surface;
    std::unique_ptr<ChartMouse> m_mouse;
    bool m_headless = false;
    bool m_gateOpened = false;
    // A repaint of the widget is due for a presented picture (not a platform request).
    bool m_presentPending = false;
    bool m_inPaintEvent = false;
    double m_pixelRatio = 0; // 0: the screen's
    bool m_drawOnDemand = false;
    // An owed full repaint, and owed items over the plot image (with the grid when
    // m_owedItemsGrid) asked for after it.
    mutable bool m_owedPaint = false;
    mutable bool m_owedItems = false;
    mutable bool m_owedItemsGrid = false;
    // The area not yet handed to update().
    QRect m_screenDue;
};

// The published chart control.
class TPlotChart : public TCustomPlotChart {
    Q_OBJECT

public:
    explicit TPlotChart(QWidget* parent = nullptr) : TCustomPlotChart(parent) {}
};
