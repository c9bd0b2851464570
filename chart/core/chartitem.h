// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One drawing item of the chart: a 104-byte little-endian record. The item store holds these
// records in drawing order, and a session file is the same records written one after another,
// so the layout below is the file format and must never change.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <type_traits>

static_assert(std::endian::native == std::endian::little,
              "ChartItem images are little-endian; this host stores them as they lie in memory");
static_assert(sizeof(double) == 8 && std::numeric_limits<double>::is_iec559,
              "ChartItem coordinates are IEEE 754 binary64");

// Windows colour value 0x00BBGGRR; negative values name system colours (0xFF000000 | index).
// (Same alias as chart/core/color.h; a repeated alias of the same type is allowed.)
using TColor = std::int32_t;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;

// System colours: the low byte is the system colour index.
inline constexpr TColor clSystemColor = static_cast<TColor>(0xFF000000u);
inline constexpr TColor clWindow = clSystemColor | 5;
inline constexpr TColor clWindowText = clSystemColor | 8;
inline constexpr TColor clBtnFace = clSystemColor | 15;
inline constexpr TColor clBtnShadow = clSystemColor | 16;

// Pen style ordinals as stored in ChartItem::PenStyle.
enum TPenStyle : std::uint8_t {
    psSolid = 0,
    psDash = 1,
    psDot = 2,
    psDashDot = 3,
    psDashDotDot = 4,
    psClear = 5,
    psInsideFrame = 6,
};

// Item kind codes (ChartItem::Kind). This system creates ikLine, ikDrawTo and ikMoveTo only;
// a loaded file may hold any byte, which the store keeps unchanged. The renderer draws codes
// 1..16 and nothing for any other code.
enum TItemKind : std::uint8_t {
    ikLine = 2,
    ikDrawTo = 3,
    ikMoveTo = 8,
};

// The record. Fields marked "foreign" belong to item kinds this system never creates; appends
// never write them, so they keep whatever the storage slot held. The Pad* members are never
// written by this program either.
struct ChartItem {
    double X;               // 0: first point
    double Y;               // 8
    double X2;              // 16: second point (AddLine only)
    double Y2;              // 24
    TColor Color;           // 32: pen colour
    TColor FillColor;       // 36: brush colour (AddDrawTo, AddLine)
    TColor EdgeColor1;      // 40: foreign: the two edge colours of box kinds
    TColor EdgeColor2;      // 44: foreign
    std::uint8_t PenStyle;  // 48: TPenStyle ordinal
    std::uint8_t Pad49[3];  // 49
    std::int32_t Reserved;  // 52: always written as 0
    std::int32_t LineWidth; // 56: pen width in pixels
    std::uint8_t ItemClass; // 60: the chart's ClassDefault at the time of the append
    std::uint8_t Kind;      // 61: TItemKind code
    std::uint8_t Pad62[2];  // 62
    std::int32_t Layer;     // 64: 1..16 in items this system creates
    std::uint8_t Flag;      // 68: foreign: "not filled" flag of rectangles
    std::uint8_t Pad69;     // 69
    std::uint8_t Text[18];  // 70: foreign: length byte followed by up to 17 characters
    std::int32_t Angle;     // 88: foreign: angle in degrees
    std::int32_t Size;      // 92: foreign: figure size
    std::uint8_t Marker;    // 96: foreign: symbol marker shape
    std::uint8_t Pad97[7];  // 97
};

static_assert(sizeof(ChartItem) == 104);
static_assert(std::is_standard_layout_v<ChartItem>);
static_assert(std::is_trivially_copyable_v<ChartItem>);
static_assert(std::is_trivially_default_constructible_v<ChartItem>);
static_assert(offsetof(ChartItem, X) == 0);
static_assert(offsetof(ChartItem, Y) == 8);
static_assert(offsetof(ChartItem, X2) == 16);
static_assert(offsetof(ChartItem, Y2) == 24);
static_assert(offsetof(ChartItem, Color) == 32);
static_assert(offsetof(ChartItem, FillColor) == 36);
static_assert(offsetof(ChartItem, EdgeColor1) == 40);
static_assert(offsetof(ChartItem, EdgeColor2) == 44);
static_assert(offsetof(ChartItem, PenStyle) == 48);
static_assert(offsetof(ChartItem, Pad49) == 49);
static_assert(offsetof(ChartItem, Reserved) == 52);
static_assert(offsetof(ChartItem, LineWidth) == 56);
static_assert(offsetof(ChartItem, ItemClass) == 60);
static_assert(offsetof(ChartItem, Kind) == 61);
static_assert(offsetof(ChartItem, Pad62) == 62);
static_assert(offsetof(ChartItem, Layer) == 64);
static_assert(offsetof(ChartItem, Flag) == 68);
static_assert(offsetof(ChartItem, Pad69) == 69);
static_assert(offsetof(ChartItem, Text) == 70);
static_assert(offsetof(ChartItem, Angle) == 88);
static_assert(offsetof(ChartItem, Size) == 92);
static_assert(offsetof(ChartItem, Marker) == 96);
static_assert(offsetof(ChartItem, Pad97) == 97);

inline constexpr std::size_t kChartItemSize = sizeof(ChartItem);
inline constexpr int kFirstLayer = 1;
inline constexpr int kLastLayer = 16;

// True for records the renderer may draw: a layer within 1..16. Records from foreign files with
// any other layer are kept and saved unchanged but never drawn.
inline bool IsDrawableLayer(std::int32_t layer) {
    return layer >= kFirstLayer && layer <= kLastLayer;
}
