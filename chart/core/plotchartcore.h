// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The chart without a window: item store, drawing state, appearance properties, paint
// bookkeeping and session files. The Qt widget TCustomPlotChart derives from it and supplies the
// pixels by overriding the virtual hooks; the sample pipeline drives it through PlotChartCore&.
//
// Out-of-range property values and indices are ignored silently. No operation here paints by
// itself except through the virtual hooks, whose base versions draw nothing.

#include "chart/core/chartfont.h"
#include "chart/core/chartitem.h"
#include "chart/core/chartlayers.h"
#include "chart/core/itemstore.h"
#include "chart/core/scaleprops.h"

#include <array>
#include <span>
#include <string>

enum GridStyleType {
    gsNone = 0,
    gsPoints = 1,
    gsVertLines = 2,
    gsHorizLines = 3,
    gsLines = 4,
    gsHorizDotLines = 5,
    gsVertDotLines = 6,
    gsDotLines = 7,
};

enum TShadowStyle { ssFlying, ssBox };

enum TCaptionAnchorHoriz {
    cahControlLeft,
    cahChartLeft,
    cahChartCenter,
    cahChartRight,
    cahControlRight,
};

enum TCaptionAnchorVert {
    cavControlTop,
    cavChartTop,
    cavChartCenter,
    cavChartBottom,
    cavControlBottom,
};

class PlotChartCore : public ChartLayers {
public:
    PlotChartCore();
    ~PlotChartCore() override;

    // ---- Item store -------------------------------------------------------------------------
    // Appends stamped with the drawing state below. None of them paints.
    void AddMoveTo(double X, double Y);
    void AddDrawTo(double X, double Y);
    void AddLine(double X1, double Y1, double X2, double Y2);
    // Blanks the plot image (PaintPlotBackground), empties and releases the store,
    // LastShownIndex := 0. The screen changes at the next redraw.
    void ClearItems();
    // Index outside 0..ItemCount()-1 is ignored; later items move down by one.
    void DeleteItem(int Index);
    void DeleteFirstItem();

    int ItemCount() const { return m_store.Count(); }
    int ItemCapacity() const { return m_store.Capacity(); }
    // Item i, 0 <= i < ItemCount().
    const ChartItem& Item(int i) const { return m_store.Item(i); }
    std::span<const ChartItem> Items() const { return m_store.Items(); }
    const ItemStore& Store() const { return m_store; }

    int AllocSize() const { return m_store.AllocSize(); }
    void SetAllocSize(int value); // 1..1 000 000

    // ---- Drawing state copied into each new item (setters never repaint) -------------------
    TColor DataColor() const { return m_dataColor; }
    void SetDataColor(TColor value) { m_dataColor = value; }
    TColor FillColor() const { return m_fillColor; }
    void SetFillColor(TColor value) { m_fillColor = value; }
    TPenStyle PenStyle() const { return m_penStyle; }
    void SetPenStyle(TPenStyle value); // psSolid..psInsideFrame
    int LineWidth() const { return m_lineWidth; }
    void SetLineWidth(int value); // 0..255 (a byte)
    int ClassDefault() const { return m_classDefault; }
    void SetClassDefault(int value); // 0..254
    int ActiveLayer() const { return m_activeLayer; }
    // 1..16; repaints only when AutoRedraw is on.
    void SetActiveLayer(int Layer);
    // Whether the layer's axes follow mouse panning and zooming; layer 1..16, never repaints.
    // Default: layer 1 on, the others off. Layers outside 1..16 read as off.
    bool LayerMouseControl(int Layer) const;
    void SetLayerMouseControl(int Layer, bool Enabled);

    // ---- Appearance (setters store; they repaint only when AutoRedraw is on) ---------------
    TColor WindColor() const { return m_windColor; }
    void SetWindColor(TColor value);
    TColor ChartColor() const { return m_chartColor; }
    void SetChartColor(TColor value);
    TColor ChartFrameColor() const { return m_chartFrameColor; }
    void SetChartFrameColor(TColor value);
    TColor GridColor() const { return m_gridColor; }
    void SetGridColor(TColor value);
    GridStyleType GridStyle() const { return m_gridStyle; }
    void SetGridStyle(GridStyleType value); // gsNone..gsDotLines
    // Grid spacing in data units; 0 = at the axis ticks. Negative or non-finite values ignored.
    double GridDx() const { return m_gridDx; }
    void SetGridDx(double value);
    double GridDy() const { return m_gridDy; }
    void SetGridDy(double value);
    TShadowStyle ShadowStyle() const { return m_shadowStyle; }
    void SetShadowStyle(TShadowStyle value);
    TColor ShadowColor() const { return m_shadowColor; }
    void SetShadowColor(TColor value);
    TColor ShadowBakColor() const { return m_shadowBakColor; }
    void SetShadowBakColor(TColor value);
    // Chart title, UTF-8.
    const std::string& Caption() const { return m_caption; }
    void SetCaption(const std::string& value);
    int CaptionPosX() const { return m_captionPosX; }
    void SetCaptionPosX(int value);
    int CaptionPosY() const { return m_captionPosY; }
    void SetCaptionPosY(int value);
    TAlignment CaptionAlignment() const { return m_captionAlignment; }
    void SetCaptionAlignment(TAlignment value);
    TCaptionAnchorHoriz CaptionAnchorHoriz() const { return m_captionAnchorHoriz; }
    void SetCaptionAnchorHoriz(TCaptionAnchorHoriz value);
    TCaptionAnchorVert CaptionAnchorVert() const { return m_captionAnchorVert; }
    void SetCaptionAnchorVert(TCaptionAnchorVert value);
    // Title font: family, height (negative = pixel height), colour.
    const TChartFont& Font() const { return m_font; }
    void SetFont(const TChartFont& value);
    bool AutoRedraw() const { return m_autoRedraw; }
    void SetAutoRedraw(bool value) { m_autoRedraw = value; }

