// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Axis settings of one layer's X or Y axis. Every setter stores its value and fires OnChange,
// which the chart answers by re-applying all axes (ChartLayers::ScalePropsChanged). The chart
// itself stores ranges through the Store* functions, which never fire OnChange.

#include "chart/core/chartfont.h"
#include "chart/core/tcolor.h"

#include <cstdint>
#include <functional>
#include <string>

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TScaleUnitAnchor { uaSclTopLft, uaSclCenter, uaSclBotRgt };
enum TFigType { ftNoFigs, ftNum, ftTime, ftDateTime, ftUserText };
enum TScaleLocationX { slTop, slBottom };
enum TScaleLocationY { slLeft, slRight };

// Internal side code of an axis painter: sctXB is an X axis above the plot (ticks point up),
// sctXT one below it, sctYL a Y axis right of the plot, sctYR one left of it.
enum TScaleType { sctXB, sctXT, sctYL, sctYR };

class TScaleProps {
public:
    // layer 1..16 selects the layer's default colour, position and side.
    TScaleProps(bool horizontal, int layer);
    virtual ~TScaleProps() = default;
    TScaleProps(const TScaleProps&) = delete;
    TScaleProps& operator=(const TScaleProps&) = delete;

    std::function<void()> OnChange;

    bool IsHorizontal() const { return m_horizontal; }
    int Layer() const { return m_layer; }
    // The painter's side code, from ScaleLocation (or the even/odd layer rule until it is set).
    virtual TScaleType SideCode() const = 0;

    const std::string& Caption() const { return m_caption; }
    void SetCaption(const std::string& value);
    int CaptionPosX() const { return m_captionPosX; }
    void SetCaptionPosX(int value);
    int CaptionPosY() const { return m_captionPosY; }
    void SetCaptionPosY(int value);
    TAlignment CaptionAlignment() const { return m_captionAlignment; }
    void SetCaptionAlignment(TAlignment value);
    TScaleUnitAnchor CaptionAnchor() const { return m_captionAnchor; }
    void SetCaptionAnchor(TScaleUnitAnchor value);
    TColor ColorScale() const { return m_colorScale; }
    void SetColorScale(TColor value);
    // −2 and −3 automatic, −1 scientific, 0.. fixed decimals. Stored as given; the painter
    // clamps it to −3..12.
    int DecPlaces() const { return m_decPlaces; }
    void SetDecPlaces(int value);
    const TChartFont& Font() const { return m_font; }
    void SetFont(const TChartFont& value);
    bool Logarithmic() const { return m_logarithmic; }
    void SetLogarithmic(bool value);
    TFigType LabelType() const { return m_labelType; }
    void SetLabelType(TFigType value);
    // Stored as given (63 stays 63); the painter uses 0 or a value clamped to 2..10.
    int MinTicks() const { return m_minTicks; }
    void SetMinTicks(int value);
    double MinRange() const { return m_minRange; }
    void SetMinRange(double value);
    double RangeLow() const { return m_rangeLow; }
    double RangeHigh() const { return m_rangeHigh; }
    // Low := x; high := x + MinRange when the two would lie closer than MinRange. A logarithmic
    // axis refuses x < 1e-100 (and so does every axis for a non-finite x).
    void SetRangeLow(double value);
    // High := x; low := x − MinRange when too close; logarithmic axes refuse x < 1e-100.
    void SetRangeHigh(double value);
    bool ShortTicks() const { return m_shortTicks; }
    void SetShortTicks(bool value);
    const std::string& ScaleInscript() const { return m_scaleInscript; }
    void SetScaleInscript(const std::string& value);
    int ScalePos() const { return m_scalePos; }
    void SetScalePos(int value);
    const std::string& UserTickText() const { return m_userTickText; }
    void SetUserTickText(const std::string& value);
    bool Visible() const { return m_visible; }
    void SetVisible(bool value);
    const std::string& DateFormat() const { return m_dateFormat; }
    void SetDateFormat(const std::string& value);

    // Range stores used by the chart's range updates: no checks, no OnChange.
    void StoreRangeLow(double value) {
        m_rangeLow = value;
        transformInputsChanged();
    }
    void StoreRangeHigh(double value) {
        m_rangeHigh = value;
        transformInputsChanged();
    }

    // The chart's note of layers whose transform may need computing again: every write of the
    // range or the logarithmic flag sets `bit` in `*mask`. The mask must outlive this object.
    void WatchTransformInputs(std::uint32_t* mask, std::uint32_t bit) {
        m_watchMask = mask;
        m_watchBit = bit;
    }

protected:
    void changed();
    bool locationSet() const { return m_locationSet; }
    void markLocationSet() { m_locationSet = true; }

private:
    void transformInputsChanged() {
        if (m_watchMask != nullptr)
            *m_watchMask |= m_watchBit;
    }

    bool m_horizontal;
    int m_layer;
    bool m_locationSet = false;
    std::string m_caption;
    int m_captionPosX = 0;
    int m_captionPosY = 0;
    TAlignment m_captionAlignment = taCenter;
    TScaleUnitAnchor m_captionAnchor = uaSclTopLft;
    TColor m_colorScale = 0;
    int m_decPlaces = -2;
    TChartFont m_font;
    bool m_logarithmic = false;
    TFigType m_labelType = ftNum;
    int m_minTicks = 3;
    double m_minRange = 1e-10;
    double m_rangeLow = 0.0;
    double m_rangeHigh = 1.0;
    bool m_shortTicks = true;
    std::string m_scaleInscript;
    int m_scalePos = 0;
    std::string m_userTickText;
    bool m_visible = false;
    std::string m_dateFormat;
    std::uint32_t* m_watchMask = nullptr;
    std::uint32_t m_watchBit = 0;
};

class TScalePropsHoriz : public TScaleProps {
public:
    explicit TScalePropsHoriz(int layer);
    // Until set, even layers sit at the top and odd layers at the bottom.
    TScaleLocationX ScaleLocation() const;
    void SetScaleLocation(TScaleLocationX value);
    TScaleType SideCode() const override;

private:
    TScaleLocationX m_location = slBottom;
};

class TScalePropsVert : public TScaleProps {
public:
    explicit TScalePropsVert(int layer);
    // Until set, even layers sit at the right and odd layers at the left.
    TScaleLocationY ScaleLocation() const;
    void SetScaleLocation(TScaleLocationY value);
    TScaleType SideCode() const override;

private:
    TScaleLocationY m_location = slLeft;
};

// Default axis colour of a layer (1..16; other values give black).
TColor DefaultScaleColor(int layer);
