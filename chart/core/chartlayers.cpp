#include "chart/core/chartlayers.h"

#include <algorithm>

ChartLayers::ChartLayers() {
    for (int n = 1; n <= kLayerCount; ++n) {
        Layer& l = m_layers[static_cast<std::size_t>(n - 1)];
        l.X = std::make_unique<TScalePropsHoriz>(n);
        l.Y = std::make_unique<TScalePropsVert>(n);
        l.XControlledBy = n;
        l.YControlledBy = n;
    }
}

ChartLayers::~ChartLayers() = default;

ChartLayers::Layer& ChartLayers::layerAt(int layer) {
    return m_layers[static_cast<std::size_t>(std::clamp(layer, 1, kLayerCount) - 1)];
}
const ChartLayers::Layer& ChartLayers::layerAt(int layer) const {
    return m_layers[static_cast<std::size_t>(std::clamp(layer, 1, kLayerCount) - 1)];
}

TScalePropsHoriz& ChartLayers::ScaleX(int layer) {
    return *layerAt(layer).X;
}
TScalePropsVert& ChartLayers::ScaleY(int layer) {
    return *layerAt(layer).Y;
}
const TScalePropsHoriz& ChartLayers::ScaleX(int layer) const {
    return *layerAt(layer).X;
}
const TScalePropsVert& ChartLayers::ScaleY(int layer) const {
    return *layerAt(layer).Y;
}
TScaleProps& ChartLayers::ScaleProps(int layer, TAxis axis) {
    return axis == TAxis::X ? static_cast<TScaleProps&>(ScaleX(layer)) : ScaleY(layer);
}
TScale& ChartLayers::Scale(int layer, TAxis axis) {
    return axis == TAxis::X ? layerAt(layer).ScaleX : layerAt(layer).ScaleY;
}
const TScale& ChartLayers::Scale(int layer, TAxis axis) const {
    return axis == TAxis::X ? layerAt(layer).ScaleX : layerAt(layer).ScaleY;
}
AxisDrawing ChartLayers::LayoutAxis(int layer, TAxis axis, const TextMeasure& measure) {
    return Scale(layer, axis).Layout(measure);
}
void ChartLayers::SetControlSize(int width, int height) {
    m_width = width;
    m_height = height;
}
void ChartLayers::SetMarginLeft(int value) {
    m_marginLeft = value;
}
void ChartLayers::SetMarginRight(int value) {
    m_marginRight = value;
}
void ChartLayers::SetMarginTop(int value) {
    m_marginTop = value;
}
void ChartLayers::SetMarginBottom(int value) {
    m_marginBottom = value;
}
void ChartLayers::SetShadowWidth(int value) {
    m_shadowWidth = value;
}
PlotRect ChartLayers::PlotArea() const {
    return {m_marginLeft, m_marginTop, m_width - m_marginRight - m_shadowWidth,
            m_height - m_marginBottom - m_shadowWidth};
}
int ChartLayers::PlotWidth() const {
    return m_width - m_marginLeft - m_marginRight - m_shadowWidth;
}
int ChartLayers::PlotHeight() const {
    return m_height - m_marginTop - m_marginBottom - m_shadowWidth;
}
bool ChartLayers::IsInsidePlot(int x, int y) const {
    const PlotRect r = PlotArea();
    return x >= r.Left && x <= r.Right && y >= r.Top && y <= r.Bottom;
}
void ChartLayers::SetLayerRange(int, double, double, double, double) {}
void ChartLayers::ApplyLayerRange(int, double, double, double, double) {}
void ChartLayers::ScalePropsChanged() {}
void ChartLayers::ApplyScaleProps(int, TAxis) {}
void ChartLayers::ComputeLayerTransforms() {}
bool ChartLayers::DataToPixel(int, double, double, int& pixelX, int& pixelY) const {
    pixelX = pixelY = 0;
    return true;
}
bool ChartLayers::PixelToData(int, int, int, double&, double&) const {
    return false;
}
int ChartLayers::XControlledBy(int layer) const {
    return layerAt(layer).XControlledBy;
}
int ChartLayers::YControlledBy(int layer) const {
    return layerAt(layer).YControlledBy;
}
void ChartLayers::SetXControlledBy(int, int) {}
void ChartLayers::SetYControlledBy(int, int) {}
void ChartLayers::BeginLoading() {
    m_loading = true;
}
void ChartLayers::EndLoading() {
    m_loading = false;
}
void ChartLayers::SuspendPaint(bool suspend) {
    if (suspend == m_paintSuspended)
        return;
    m_paintSuspended = suspend;
    if (!suspend)
        Paint();
}
void ChartLayers::ApplyFormScaleSettings() {}
long double ChartLayers::Kx(int layer) const {
    return layerAt(layer).T.Kx;
}
long double ChartLayers::Ky(int layer) const {
    return layerAt(layer).T.Ky;
}
long double ChartLayers::Ox(int layer) const {
    return layerAt(layer).T.Ox;
}
long double ChartLayers::Oy(int layer) const {
    return layerAt(layer).T.Oy;
}
void ChartLayers::applyAllScaleProps() {}
void ChartLayers::geometryChanged() {}
void ChartLayers::storeAxisRange(TScaleProps&, double, double) {}
void ChartLayers::setControlledBy(int, TAxis, int) {}
