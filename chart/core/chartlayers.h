// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The chart's 16 layers of X/Y axes: settings, axis painters, ranges, joined layers, the
// control geometry and the data↔pixel transforms. Plain C++; PlotChartCore derives from it and
// supplies the painting through the virtual hooks below.

#include "chart/core/axisdrawing.h"
#include "chart/core/scale.h"
#include "chart/core/scaleprops.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <memory>

enum class TAxis { X, Y };

struct PlotRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0; // inclusive edges
};

class ChartLayers {
public:
    static constexpr int kLayerCount = 16;

    ChartLayers();
    virtual ~ChartLayers();
    ChartLayers(const ChartLayers&) = delete;
    ChartLayers& operator=(const ChartLayers&) = delete;

    // Settings of a layer's axes; layer is clamped to 1..16.
    TScalePropsHoriz& ScaleX(int layer);
    TScalePropsVert& ScaleY(int layer);
    const TScalePropsHoriz& ScaleX(int layer) const;
    const TScalePropsVert& ScaleY(int layer) const;
    TScaleProps& ScaleProps(int layer, TAxis axis);
    TScalePropsHoriz& Scale1X() { return ScaleX(1); }
    TScalePropsVert& Scale1Y() { return ScaleY(1); }
    TScalePropsHoriz& Scale2X() { return ScaleX(2); }
    TScalePropsVert& Scale2Y() { return ScaleY(2); }
    TScalePropsHoriz& Scale3X() { return ScaleX(3); }
    TScalePropsVert& Scale3Y() { return ScaleY(3); }
    TScalePropsHoriz& Scale4X() { return ScaleX(4); }
    TScalePropsVert& Scale4Y() { return ScaleY(4); }

    // Axis painter of a layer's axis (layer clamped to 1..16).
    TScale& Scale(int layer, TAxis axis);
    const TScale& Scale(int layer, TAxis axis) const;
    // The tick list an axis kept from its last painting (empty until painted; the grid uses the
    // active layer's lists).
    const TickList& Ticks(int layer, TAxis axis) const { return Scale(layer, axis).Ticks(); }
    // Lays one axis out for drawing (and refreshes its tick list).
    AxisDrawing LayoutAxis(int layer, TAxis axis, const TextMeasure& measure);

    // Control size W × H. A request is raised to at least MarginLeft + MarginRight + ShadowWidth
    // + 80 wide and MarginTop + MarginBottom + ShadowWidth + 20 high; then every axis is applied
    // and the transforms are computed, without repainting.
    void SetControlSize(int width, int height);
    int Width() const { return m_width; }
    int Height() const { return m_height; }

    int MarginLeft() const { return m_marginLeft; }
    int MarginRight() const { return m_marginRight; }
    int MarginTop() const { return m_marginTop; }
    int MarginBottom() const { return m_marginBottom; }
    // Margin setters store, call PlotAreaChanged, apply every axis, compute the transforms and
    // call AutoRedrawRequest.
    void SetMarginLeft(int value);
    void SetMarginRight(int value);
    void SetMarginTop(int value);
    void SetMarginBottom(int value);
    int LRim() const { return MarginLeft(); }
    int RRim() const { return MarginRight(); }
    int TRim() const { return MarginTop(); }
    int BRim() const { return MarginBottom(); }
    void SetLRim(int value) { SetMarginLeft(value); }
    void SetRRim(int value) { SetMarginRight(value); }
    void SetTRim(int value) { SetMarginTop(value); }
    void SetBRim(int value) { SetMarginBottom(value); }
    int ShadowWidth() const { return m_shadowWidth; }
    // Stores the value (negative values are ignored) and updates geometry like a margin setter.
    void SetShadowWidth(int value);

    // Plot area: x = MarginLeft .. W − MarginRight − ShadowWidth, y = MarginTop .. H −
    // MarginBottom − ShadowWidth (bounds included).
    PlotRect PlotArea() const;
    int PlotWidth() const;  // W − MarginLeft − MarginRight − ShadowWidth
    int PlotHeight() const; // H − MarginTop − MarginBottom − ShadowWidth
    bool IsInsidePlot(int x, int y) const;

