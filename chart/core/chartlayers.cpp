// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/core/chartlayers.h"

#include "base/exception.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <string>

namespace {

constexpr long double kPixelLimit = 2147483647.0L;
constexpr double kLogFloor = 1e-100;
constexpr TColor kBlack = 0x000000;
constexpr TColor kMaroon = 0x000080;

int roundPixel(long double v) {
    // Clamp first so the conversion is defined; lrint rounds halves to even (the default
    // rounding mode) and, unlike nearbyint, does not save and restore the FPU environment.
    return static_cast<int>(std::lrint(std::clamp(v, -kPixelLimit, kPixelLimit)));
}

double toDouble(long double v) {
    if (v > static_cast<long double>(DBL_MAX))
        return HUGE_VAL;
    if (v < -static_cast<long double>(DBL_MAX))
        return -HUGE_VAL;
    return static_cast<double>(v);
}

// Widens an empty request by MinRange / 2 to each side. Rounding can leave the result a few
// units in the last place short of MinRange (10 ± 5e-11 is), or unchanged for large values,
// which would make the range test refuse it; such bounds move outward by single ulps until the
// span is MinRange.
void widenToMinRange(double& low, double& high, double minRange) {
    high += minRange / 2;
    low -= minRange / 2;
    for (int i = 0; i < 64 && std::isfinite(high - low) && std::fabs(high - low) < minRange; ++i) {
        low = std::nextafter(low, -HUGE_VAL);
        high = std::nextafter(high, HUGE_VAL);
    }
}

bool validLayer(int layer) {
    return layer >= 1 && layer <= ChartLayers::kLayerCount;
}

// Restores the paint gate on every exit; painting itself is up to the caller.
class PaintGate {
public:
    explicit PaintGate(ChartLayers& chart) : m_chart(chart), m_was(chart.PaintSuspended()) {
        chart.SetPaintSuspended(true);
    }
    ~PaintGate() {
        if (!m_released)
            m_chart.SetPaintSuspended(m_was);
    }
    PaintGate(const PaintGate&) = delete;
    PaintGate& operator=(const PaintGate&) = delete;
    bool Was() const { return m_was; }
    // Hands the restore to the caller (which then calls SuspendPaint or sets the flag).
    void Release() { m_released = true; }

private:
    ChartLayers& m_chart;
    bool m_was;
    bool m_released = false;
};

} // namespace

ChartLayers::ChartLayers() {
    for (int n = 1; n <= kLayerCount; ++n) {
        Layer& l = m_layers[static_cast<std::size_t>(n - 1)];
        l.X = std::make_unique<TScalePropsHoriz>(n);
        l.Y = std::make_unique<TScalePropsVert>(n);
        l.X->OnChange = [this] { ScalePropsChanged(); };
        l.Y->OnChange = [this] { ScalePropsChanged(); };
        l.X->WatchTransformInputs(&m_transformsToCheck, 1u << (n - 1));
        l.Y->WatchTransformInputs(&m_transformsToCheck, 1u << (n - 1));
        m_joins[static_cast<std::size_t>(n - 1)] = {n, n};
    }
    applyAllScaleProps();
    ComputeLayerTransforms();
}

ChartLayers::~ChartLayers() = default;

ChartLayers::Layer& ChartLayers::layerAt(int layer) {
    return m_layers[static_cast<std::size_t>(std::clamp(layer, 1, kLayerCount) - 1)];
}
const ChartLayers::Layer& ChartLayers::layerAt(int layer) const {
    return m_layers[static_cast<std::size_t>(std::clamp(layer, 1, kLayerCount) - 1)];
}
ChartLayers::Joins& ChartLayers::joinsAt(int layer) {
    return m_joins[static_cast<std::size_t>(std::clamp(layer, 1, kLayerCount) - 1)];
}
const ChartLayers::Joins& ChartLayers::joinsAt(int layer) const {
    return m_joins[static_cast<std::size_t>(std::clamp(layer, 1, kLayerCount) - 1)];
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
    PaintGate gate(*this);
    m_width = std::max(width, m_marginLeft + m_marginRight + m_shadowWidth + 80);
    m_height = std::max(height, m_marginTop + m_marginBottom + m_shadowWidth + 20);
    applyAllScaleProps();
    ComputeLayerTransforms();
}

