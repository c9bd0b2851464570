// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/analysis/filtersetting.h"

#include "app/analysis/butterworth.h"
#include "base/exception.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace {

// The shortest text that reads back to the value, "." as decimal point.
std::string shortest(double value) {
    char buf[32];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? std::string(buf, end) : std::string();
}

std::string halfRateText(std::optional<double> sampleRate) {
    return sampleRate ? shortest(*sampleRate / 2) + " Hz" : std::string("0.5");
}

void checkEdge(const char* name, double f, std::optional<double> sampleRate) {
    if (!(f > 0 && f < 0.5)) {
        throw EConvertError(std::string(name) +
                            " muss größer als 0 und kleiner als die halbe Abtastrate (" +
                            halfRateText(sampleRate) + ") sein");
    }
}

std::vector<std::string_view> fields(std::string_view text) {
    std::vector<std::string_view> out;
    for (;;) {
        const std::size_t colon = text.find(':');
        out.push_back(text.substr(0, colon));
        if (colon == std::string_view::npos) {
            return out;
        }
        text.remove_prefix(colon + 1);
    }
}

int integerField(std::string_view text) {
    int value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size()) {
        throw EConvertError("'" + std::string(text) + "' ist kein gültiger Integerwert");
    }
    return value;
}

double numberField(std::string_view text) {
    std::string dotted(text);
    for (char& c : dotted) {
        if (c == ',') {
            c = '.';
        }
    }
    double value = 0;
    const char* last = dotted.data() + dotted.size();
    const auto [ptr, ec] = std::from_chars(dotted.data(), last, value);
    if (dotted.empty() || ec != std::errc() || ptr != last || !std::isfinite(value)) {
        throw EConvertError("'" + std::string(text) + "' ist kein gültiger Gleitkommawert");
    }
    return value;
}

} // namespace

bool IsButterworth(FilterKind kind) {
    return kind == FilterKind::Lowpass || kind == FilterKind::Highpass ||
           kind == FilterKind::Bandpass || kind == FilterKind::Bandstop;
}

bool IsBand(FilterKind kind) {
    return kind == FilterKind::Bandpass || kind == FilterKind::Bandstop;
}

std::string FilterKindName(FilterKind kind) {
    switch (kind) {
    case FilterKind::None:
        return "Kein Filter";
    case FilterKind::Mean:
        return "Gleitender Mittelwert";
    case FilterKind::Lowpass:
        return "Tiefpass";
    case FilterKind::Highpass:
        return "Hochpass";
    case FilterKind::Bandpass:
        return "Bandpass";
    case FilterKind::Bandstop:
        return "Bandsperre";
    }
    return {};
}

void CheckFilterSetting(const FilterSetting& setting, std::optional<double> sampleRate) {
    if (setting.Kind == FilterKind::Mean) {
        if (setting.Length < kMinMeanLength || setting.Length > kMaxMeanLength) {
            throw EConvertError("Die Länge muss zwischen " + std::to_string(kMinMeanLength) +
                                " und " + std::to_string(kMaxMeanLength) + " liegen");
        }
        return;
    }
    if (!IsButterworth(setting.Kind)) {
        return;
    }
    if (setting.Order < kMinFilterOrder || setting.Order > kMaxFilterOrder) {
        throw EConvertError("Die Ordnung muss zwischen " + std::to_string(kMinFilterOrder) +
                            " und " + std::to_string(kMaxFilterOrder) + " liegen");
    }
    if (IsBand(setting.Kind)) {
        checkEdge("Die untere Grenzfrequenz", setting.Low, sampleRate);
        checkEdge("Die obere Grenzfrequenz", setting.High, sampleRate);
        if (!(setting.Low < setting.High)) {
            throw EConvertError("Die untere Grenzfrequenz muss kleiner als die obere sein");
        }
    } else {
        checkEdge("Die Grenzfrequenz", setting.Low, sampleRate);
    }
    // Edges very near 0 put the poles so close to 1 that double precision no longer keeps
    // them inside the unit circle.
    if (!SectionsStable(DesignButterworth(setting))) {
        throw EConvertError("Das Filter ist mit diesen Grenzfrequenzen numerisch nicht stabil");
    }
}

FilterSetting ParseFilterSetting(std::string_view text, std::optional<double> sampleRate) {
    const std::vector<std::string_view> f = fields(text);
    const auto frequency = [&](std::string_view t) {
        const double v = numberField(t);
        return sampleRate ? v / *sampleRate : v;
    };
    FilterSetting setting;
    const std::string_view kind = f[0];
    if (kind == "none" && f.size() == 1) {
        return setting;
    }
    if (kind == "mean" && f.size() == 2) {
        setting.Kind = FilterKind::Mean;
        setting.Length = integerField(f[1]);
    } else if ((kind == "lowpass" || kind == "highpass") && f.size() == 3) {
        setting.Kind = kind == "lowpass" ? FilterKind::Lowpass : FilterKind::Highpass;
        setting.Order = integerField(f[1]);
        setting.Low = frequency(f[2]);
    } else if ((kind == "bandpass" || kind == "bandstop") && f.size() == 4) {
        setting.Kind = kind == "bandpass" ? FilterKind::Bandpass : FilterKind::Bandstop;
        setting.Order = integerField(f[1]);
        setting.Low = frequency(f[2]);
        setting.High = frequency(f[3]);
    } else {
        throw EConvertError("'" + std::string(text) + "' ist keine gültige Filterangabe");
    }
    CheckFilterSetting(setting, sampleRate);
    return setting;
}