    // Sets the ranges of one layer (1..16) or of all layers (0), widening equal bounds first.
    void SetLayerRange(int layer, double xLow, double yLow, double xHigh, double yHigh);
    // The per-layer range update (no widening): joined axes keep their controller's range,
    // requests narrower than MinRange (or non-finite) leave that axis unchanged, controlled
    // layers follow, and painting is restored through SuspendPaint at the end.
    void ApplyLayerRange(int layer, double xLow, double yLow, double xHigh, double yHigh);
    // Answer to any settings object's OnChange: re-applies every axis and range.
    void ScalePropsChanged();
    // Copies one settings object into its painter (position, range, clamped settings).
    void ApplyScaleProps(int layer, TAxis axis);
    // Recomputes every layer's transform (nothing while loading). Raises EChartError
    // "Logarithmic axis must not be negative." for a logarithmic axis with a bound ≤ 0.
    virtual void ComputeLayerTransforms();

    // Data → chart pixel of a layer (clamped to 1..16). Results are clamped to ±2147483647 and
    // rounded half to even; infinities clamp. Returns false (and 0, 0) when X or Y is NaN: the
    // caller skips the item.
    bool DataToPixel(int layer, double x, double y, int& pixelX, int& pixelY) const;

    // A layer's mapping in double precision, for converting many points: Pixel gives the pixel
    // DataToPixel gives wherever double precision provably reaches the same pixel, and false
    // (caller asks DataToPixel) otherwise, also for NaN and far-off values.
    struct FastMapping {
        double Kx = 0, Ox = 0, Ky = 0, Oy = 0;
        double ToleranceX = 0, ToleranceY = 0; // see Round
        bool Usable = false;                   // linear axes, non-zero finite factors

        bool Pixel(double x, double y, int& pixelX, int& pixelY) const {
            return Usable && Round(Kx, Ox, ToleranceX, x, pixelX) &&
                   Round(Ky, Oy, ToleranceY, y, pixelY);
        }
        // The pixel of k · v + o when the double result r lies farther than `tolerance` from
        // the nearest half pixel. The double error is at most (2|k·v| + |o| + |r|) · 2⁻⁵³ (three
        // roundings plus the rounded factors), the long double one far smaller. With |r| below
        // kFastLimit, |k·v| is below |r| + |o| (plus one rounding), so ToleranceFor(o), eight
        // times (2 · kFastLimit + 2|o|) · 2⁻⁵³ and more, exceeds both errors together. Ties and
        // near-ties go to the caller.
        static bool Round(double k, double o, double tolerance, double v, int& pixel) {
            const double r = k * v + o;
            if (!(std::fabs(r) < kFastLimit)) {
                return false; // also NaN and infinities
            }
            // The nearest integer: adding and taking off 1.5 · 2⁵² leaves r rounded to a whole
            // number (|r| < 2⁵¹), and r − n is exact. Which way a tie goes does not matter:
            // ties and near-ties go to the caller.
            const double n = (r + 0x1.8p52) - 0x1.8p52;
            if (std::fabs(r - n) >= 0.5 - tolerance) {
                return false;
            }
            pixel = static_cast<int>(n);
            return true;
        }
        static double ToleranceFor(double o) {
            return (2.5 * kFastLimit + 2 * std::fabs(o)) * 0x1p-50 + 0x1p-60;
        }
        // Pixels the double path handles; beyond them the clamping of DataToPixel applies.
        static constexpr double kFastLimit = 1e9;
    };
    FastMapping FastMappingOf(int layer) const;
    // Chart pixel → data of a layer. Returns false and leaves x, y unchanged when the plot area
    // has no width or height (the transform cannot be inverted).
    bool PixelToData(int layer, int pixelX, int pixelY, double& x, double& y) const;

    // Joined layers: the layer whose range this layer's X (Y) follows; its own number when
    // independent. Setters raise EChartError with the texts of invalid joins.
    int XControlledBy(int layer) const;
    int YControlledBy(int layer) const;
    void SetXControlledBy(int layer, int controller);
    void SetYControlledBy(int layer, int controller);

