// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pipeline/numbertext.h"

#include "app/pipeline/numbers.h"

std::string NumberText::Make() const {
    switch (kind) {
    case TwoValues:
        return " " + numbers::FloatToStr(first, separator) + "        " +
               numbers::FloatToStr(second, separator);
    case ProcessTime:
        return numbers::FormatFloat00_00(first, separator) + " ms Skal.+Grafik";
    case Count:
        return std::to_string(count);
    case Value:
        break;
    }
    return " " + numbers::FloatToStr(first, separator);
}
