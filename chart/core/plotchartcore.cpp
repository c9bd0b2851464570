// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/core/plotchartcore.h"

#include "chart/core/sessionfile.h"

#include <cmath>

PlotChartCore::PlotChartCore() {
    m_layerMouseControl[1] = true;
}

PlotChartCore::~PlotChartCore() = default;

ChartItem& PlotChartCore::stamp(std::uint8_t kind, double x, double y) {
    ChartItem& item = m_store.Append();
    item.Kind = kind;
    item.Layer = m_activeLayer;
    item.ItemClass = static_cast<std::uint8_t>(m_classDefault);
    item.Color = m_dataColor;
    item.PenStyle = m_penStyle;
    item.Reserved = 0;
    item.LineWidth = m_lineWidth;
    item.X = x;
    item.Y = y;
    return item;
}

void PlotChartCore::AddMoveTo(double X, double Y) {
    stamp(ikMoveTo, X, Y);
}

void PlotChartCore::AddDrawTo(double X, double Y) {
    stamp(ikDrawTo, X, Y).FillColor = m_fillColor;
}

void PlotChartCore::AddLine(double X1, double Y1, double X2, double Y2) {
    ChartItem& item = stamp(ikLine, X1, Y1);
    item.FillColor = m_fillColor;
    item.X2 = X2;
    item.Y2 = Y2;
}

void PlotChartCore::ClearItems() {
    PaintPlotBackground();
    m_store.Clear();
    m_lastShownIndex = 0;
}

void PlotChartCore::DeleteItem(int Index) {
    m_store.DeleteItem(Index);
}

void PlotChartCore::DeleteFirstItem() {
    m_store.DeleteFirstItem();
}

void PlotChartCore::SetAllocSize(int value) {
    m_store.SetAllocSize(value);
}

void PlotChartCore::SetPenStyle(TPenStyle value) {
    if (value >= psSolid && value <= psInsideFrame) {
        m_penStyle = value;
    }
}

void PlotChartCore::SetLineWidth(int value) {
    if (value >= 0 && value <= 255) {
        m_lineWidth = value;
    }
}

void PlotChartCore::SetClassDefault(int value) {
    if (value >= 0 && value <= 254) {
        m_classDefault = value;
    }
}

void PlotChartCore::SetActiveLayer(int Layer) {
    if (Layer < kFirstLayer || Layer > kLastLayer) {
        return;
    }
    m_activeLayer = Layer;
    AutoRedrawRequest();
}

bool PlotChartCore::LayerMouseControl(int Layer) const {
    return Layer >= kFirstLayer && Layer <= kLastLayer && m_layerMouseControl[Layer];
}

void PlotChartCore::SetLayerMouseControl(int Layer, bool Enabled) {
    if (Layer >= kFirstLayer && Layer <= kLastLayer) {
        m_layerMouseControl[Layer] = Enabled;
    }
}

void PlotChartCore::SetWindColor(TColor value) {
    m_windColor = value;
    AutoRedrawRequest();
}

void PlotChartCore::SetChartColor(TColor value) {
    m_chartColor = value;
    AutoRedrawRequest();
}

void PlotChartCore::SetChartFrameColor(TColor value) {
    m_chartFrameColor = value;
    AutoRedrawRequest();
}

void PlotChartCore::SetGridColor(TColor value) {
    m_gridColor = value;
    AutoRedrawRequest();
}

void PlotChartCore::SetGridStyle(GridStyleType value) {
    if (value < gsNone || value > gsDotLines) {
        return;
    }
    m_gridStyle = value;
    AutoRedrawRequest();
}

void PlotChartCore::SetGridDx(double value) {
    if (std::isfinite(value) && value >= 0.0) {
        m_gridDx = value;
        AutoRedrawRequest();
    }
}

void PlotChartCore::SetGridDy(double value) {
    if (std::isfinite(value) && value >= 0.0) {
        m_gridDy = value;
        AutoRedrawRequest();
    }
}

void PlotChartCore::SetShadowStyle(TShadowStyle value) {
    if (value == ssFlying || value == ssBox) {
        m_shadowStyle = value;
        AutoRedrawRequest();
    }
}

void PlotChartCore::SetShadowColor(TColor value) {
    m_shadowColor = value;
    AutoRedrawRequest();
}

void PlotChartCore::SetShadowBakColor(TColor value) {
    m_shadowBakColor = value;
    AutoRedrawRequest();
}

void PlotChartCore::SetCaption(const std::string& value) {
    m_caption = value;
    AutoRedrawRequest();
}

void PlotChartCore::SetCaptionPosX(int value) {
    m_captionPosX = value;
    AutoRedrawRequest();
}

void PlotChartCore::SetCaptionPosY(int value) {
    m_captionPosY = value;
    AutoRedrawRequest();
}

void PlotChartCore::SetCaptionAlignment(TAlignment value) {
    if (value >= taLeftJustify && value <= taCenter) {
        m_captionAlignment = value;
        AutoRedrawRequest();
    }
}

void PlotChartCore::SetCaptionAnchorHoriz(TCaptionAnchorHoriz value) {
    if (value >= cahControlLeft && value <= cahControlRight) {
        m_captionAnchorHoriz = value;
        AutoRedrawRequest();
    }
}

void PlotChartCore::SetCaptionAnchorVert(TCaptionAnchorVert value) {
    if (value >= cavControlTop && value <= cavControlBottom) {
        m_captionAnchorVert = value;
        AutoRedrawRequest();
    }
}

void PlotChartCore::SetFont(const TChartFont& value) {
    m_font = value;
    AutoRedrawRequest();
}

void PlotChartCore::Redraw() {
    if (!IsShowing()) {
        return;
    }
    m_lastShownIndex = ItemCount() - 1;
    if (m_autoRedraw) {
        RepaintPlot();
    } else {
        Paint();
    }
}

void PlotChartCore::RedrawItems() {
    if (!IsShowing()) {
        return;
    }
    PaintItemsOver(m_lastShownIndex == 0);
    m_lastShownIndex = ItemCount() - 1;
}

void PlotChartCore::AutoRedrawRequest() {
    // Colours, caption and shadow live in the chart image, so a full rebuild.
    if (m_autoRedraw) {
        Paint();
    }
}

void PlotChartCore::ApplyFormChartSettings() {
    m_store.SetAllocSize(110000);
    m_autoRedraw = false; // first, so that none of the setters below repaints
    m_windColor = clWhite;
    m_chartColor = clWhite;
    m_chartFrameColor = clBlack;
    m_gridStyle = gsLines;
    m_gridColor = clSilver;
    m_gridDx = 0.0;
    m_gridDy = 0.0;
    m_shadowStyle = ssBox;
    m_shadowColor = clGray;
    m_shadowBakColor = clBtnFace;
    m_captionPosX = 0;
    m_captionPosY = -28;
    m_captionAlignment = taCenter;
    m_captionAnchorHoriz = cahChartCenter;
    m_captionAnchorVert = cavChartTop;
    m_font = TChartFont{"Tahoma", -15, clBlack};
    ApplyFormScaleSettings();
}

void PlotChartCore::SaveItemsToFile(const std::string& FileName) const {
    WriteSessionFile(FileName, m_store.Items());
}

void PlotChartCore::LoadItemsFromFile(const std::string& FileName, bool Append) {
    // Everything is read before the store changes, so a failing file leaves it as it was.
    RecordBuffer records = ReadSessionFile(FileName);
    if (!Append) {
        m_store.Clear();
        m_lastShownIndex = 0;
    }
    m_store.AppendRecords(std::move(records));
    Paint();
}
