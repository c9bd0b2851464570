#include "chart/core/ticklabels.h"

int EffectiveDecPlaces(int decPlaces, double, double) {
    return decPlaces;
}

std::string TickLabelText(double, double, double, int, const std::string&) {
    return {};
}

std::string FormatTickValue(double, int) {
    return {};
}