void ChartLayers::geometryChanged() {
    PlotAreaChanged();
    applyAllScaleProps();
    ComputeLayerTransforms();
    AutoRedrawRequest();
}

// Negative margins would put the plot area outside its own image; they are ignored like other
// out-of-range property values.
void ChartLayers::SetMarginLeft(int value) {
    if (value < 0)
        return;
    m_marginLeft = value;
    geometryChanged();
}
void ChartLayers::SetMarginRight(int value) {
    if (value < 0)
        return;
    m_marginRight = value;
    geometryChanged();
}
void ChartLayers::SetMarginTop(int value) {
    if (value < 0)
        return;
    m_marginTop = value;
    geometryChanged();
}
void ChartLayers::SetMarginBottom(int value) {
    if (value < 0)
        return;
    m_marginBottom = value;
    geometryChanged();
}
void ChartLayers::SetShadowWidth(int value) {
    if (value < 0)
        return;
    m_shadowWidth = value;
    geometryChanged();
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

void ChartLayers::SetLayerRange(int layer, double xLow, double yLow, double xHigh, double yHigh) {
    if (layer < 0 || layer > kLayerCount)
        return;
    const int from = layer == 0 ? 1 : layer;
    const int to = layer == 0 ? kLayerCount : layer;
    for (int l = from; l <= to; ++l) {
        double xl = xLow, xh = xHigh, yl = yLow, yh = yHigh;
        const TScaleProps& px = ScaleX(l);
        const TScaleProps& py = ScaleY(l);
        if (xl == xh) {
            if (px.Logarithmic()) {
                xh *= 1.1;
                xl /= 1.1;
            } else {
                widenToMinRange(xl, xh, px.MinRange());
            }
        }
        if (yl == yh) {
            if (py.Logarithmic()) {
                yh *= 1.1;
                yl /= 1.1;
            } else {
                widenToMinRange(yl, yh, py.MinRange());
            }
        }
        ApplyLayerRange(l, xl, yl, xh, yh);
    }
    AutoRedrawRequest();
}

void ChartLayers::storeAxisRange(TScaleProps& props, double low, double high) {
    // A NaN or infinite bound would make the layer's transform NaN; refuse it like a request
    // narrower than MinRange.
    if (!std::isfinite(low) || !std::isfinite(high) || !std::isfinite(high - low))
        return;
    if (!(std::fabs(high - low) >= props.MinRange()))
        return;
    if (props.Logarithmic()) {
        if (low >= kLogFloor)
            props.StoreRangeLow(low);
        if (high >= kLogFloor)
            props.StoreRangeHigh(high);
    } else {
        props.StoreRangeLow(low);
        props.StoreRangeHigh(high);
    }
}

void ChartLayers::ApplyLayerRange(int layer, double xLow, double yLow, double xHigh, double yHigh) {
    if (!validLayer(layer))
        return;
    PaintGate gate(*this);
    Layer& l = layerAt(layer);
    const Joins& joins = joinsAt(layer);
    if (joins.X != layer) {
        xLow = l.X->RangeLow();
        xHigh = l.X->RangeHigh();
    }
    if (joins.Y != layer) {
        yLow = l.Y->RangeLow();
        yHigh = l.Y->RangeHigh();
    }
    storeAxisRange(*l.X, xLow, xHigh);
    storeAxisRange(*l.Y, yLow, yHigh);
    ApplyScaleProps(layer, TAxis::X);
    ApplyScaleProps(layer, TAxis::Y);
    ComputeLayerTransforms();

    for (int n = 1; n <= kLayerCount; ++n) {
        const Joins& follower = joinsAt(n);
        if (n == layer || (follower.X != layer && follower.Y != layer))
            continue;
        Layer& m = layerAt(n);
        const TScaleProps& cx = *layerAt(follower.X).X;
        const TScaleProps& cy = *layerAt(follower.Y).Y;
        storeAxisRange(*m.X, cx.RangeLow(), cx.RangeHigh());
        storeAxisRange(*m.Y, cy.RangeLow(), cy.RangeHigh());
        ApplyScaleProps(n, TAxis::X);
        ApplyScaleProps(n, TAxis::Y);
        ComputeLayerTransforms();
    }
    gate.Release();
    SuspendPaint(gate.Was());
}

void ChartLayers::ScalePropsChanged() {
    PaintGate gate(*this);
    applyAllScaleProps();
    for (int n = 1; n <= kLayerCount; ++n) {
        const Layer& l = layerAt(n);
        ApplyLayerRange(n, l.X->RangeLow(), l.Y->RangeLow(), l.X->RangeHigh(), l.Y->RangeHigh());
    }
    gate.Release();
    SetPaintSuspended(gate.Was());
    Paint();
}

void ChartLayers::applyAllScaleProps() {
    for (int n = 1; n <= kLayerCount; ++n) {
        ApplyScaleProps(n, TAxis::X);
        ApplyScaleProps(n, TAxis::Y);
    }
}

void ChartLayers::ApplyScaleProps(int layer, TAxis axis) {
    if (!validLayer(layer))
        return;
    const TScaleProps& p = ScaleProps(layer, axis);
    TScale& s = Scale(layer, axis);
    const int pos = p.ScalePos();
    s.Type = p.SideCode();
    s.Width = m_width;
    s.Height = m_height;
    if (s.IsHorizontal()) {
        s.MarginLeft = m_marginLeft;
        s.MarginRight = m_marginRight + m_shadowWidth - 1;
        if (s.Type == sctXB)
            s.MarginBottom = pos + m_height - m_marginTop - 1;
        else
            s.MarginTop = pos + m_height - m_marginBottom - m_shadowWidth;
    } else {
        s.MarginTop = m_marginTop;
        s.MarginBottom = m_marginBottom + m_shadowWidth - 1;
        if (s.Type == sctYL)
            s.MarginLeft = pos + m_width - m_marginRight - m_shadowWidth;
        else
            s.MarginRight = pos + m_width - m_marginLeft - 1;
    }
    s.SetRangeLow(p.RangeLow());
    s.SetRangeHigh(p.RangeHigh());
    s.Visible = p.Visible();
    s.Caption = p.Caption();
    s.CaptionPosX = p.CaptionPosX();
    s.CaptionPosY = p.CaptionPosY();
    s.CaptionAlignment = p.CaptionAlignment();
    s.CaptionAnchor = p.CaptionAnchor();
    s.ColorScale = p.ColorScale();
    s.SetDecPlaces(p.DecPlaces());
    s.Logarithmic = p.Logarithmic();
    s.LabelType = p.LabelType();
    s.ShortTicks = p.ShortTicks();
    s.SetMinTicks(p.MinTicks());
    s.ScaleInscript = p.ScaleInscript();
    s.UserTickText = p.UserTickText();
    s.Font = p.Font();
    s.DateFormat = p.DateFormat();
}

void ChartLayers::ComputeLayerTransforms() {
    if (m_loading)
        return;
    const Geometry size{m_width,     m_height,       m_marginLeft, m_marginRight,
                        m_marginTop, m_marginBottom, m_shadowWidth};
    if (!(size == m_transformGeometry)) {
        m_transformGeometry = size;
        m_transformsToCheck = (1u << kLayerCount) - 1;
        m_extent.W = m_width;
        m_extent.H = m_height;
        m_extent.A = m_width - m_marginLeft - m_marginRight - m_shadowWidth;
        m_extent.B = m_height - m_marginTop - m_marginBottom - m_shadowWidth;
        m_extent.XEnd = m_width - m_marginRight - m_shadowWidth;
        m_extent.YEnd = m_height - m_marginBottom - m_shadowWidth;
        m_extent.Left = m_marginLeft;
        m_extent.Top = m_marginTop;
    }
    // A layer whose bit is clear has the inputs it last passed the check below with, and the
    // transform they give: in layer order, the first layer that fails the check is among the
    // marked ones. A failure leaves that layer and the ones after it marked.
    if (m_transformsToCheck == 0)
        return;
    const Extent& e = m_extent;
    const auto sameBits = [](double u, double v) {
        return std::bit_cast<std::uint64_t>(u) == std::bit_cast<std::uint64_t>(v);
    };
    while (m_transformsToCheck != 0) {
        const int index = std::countr_zero(m_transformsToCheck);
        Layer& l = m_layers[static_cast<std::size_t>(index)];
        long double xlo = l.X->RangeLow(), xhi = l.X->RangeHigh();
        long double ylo = l.Y->RangeLow(), yhi = l.Y->RangeHigh();
        if ((l.X->Logarithmic() && !(xlo > 0 && xhi > 0)) ||
            (l.Y->Logarithmic() && !(ylo > 0 && yhi > 0)))
            throw EChartError("Logarithmic axis must not be negative.");
        const Transform::Inputs from{l.X->RangeLow(),
                                     l.X->RangeHigh(),
                                     l.Y->RangeLow(),
                                     l.Y->RangeHigh(),
                                     l.X->Logarithmic(),
                                     l.Y->Logarithmic(),
                                     size};
        m_transformsToCheck &= ~(1u << index);
        // The same inputs give the same transform (NaN bounds never compare equal).
        if (l.T.Computed && l.T.From == from)
            continue;
        // An axis whose inputs are the very bits it was computed from keeps its half: the
        // computation would give the same bits again.
        const bool keepX = l.T.Computed && l.T.From.Size == size && l.T.From.XLog == from.XLog &&
                           sameBits(l.T.From.XLow, from.XLow) &&
                           sameBits(l.T.From.XHigh, from.XHigh);
        const bool keepY = l.T.Computed && l.T.From.Size == size && l.T.From.YLog == from.YLog &&
                           sameBits(l.T.From.YLow, from.YLow) &&
                           sameBits(l.T.From.YHigh, from.YHigh);
        l.T.From = from;
        l.T.Computed = true;
        if (!keepX) {
            if (from.XLog) {
                xlo = std::log(xlo);
                xhi = std::log(xhi);
            }
            // An empty range (possible only with MinRange 0) is treated like an empty plot area.
            if (e.A <= 0 || xhi == xlo) {
                l.T.Kx = 0;
                l.T.Ox = e.W / 2;
            } else {
                l.T.Kx = e.A / (xhi - xlo);
                l.T.Ox = (e.Left * xhi - e.XEnd * xlo) / (xhi - xlo);
            }
            l.T.dKx = toDouble(l.T.Kx);
            l.T.dOx = toDouble(l.T.Ox);
        }
        if (!keepY) {
            if (from.YLog) {
                ylo = std::log(ylo);
                yhi = std::log(yhi);
            }
            if (e.B <= 0 || yhi == ylo) {
                l.T.Ky = 0;
                l.T.Oy = e.H / 2;
            } else {
                l.T.Ky = -e.B / (yhi - ylo);
                l.T.Oy = (e.YEnd * yhi - e.Top * ylo) / (yhi - ylo);
            }
            l.T.dKy = toDouble(l.T.Ky);
            l.T.dOy = toDouble(l.T.Oy);
        }
        l.T.Fast = l.T.Kx != 0 && l.T.Ky != 0 && std::isfinite(l.T.dKx) && std::isfinite(l.T.dOx) &&
                   std::isfinite(l.T.dKy) && std::isfinite(l.T.dOy);
    }
}

bool ChartLayers::DataToPixel(int layer, double x, double y, int& pixelX, int& pixelY) const {
    pixelX = pixelY = 0;
    if (std::isnan(x) || std::isnan(y))
        return false;
    const Layer& l = layerAt(layer);
    // Data items are converted by the thousand per repaint: double precision wherever it gives
    // the very pixel the long double computation below gives.
    if (FastMappingOf(layer).Pixel(x, y, pixelX, pixelY)) {
        return true;
    }
    long double px = 0, py = 0;
    if (l.X->Logarithmic()) {
        if (x > kLogFloor)
            px = l.T.Kx * std::log(static_cast<long double>(x)) + l.T.Ox;
        else
            px = l.X->RangeHigh() >= l.X->RangeLow() ? 0 : m_width;
    } else {
        // A zero factor (empty plot area) must not meet an infinite x: 0 · ∞ is NaN.
        px = l.T.Kx == 0 ? l.T.Ox : l.T.Kx * x + l.T.Ox;
    }
    if (l.Y->Logarithmic()) {
        if (y > kLogFloor)
            py = l.T.Ky * std::log(static_cast<long double>(y)) + l.T.Oy;
        else
            py = l.Y->RangeHigh() >= l.Y->RangeLow() ? m_height : 0;
    } else {
        py = l.T.Ky == 0 ? l.T.Oy : l.T.Ky * y + l.T.Oy;
    }
    if (std::isnan(px) || std::isnan(py))
        return false;
    pixelX = roundPixel(px);
    pixelY = roundPixel(py);
    return true;
}

ChartLayers::FastMapping ChartLayers::FastMappingOf(int layer) const {
    const Layer& l = layerAt(layer);
    return FastMapping{l.T.dKx,
                       l.T.dOx,
                       l.T.dKy,
                       l.T.dOy,
                       FastMapping::ToleranceFor(l.T.dOx),
                       FastMapping::ToleranceFor(l.T.dOy),
                       l.T.Fast && !l.X->Logarithmic() && !l.Y->Logarithmic()};
}

bool ChartLayers::PixelToData(int layer, int pixelX, int pixelY, double& x, double& y) const {
    const Layer& l = layerAt(layer);
    if (l.T.Kx == 0 || l.T.Ky == 0)
        return false;
    long double u = (pixelX - l.T.Ox) / l.T.Kx;
    long double v = (pixelY - l.T.Oy) / l.T.Ky;
    if (l.X->Logarithmic())
        u = std::exp(u);
    if (l.Y->Logarithmic())
        v = std::exp(v);
    x = toDouble(u);
    y = toDouble(v);
    return true;
}

int ChartLayers::XControlledBy(int layer) const {
    return joinsAt(layer).X;
}
int ChartLayers::YControlledBy(int layer) const {
    return joinsAt(layer).Y;
}
void ChartLayers::SetXControlledBy(int layer, int controller) {
    setControlledBy(layer, TAxis::X, controller);
}
void ChartLayers::SetYControlledBy(int layer, int controller) {
    setControlledBy(layer, TAxis::Y, controller);
}

void ChartLayers::setControlledBy(int layer, TAxis axis, int controller) {
    if (!validLayer(layer))
        return;
    const auto link = [axis](Joins& j) -> int& { return axis == TAxis::X ? j.X : j.Y; };
    if (!validLayer(controller))
        throw EChartError("Destination layer " + std::to_string(controller) + " is out of range");
    if (controller == layer) {
        link(joinsAt(layer)) = layer;
        return;
    }
    if (link(joinsAt(controller)) != controller)
        throw EChartError("Destination layer " + std::to_string(controller) + " is already joined");
    std::string joined;
    for (int n = 1; n <= kLayerCount; ++n) {
        if (n != layer && link(joinsAt(n)) == layer)
            joined += (joined.empty() ? "" : ", ") + std::to_string(n);
    }
    if (!joined.empty())
        throw EChartError("Layer " + std::to_string(layer) + " is joined by other layers (" +
                          joined + ")");
    link(joinsAt(layer)) = controller;
    const TScaleProps& from = ScaleProps(controller, axis);
    TScaleProps& to = ScaleProps(layer, axis);
    to.StoreRangeLow(from.RangeLow());
    to.StoreRangeHigh(from.RangeHigh());
    ApplyScaleProps(layer, axis);
    ComputeLayerTransforms();
}

void ChartLayers::BeginLoading() {
    m_loading = true;
}

void ChartLayers::EndLoading() {
    m_loading = false;
    applyAllScaleProps();
    ComputeLayerTransforms();
    Paint();
}

void ChartLayers::SuspendPaint(bool suspend) {
    if (suspend == m_paintSuspended)
        return;
    m_paintSuspended = suspend;
    if (!suspend)
        Paint();
}

void ChartLayers::ApplyFormScaleSettings() {
    const bool wasLoading = m_loading;
    m_loading = true;
    m_marginLeft = 80;
    m_marginRight = 20;
    m_marginTop = 30;
    m_marginBottom = 45;
    m_shadowWidth = 1;
    for (int n = 1; n <= kLayerCount; ++n)
        joinsAt(n) = {n, n};
    const TChartFont font{"MS Sans Serif", -13, static_cast<TColor>(0xFF000008)};
    struct Form {
        TScaleProps& props;
        bool visible;
        int pos;
        double low, high;
        int decPlaces;
        TColor color;
        const char* caption;
        int captionX, captionY;
        TAlignment alignment;
        TScaleUnitAnchor anchor;
    };
    const Form form[] = {
        {Scale1X(), true, 0, 0, 1000, 0, kBlack, "Anzahl Samples", 0, 28, taRightJustify,
         uaSclBotRgt},
        {Scale1Y(), true, 0, 1, 10, -2, kBlack, "", -30, -28, taLeftJustify, uaSclTopLft},
        {Scale2X(), false, 0, 0, 1000, -2, kMaroon, "", 10, 100, taCenter, uaSclCenter},
        {Scale2Y(), false, 80, 1, 10, -2, kMaroon, "", 0, -28, taRightJustify, uaSclTopLft},
    };
    Scale1X().SetScaleLocation(slBottom);
    Scale1Y().SetScaleLocation(slLeft);
    Scale2X().SetScaleLocation(slBottom);
    Scale2Y().SetScaleLocation(slLeft);
    for (const Form& f : form) {
        f.props.SetVisible(f.visible);
        f.props.SetScalePos(f.pos);
        f.props.SetRangeLow(f.low);
        f.props.SetRangeHigh(f.high);
        f.props.SetMinTicks(3);
        f.props.SetDecPlaces(f.decPlaces);
        f.props.SetShortTicks(true);
        f.props.SetColorScale(f.color);
        f.props.SetCaption(f.caption);
        f.props.SetCaptionPosX(f.captionX);
        f.props.SetCaptionPosY(f.captionY);
        f.props.SetCaptionAlignment(f.alignment);
        f.props.SetCaptionAnchor(f.anchor);
        f.props.SetFont(font);
    }
    for (int n = 3; n <= 4; ++n) {
        ScaleX(n).SetVisible(false);
        ScaleY(n).SetVisible(false);
    }
    for (Layer& l : m_layers) {
        l.X->SetMinTicks(3);
        l.Y->SetMinTicks(3);
    }
    PlotAreaChanged();
    if (wasLoading) {
        applyAllScaleProps();
        return;
    }
    EndLoading();
}

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
