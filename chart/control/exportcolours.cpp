// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/control/exportcolours.h"

#include "chart/core/plotchartcore.h"

namespace {

TScaleProps& propsOf(PlotChartCore& chart, int i) {
    return chart.ScaleProps(i / 2 + 1, i % 2 == 0 ? TAxis::X : TAxis::Y);
}

} // namespace

ExportColours ExportColours::Of(PlotChartCore& chart) {
    ExportColours set;
    set.Wind = chart.WindColor();
    set.Chart = chart.ChartColor();
    set.Frame = chart.ChartFrameColor();
    set.FontColor = chart.Font().Color;
    set.Shadow = chart.ShadowColor();
    set.ShadowBak = chart.ShadowBakColor();
    for (int i = 0; i < kAxisCount; ++i) {
        const TScaleProps& props = propsOf(chart, i);
        set.AxisColor[static_cast<std::size_t>(i)] = props.ColorScale();
        set.AxisFont[static_cast<std::size_t>(i)] = props.Font().Color;
    }
    return set;
}

ExportColours ExportColours::Monochrome() {
    ExportColours set;
    set.Wind = clWhite;
    set.Chart = clWhite;
    set.Frame = clBlack;
    set.FontColor = clBlack;
    set.Shadow = clSilver;
    set.ShadowBak = clWhite;
    set.AxisColor.fill(clBlack);
    set.AxisFont.fill(clBlack);
    return set;
}

void ExportColours::ApplyTo(PlotChartCore& chart) const {
    chart.SetWindColor(Wind);
    chart.SetChartColor(Chart);
    chart.SetChartFrameColor(Frame);
    if (chart.Font().Color != FontColor) {
        TChartFont font = chart.Font();
        font.Color = FontColor;
        chart.SetFont(font);
    }
    chart.SetShadowColor(Shadow);
    chart.SetShadowBakColor(ShadowBak);
    for (int i = 0; i < kAxisCount; ++i) {
        TScaleProps& props = propsOf(chart, i);
        // Each setter re-applies the settings to the axis painter.
        if (props.ColorScale() != AxisColor[static_cast<std::size_t>(i)]) {
            props.SetColorScale(AxisColor[static_cast<std::size_t>(i)]);
        }
        if (props.Font().Color != AxisFont[static_cast<std::size_t>(i)]) {
            TChartFont font = props.Font();
            font.Color = AxisFont[static_cast<std::size_t>(i)];
            props.SetFont(font);
        }
    }
}
