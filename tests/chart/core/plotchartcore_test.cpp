// SPDX-License-Identifier: GPL-3.0-or-later
// The windowless chart: how appends stamp the drawing state, which values the setters ignore,
// and the paint bookkeeping that the widget and the sample pipeline rely on.
#include "chart/core/plotchartcore.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// Records which hooks ran, in order.
class RecordingChart : public PlotChartCore {
public:
    bool showing = true;
    std::vector<std::string> calls;

    bool IsShowing() const override { return showing; }
    void Paint() override { calls.push_back("Paint"); }
    void PaintPlotBackground() override { calls.push_back("Background"); }

protected:
    void RepaintPlot() override { calls.push_back("RepaintPlot"); }
    void PaintItemsOver(bool withGrid) override {
        calls.push_back(withGrid ? "ItemsWithGrid" : "Items");
    }
};

TEST(PlotChartCore, AppendsStampTheDrawingStateAndWriteOnlyTheirFields) {
    PlotChartCore chart;
    chart.SetDataColor(clBlue);
    chart.SetFillColor(clRed);
    chart.SetPenStyle(psDot);
    chart.SetLineWidth(3);
    chart.SetClassDefault(7);
    chart.SetActiveLayer(2);

    chart.AddMoveTo(0, 5);
    const ChartItem& move = chart.Item(0);
    EXPECT_EQ(move.X, 0.0);
    EXPECT_EQ(move.Y, 5.0);
    EXPECT_EQ(move.Kind, ikMoveTo);
    EXPECT_EQ(move.Layer, 2);
    EXPECT_EQ(move.Color, clBlue);
    EXPECT_EQ(move.FillColor, 0); // untouched fresh slot
    EXPECT_EQ(move.X2, 0.0);
    EXPECT_EQ(move.PenStyle, psDot);
    EXPECT_EQ(move.LineWidth, 3);
    EXPECT_EQ(move.ItemClass, 7);
    EXPECT_EQ(move.Reserved, 0);

    chart.AddDrawTo(1, 6);
    EXPECT_EQ(chart.Item(1).Kind, ikDrawTo);
    EXPECT_EQ(chart.Item(1).FillColor, clRed);
    EXPECT_EQ(chart.Item(1).X2, 0.0);

    chart.AddLine(10, 1, 9, 2);
    const ChartItem& line = chart.Item(2);
    EXPECT_EQ(line.Kind, ikLine);
    EXPECT_EQ(line.X, 10.0);
    EXPECT_EQ(line.Y, 1.0);
    EXPECT_EQ(line.X2, 9.0);
    EXPECT_EQ(line.Y2, 2.0);
    EXPECT_EQ(line.FillColor, clRed);
}

TEST(PlotChartCore, FirstAppendAllocatesAllocSizeAndTheNextStepDoublesIt) {
    PlotChartCore chart;
    chart.SetAllocSize(4);
    EXPECT_EQ(chart.ItemCapacity(), 0);
    chart.AddMoveTo(0, 0);
    EXPECT_EQ(chart.ItemCapacity(), 4);
    for (int i = 1; i < 5; ++i) {
        chart.AddDrawTo(i, i);
    }
    EXPECT_EQ(chart.ItemCapacity(), 8);
    EXPECT_EQ(chart.ItemCount(), 5);
}