    // ---- Painting ---------------------------------------------------------------------------
    // ItemCount − 1 at the last Redraw or RedrawItems; 0 after ClearItems and at creation.
    int LastShownIndex() const { return m_lastShownIndex; }

    // Whether the control is visible. The base has no window and returns false.
    virtual bool IsShowing() const { return false; }
    // When showing: LastShownIndex := ItemCount − 1, then with AutoRedraw RepaintPlot(),
    // otherwise Paint() (which honours PaintSuspended). Nothing when not showing.
    virtual void Redraw();
    // When showing: PaintItemsOver(LastShownIndex == 0) (items over the current plot image,
    // grid only when the flag is true), then LastShownIndex := ItemCount − 1. It ignores
    // PaintSuspended.
    virtual void RedrawItems();
    // The caller's promise, while set, that every repaint (SuspendPaint(false), RedrawItems,
    // Redraw) it makes is followed by another one before control returns to the event loop, with
    // painting suspended before anything changes in between: the sample pipeline framing a
    // block. A picture asked for meanwhile need not be drawn unless something looks at it before
    // painting is suspended again; once the promise is withdrawn, a picture still owed is drawn
    // when next looked at. The base only keeps the flag.
    bool RepaintFollows() const { return m_repaintFollows; }
    virtual void SetRepaintFollows(bool follows) { m_repaintFollows = follows; }
    // Blanks the plot image. The base has no image.
    virtual void PaintPlotBackground() {}
    // Full rebuild (ChartLayers::Paint): SuspendPaint(false) and a load call it. Base: nothing.
    void Paint() override {}

    // ---- Form settings and files ------------------------------------------------------------
    // Every chart setting of the main window's form: AllocSize 110000, AutoRedraw off, the
    // colours, grid, shadow and title settings, and the form's axis settings, margins and
    // shadow width (ApplyFormScaleSettings). Paints nothing.
    void ApplyFormChartSettings();

    // Writes every item to FileName, replacing the file. Raises EFCreateError when the file
    // cannot be created and EInOutError when a write fails (the records before stay written).
    void SaveItemsToFile(const std::string& FileName) const;
    // Reads FileName's whole records into the store (after the present items when Append,
    // otherwise in place of them), leaves ItemCapacity() == ItemCount() and calls Paint().
    // Raises EFOpenError or EInOutError with the store unchanged when the file cannot be read.
    void LoadItemsFromFile(const std::string& FileName, bool Append);

protected:
    // Redraw's AutoRedraw branch: PaintPlotBackground and the items with grid into the plot
    // image, then present it. Base: nothing.
    virtual void RepaintPlot() {}
    // RedrawItems' drawing: the items over the current plot image, grid when withGrid, then
    // present it. Base: nothing.
    virtual void PaintItemsOver(bool withGrid) { (void)withGrid; }
    // A property setter asks for a repaint: Paint() when AutoRedraw is on.
    void AutoRedrawRequest() override;

    void SetLastShownIndex(int value) { m_lastShownIndex = value; }

private:
    ChartItem& stamp(std::uint8_t kind, double x, double y);

    ItemStore m_store;
    TColor m_dataColor = clBlack;
    TColor m_fillColor = clSilver;
    TPenStyle m_penStyle = psSolid;
    int m_lineWidth = 1;
    int m_classDefault = 0;
    int m_activeLayer = 1;
    std::array<bool, kLastLayer + 1> m_layerMouseControl{}; // index 1..16

    TColor m_windColor = clBtnFace;
    TColor m_chartColor = clWhite;
    TColor m_chartFrameColor = clBlack;
    TColor m_gridColor = clBlack;
    GridStyleType m_gridStyle = gsNone;
    double m_gridDx = 0.0;
    double m_gridDy = 0.0;
    TShadowStyle m_shadowStyle = ssFlying;
    TColor m_shadowColor = clBtnShadow;
    TColor m_shadowBakColor = clBtnFace;
    std::string m_caption;
    int m_captionPosX = 0;
    int m_captionPosY = -15;
    TAlignment m_captionAlignment = taRightJustify;
    TCaptionAnchorHoriz m_captionAnchorHoriz = cahChartRight;
    TCaptionAnchorVert m_captionAnchorVert = cavChartTop;
    TChartFont m_font;
    bool m_autoRedraw = true;

    int m_lastShownIndex = 0;
    bool m_repaintFollows = false;
};
