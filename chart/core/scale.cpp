#include "chart/core/scale.h"

void TScale::SetRangeLow(double value) {
    RangeLow = value;
    if (RangeLow == RangeHigh)
        RangeHigh = RangeLow + 1.0;
}

void TScale::SetRangeHigh(double value) {
    RangeHigh = value;
    if (RangeHigh == RangeLow)
        RangeLow = RangeHigh + 1.0;
}

void TScale::SetDecPlaces(int value) {
    DecPlaces = value < -3 ? -3 : (value > 12 ? 12 : value);
}

void TScale::SetMinTicks(int value) {
    MinTicks = value == 0 ? 0 : (value < 2 ? 2 : (value > 10 ? 10 : value));
}

int TScale::AxisPosition() const {
    return 0;
}

int TScale::ValueToPixel(double) const {
    return 0;
}

AxisDrawing TScale::Layout(const TextMeasure&) {
    return {};
}