TEST(PlotChartCore, OutOfRangeValuesAreIgnored) {
    PlotChartCore chart;
    chart.SetAllocSize(0);
    chart.SetAllocSize(-5);
    chart.SetAllocSize(1000001);
    EXPECT_EQ(chart.AllocSize(), 1000);
    chart.SetActiveLayer(0);
    chart.SetActiveLayer(17);
    EXPECT_EQ(chart.ActiveLayer(), 1);
    chart.AddMoveTo(1, 1);
    EXPECT_EQ(chart.Item(0).Layer, 1);
    chart.SetClassDefault(255);
    chart.SetClassDefault(-1);
    EXPECT_EQ(chart.ClassDefault(), 0);
    chart.SetLineWidth(256);
    chart.SetLineWidth(-1);
    EXPECT_EQ(chart.LineWidth(), 1);
    chart.SetPenStyle(static_cast<TPenStyle>(7));
    EXPECT_EQ(chart.PenStyle(), psSolid);
    chart.SetGridStyle(static_cast<GridStyleType>(8));
    chart.SetGridStyle(static_cast<GridStyleType>(-1));
    EXPECT_EQ(chart.GridStyle(), gsNone);
    chart.SetGridDx(-1);
    chart.SetGridDy(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(chart.GridDx(), 0.0);
    EXPECT_EQ(chart.GridDy(), 0.0);
    chart.SetLayerMouseControl(0, true);
    chart.SetLayerMouseControl(17, true);
    EXPECT_FALSE(chart.LayerMouseControl(0));
    EXPECT_FALSE(chart.LayerMouseControl(17));
    chart.DeleteItem(1);
    chart.DeleteItem(-1);
    EXPECT_EQ(chart.ItemCount(), 1);
}

TEST(PlotChartCore, LayerMouseControlDefaultsToLayerOneOnly) {
    PlotChartCore chart;
    EXPECT_TRUE(chart.LayerMouseControl(1));
    for (int layer = 2; layer <= 16; ++layer) {
        EXPECT_FALSE(chart.LayerMouseControl(layer)) << layer;
    }
    chart.SetLayerMouseControl(2, true);
    chart.SetLayerMouseControl(1, false);
    EXPECT_TRUE(chart.LayerMouseControl(2));
    EXPECT_FALSE(chart.LayerMouseControl(1));
}

TEST(PlotChartCore, DeleteFirstItemEdgeCases) {
    PlotChartCore chart;
    chart.DeleteFirstItem();
    EXPECT_EQ(chart.ItemCount(), 0);
    chart.AddMoveTo(1, 0);
    chart.DeleteFirstItem();
    EXPECT_EQ(chart.ItemCount(), 0);
    EXPECT_EQ(chart.ItemCapacity(), 0);
    chart.AddMoveTo(1, 0); // A
    chart.AddMoveTo(2, 0); // B
    chart.AddMoveTo(3, 0); // C
    chart.DeleteFirstItem();
    ASSERT_EQ(chart.ItemCount(), 2);
    EXPECT_EQ(chart.Item(0).X, 2.0);
    EXPECT_EQ(chart.Item(1).X, 3.0);
}

TEST(PlotChartCore, ReusedSlotKeepsTheBytesAMoveToDoesNotWrite) {
    PlotChartCore chart;
    chart.SetFillColor(0x123456);
    chart.AddLine(1, 2, 3, 4);
    chart.AddLine(5, 6, 7, 8);
    chart.DeleteItem(0); // slot 1 keeps the second line
    chart.AddMoveTo(9, 9);
    const ChartItem& reused = chart.Item(1);
    EXPECT_EQ(reused.Kind, ikMoveTo);
    EXPECT_EQ(reused.X, 9.0);
    EXPECT_EQ(reused.X2, 7.0);
    EXPECT_EQ(reused.Y2, 8.0);
    EXPECT_EQ(reused.FillColor, 0x123456);
}

TEST(PlotChartCore, SuspendPaintRepaintsOnceWhenLifted) {
    RecordingChart chart;
    EXPECT_TRUE(chart.PaintSuspended());
    chart.SuspendPaint(false);
    chart.SuspendPaint(true);
    chart.SuspendPaint(true);
    chart.SuspendPaint(false);
    chart.SuspendPaint(false);
    EXPECT_EQ(chart.calls, (std::vector<std::string>{"Paint", "Paint"}));
}

TEST(PlotChartCore, RedrawSetsLastShownIndexOnlyWhenShowing) {
    RecordingChart chart;
    chart.SetAutoRedraw(false);
    chart.AddMoveTo(0, 0);
    chart.AddDrawTo(1, 1);
    chart.showing = false;
    chart.Redraw();
    chart.RedrawItems();
    EXPECT_EQ(chart.LastShownIndex(), 0);
    EXPECT_TRUE(chart.calls.empty());
    chart.showing = true;
    chart.Redraw();
    EXPECT_EQ(chart.LastShownIndex(), 1);
    EXPECT_EQ(chart.calls, (std::vector<std::string>{"Paint"}));
    chart.SetAutoRedraw(true);
    chart.calls.clear();
    chart.Redraw();
    EXPECT_EQ(chart.calls, (std::vector<std::string>{"RepaintPlot"}));
}

// The grid goes with the items only while the remembered index is 0.
TEST(PlotChartCore, RedrawItemsDrawsTheGridOnlyAfterAClearOrAOneItemShow) {
    RecordingChart chart;
    chart.SetAutoRedraw(false);
    chart.AddMoveTo(0, 0);
    chart.AddDrawTo(1, 1);
    chart.ClearItems();
    EXPECT_EQ(chart.LastShownIndex(), 0);
    chart.RedrawItems(); // index 0 -> grid; shows 0 items -> -1
    EXPECT_EQ(chart.LastShownIndex(), -1);
    chart.RedrawItems(); // -1 -> no grid
    chart.AddMoveTo(0, 0);
    chart.RedrawItems(); // -1 -> no grid; one item -> 0
    chart.RedrawItems(); // 0 -> grid
    chart.AddDrawTo(1, 1);
    chart.RedrawItems(); // 0 -> grid; two items -> 1
    chart.RedrawItems(); // 1 -> no grid
    EXPECT_EQ(chart.calls,
              (std::vector<std::string>{"Background", "ItemsWithGrid", "Items", "Items",
                                        "ItemsWithGrid", "ItemsWithGrid", "Items"}));
}

TEST(PlotChartCore, SettersRepaintOnlyWithAutoRedraw) {
    RecordingChart chart;
    chart.SetGridStyle(gsLines); // AutoRedraw is on by default
    EXPECT_EQ(chart.calls, (std::vector<std::string>{"Paint"}));
    chart.calls.clear();
    chart.SetAutoRedraw(false);
    chart.SetGridStyle(gsNone);
    chart.SetCaption("x");
    chart.SetWindColor(clRed);
    chart.SetActiveLayer(2);
    chart.SetDataColor(clBlue);
    EXPECT_TRUE(chart.calls.empty());
}

TEST(PlotChartCore, FormSettingsGiveTheWindowsChart) {
    RecordingChart chart;
    chart.ApplyFormChartSettings();
    EXPECT_EQ(chart.AllocSize(), 110000);
    EXPECT_FALSE(chart.AutoRedraw());
    EXPECT_EQ(chart.WindColor(), clWhite);
    EXPECT_EQ(chart.ChartColor(), 0xFFFFFF);
    EXPECT_EQ(chart.ChartFrameColor(), clBlack);
    EXPECT_EQ(chart.GridStyle(), gsLines);
    EXPECT_EQ(chart.GridColor(), clSilver);
    EXPECT_EQ(chart.ShadowStyle(), ssBox);
    EXPECT_EQ(chart.ShadowColor(), clGray);
    EXPECT_EQ(chart.ShadowBakColor(), clBtnFace);
    EXPECT_EQ(chart.CaptionPosX(), 0);
    EXPECT_EQ(chart.CaptionPosY(), -28);
    EXPECT_EQ(chart.CaptionAlignment(), taCenter);
    EXPECT_EQ(chart.CaptionAnchorHoriz(), cahChartCenter);
    EXPECT_EQ(chart.CaptionAnchorVert(), cavChartTop);
    EXPECT_EQ(chart.Font().Name, "Tahoma");
    EXPECT_EQ(chart.Font().Height, -15);
    EXPECT_EQ(chart.Font().Color, clBlack);
    EXPECT_EQ(chart.DataColor(), clBlack);
    EXPECT_EQ(chart.FillColor(), clSilver);
    EXPECT_EQ(chart.ActiveLayer(), 1);
    EXPECT_EQ(chart.ClassDefault(), 0);
    EXPECT_EQ(chart.LastShownIndex(), 0);
    EXPECT_TRUE(chart.PaintSuspended());
}

TEST(PlotChartCore, ChartDefaultsBeforeTheFormIsApplied) {
    PlotChartCore chart;
    EXPECT_TRUE(chart.AutoRedraw());
    EXPECT_EQ(chart.WindColor(), clBtnFace);
    EXPECT_EQ(chart.GridStyle(), gsNone);
    EXPECT_EQ(chart.ShadowStyle(), ssFlying);
    EXPECT_EQ(chart.ShadowColor(), clBtnShadow);
    EXPECT_EQ(chart.CaptionPosY(), -15);
    EXPECT_EQ(chart.CaptionAlignment(), taRightJustify);
    EXPECT_EQ(chart.CaptionAnchorHoriz(), cahChartRight);
    EXPECT_EQ(chart.AllocSize(), 1000);
    EXPECT_LT(clBtnFace, 0); // system colours are negative
}

} // namespace
