// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/core/scaleprops.h"

#include <cmath>

namespace {

// Axis colours by layer: the first two are the form's channel colours (black, maroon); the rest
// are distinct Windows standard colours.
constexpr TColor kLayerColors[16] = {
    0x000000, 0x000080, 0x008000, 0x800000, 0x008080, 0x800080, 0x808000, 0x808080,
    0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF, 0xFF00FF, 0xFFFF00, 0x404040, 0x004080,
};

constexpr double kLogFloor = 1e-100;

} // namespace

TColor DefaultScaleColor(int layer) {
    if (layer < 1 || layer > 16)
        return 0;
    return kLayerColors[layer - 1];
}

TScaleProps::TScaleProps(bool horizontal, int layer)
    : m_horizontal(horizontal), m_layer(layer), m_colorScale(DefaultScaleColor(layer)),
      m_scalePos(((layer - 1) / 2) * (horizontal ? 30 : 50)) {}

void TScaleProps::changed() {
    if (OnChange)
        OnChange();
}

void TScaleProps::SetCaption(const std::string& value) {
    m_caption = value;
    changed();
}
void TScaleProps::SetCaptionPosX(int value) {
    m_captionPosX = value;
    changed();
}
void TScaleProps::SetCaptionPosY(int value) {
    m_captionPosY = value;
    changed();
}
void TScaleProps::SetCaptionAlignment(TAlignment value) {
    m_captionAlignment = value;
    changed();
}
void TScaleProps::SetCaptionAnchor(TScaleUnitAnchor value) {
    m_captionAnchor = value;
    changed();
}
void TScaleProps::SetColorScale(TColor value) {
    m_colorScale = value;
    changed();
}
void TScaleProps::SetDecPlaces(int value) {
    m_decPlaces = value;
    changed();
}
void TScaleProps::SetFont(const TChartFont& value) {
    m_font = value;
    changed();
}
void TScaleProps::SetLogarithmic(bool value) {
    m_logarithmic = value;
    transformInputsChanged();
    changed();
}
void TScaleProps::SetLabelType(TFigType value) {
    m_labelType = value;
    changed();
}
void TScaleProps::SetMinTicks(int value) {
    m_minTicks = value;
    changed();
}
void TScaleProps::SetMinRange(double value) {
    // A negative, NaN or infinite minimum would let empty or unusable ranges through.
    if (!(value >= 0.0) || !std::isfinite(value))
        return;
    m_minRange = value;
    changed();
}

void TScaleProps::SetRangeLow(double value) {
    if (!std::isfinite(value) || (m_logarithmic && value < kLogFloor))
        return;
    if (std::fabs(m_rangeHigh - value) < m_minRange)
        m_rangeHigh = value + m_minRange;
    m_rangeLow = value;
    transformInputsChanged();
    changed();
}

void TScaleProps::SetRangeHigh(double value) {
    if (!std::isfinite(value) || (m_logarithmic && value < kLogFloor))
        return;
    if (std::fabs(value - m_rangeLow) < m_minRange)
        m_rangeLow = value - m_minRange;
    m_rangeHigh = value;
    transformInputsChanged();
    changed();
}

void TScaleProps::SetShortTicks(bool value) {
    m_shortTicks = value;
    changed();
}
void TScaleProps::SetScaleInscript(const std::string& value) {
    m_scaleInscript = value;
    changed();
}
void TScaleProps::SetScalePos(int value) {
    m_scalePos = value;
    changed();
}
void TScaleProps::SetUserTickText(const std::string& value) {
    m_userTickText = value;
    changed();
}
void TScaleProps::SetVisible(bool value) {
    m_visible = value;
    changed();
}
void TScaleProps::SetDateFormat(const std::string& value) {
    m_dateFormat = value;
    changed();
}

TScalePropsHoriz::TScalePropsHoriz(int layer) : TScaleProps(true, layer) {}

TScaleLocationX TScalePropsHoriz::ScaleLocation() const {
    if (locationSet())
        return m_location;
    return Layer() % 2 == 0 ? slTop : slBottom;
}

void TScalePropsHoriz::SetScaleLocation(TScaleLocationX value) {
    m_location = value;
    markLocationSet();
    changed();
}

TScaleType TScalePropsHoriz::SideCode() const {
    return ScaleLocation() == slTop ? sctXB : sctXT;
}

TScalePropsVert::TScalePropsVert(int layer) : TScaleProps(false, layer) {}

TScaleLocationY TScalePropsVert::ScaleLocation() const {
    if (locationSet())
        return m_location;
    return Layer() % 2 == 0 ? slRight : slLeft;
}

void TScalePropsVert::SetScaleLocation(TScaleLocationY value) {
    m_location = value;
    markLocationSet();
    changed();
}

TScaleType TScalePropsVert::SideCode() const {
    return ScaleLocation() == slRight ? sctYL : sctYR;
}