    // Loading: while loading, transforms are not computed; EndLoading applies every axis,
    // computes the transforms and paints once.
    void BeginLoading();
    void EndLoading();
    bool IsLoading() const { return m_loading; }

    // The paint gate: while suspended, Paint does nothing. True at construction.
    bool PaintSuspended() const { return m_paintSuspended; }
    // Sets the gate without painting (used around exports and inside range updates).
    void SetPaintSuspended(bool value) { m_paintSuspended = value; }
    // Nothing when unchanged; otherwise stores the flag and, when it becomes false, Paint runs.
    virtual void SuspendPaint(bool suspend);
    // Full rebuild of the chart image; the base does nothing.
    virtual void Paint() {}

    // The scale settings of the main window's form: captions, ranges, positions, colours,
    // visibility, minimum ticks, decimal places, margins and shadow width.
    void ApplyFormScaleSettings();

    // Transform factors of a layer (for tests and the mouse): pixel = k · u + o.
    long double Kx(int layer) const;
    long double Ky(int layer) const;
    long double Ox(int layer) const;
    long double Oy(int layer) const;

protected:
    // The plot area's size changed (margins, shadow): the renderer resizes its plot image.
    virtual void PlotAreaChanged() {}
    // A setter that repaints when AutoRedraw is on; the base does nothing.
    virtual void AutoRedrawRequest() {}

private:
    // What every layer's transform depends on besides its own axes.
    struct Geometry {
        int Width = 0, Height = 0, MarginLeft = 0, MarginRight = 0, MarginTop = 0, MarginBottom = 0,
            ShadowWidth = 0;
        bool operator==(const Geometry&) const = default;
    };
    // The geometry's values as the transforms use them, converted once per geometry.
    struct Extent {
        long double W = 0, H = 0, A = 0, B = 0, XEnd = 0, YEnd = 0, Left = 0, Top = 0;
    };
    struct Transform {
        long double Kx = 0, Ox = 0, Ky = 0, Oy = 0;
        // The same in double precision, for the fast path of DataToPixel (Fast: both factors
        // non-zero and every value finite).
        double dKx = 0, dOx = 0, dKy = 0, dOy = 0;
        bool Fast = false;
        // What the transform was computed from: a trend scroll changes one layer's range per
        // line, and the other fifteen need not be computed again.
        struct Inputs {
            double XLow = 0, XHigh = 0, YLow = 0, YHigh = 0;
            bool XLog = false, YLog = false;
            Geometry Size;
            bool operator==(const Inputs&) const = default;
        };
        Inputs From;
        bool Computed = false;
    };
    struct Layer {
        std::unique_ptr<TScalePropsHoriz> X;
        std::unique_ptr<TScalePropsVert> Y;
        TScale ScaleX;
        TScale ScaleY;
        Transform T;
    };
    // The layers a layer's X and Y ranges follow (its own number when independent), apart from
    // the large layer records: every range update looks through all of them for followers.
    struct Joins {
        int X = 1;
        int Y = 1;
    };

    Layer& layerAt(int layer);
    const Layer& layerAt(int layer) const;
    Joins& joinsAt(int layer);
    const Joins& joinsAt(int layer) const;
    void applyAllScaleProps();
    void geometryChanged();
    void storeAxisRange(TScaleProps& props, double low, double high);
    void setControlledBy(int layer, TAxis axis, int controller);

    std::array<Layer, kLayerCount> m_layers;
    std::array<Joins, kLayerCount> m_joins;
    // Bit n − 1 set: layer n's range or logarithmic flag was written since its transform was
    // last found up to date (its settings objects set the bit), or it has not been yet. Only
    // these layers, and all of them after a change of the geometry, need a look.
    std::uint32_t m_transformsToCheck = (1u << kLayerCount) - 1;
    Geometry m_transformGeometry{-1};
    Extent m_extent;
    int m_width = 400;
    int m_height = 300;
    int m_marginLeft = 50;
    int m_marginRight = 10;
    int m_marginTop = 16;
    int m_marginBottom = 32;
    int m_shadowWidth = 0;
    bool m_loading = false;
    bool m_paintSuspended = true;
};
