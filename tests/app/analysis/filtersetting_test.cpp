// SPDX-License-Identifier: GPL-3.0-or-later
// Filter texts as plotmira-cli takes them and the German refusals of settings that cannot work;
// ChannelFilter's pass-through and reset.
#include "app/analysis/channelfilter.h"
#include "app/analysis/filtersetting.h"
#include "base/exception.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

namespace {

struct Good {
    const char* text;
    std::optional<double> rate;
    FilterSetting want;
};

TEST(FilterSettingText, EveryKindReadsInFractionsOrInHz) {
    const Good cases[] = {
        {"none", {}, {}},
        {"mean:10", {}, {FilterKind::Mean, 10, 0, 0, 0}},
        {"mean:10000", 50.0, {FilterKind::Mean, 10000, 0, 0, 0}},
        {"lowpass:4:0.1", {}, {FilterKind::Lowpass, 0, 4, 0.1, 0}},
        {"lowpass:4:100", 1000.0, {FilterKind::Lowpass, 0, 4, 0.1, 0}},
        {"highpass:1:0,25", {}, {FilterKind::Highpass, 0, 1, 0.25, 0}},
        {"bandpass:8:0.1:0.2", {}, {FilterKind::Bandpass, 0, 8, 0.1, 0.2}},
        {"bandstop:2:45:55", 200.0, {FilterKind::Bandstop, 0, 2, 0.225, 0.275}},
    };
    for (const Good& c : cases) {
        EXPECT_EQ(ParseFilterSetting(c.text, c.rate), c.want) << c.text;
    }
}

struct Bad {
    const char* text;
    std::optional<double> rate;
    const char* message;
};

TEST(FilterSettingText, SettingsThatCannotWorkAreRefusedInGerman) {
    const Bad cases[] = {
        {"lowpass:4:0.5",
         {},
         "Die Grenzfrequenz muss größer als 0 und kleiner als die halbe "
         "Abtastrate (0.5) sein"},
        {"highpass:4:500", 1000.0,
         "Die Grenzfrequenz muss größer als 0 und kleiner als die "
         "halbe Abtastrate (500 Hz) sein"},
        {"lowpass:4:0",
         {},
         "Die Grenzfrequenz muss größer als 0 und kleiner als die halbe "
         "Abtastrate (0.5) sein"},
        {"bandpass:2:0.2:0.1", {}, "Die untere Grenzfrequenz muss kleiner als die obere sein"},
        {"bandstop:2:0.2:0.2", {}, "Die untere Grenzfrequenz muss kleiner als die obere sein"},
        {"bandpass:2:0.1:0.6",
         {},
         "Die obere Grenzfrequenz muss größer als 0 und kleiner als "
         "die halbe Abtastrate (0.5) sein"},
        {"bandpass:2:-1:0.2",
         {},
         "Die untere Grenzfrequenz muss größer als 0 und kleiner als "
         "die halbe Abtastrate (0.5) sein"},
        {"mean:1", {}, "Die Länge muss zwischen 2 und 10000 liegen"},
        {"mean:10001", {}, "Die Länge muss zwischen 2 und 10000 liegen"},
        {"lowpass:0:0.1", {}, "Die Ordnung muss zwischen 1 und 8 liegen"},
        {"lowpass:9:0.1", {}, "Die Ordnung muss zwischen 1 und 8 liegen"},
        {"lowpass:4:abc", {}, "'abc' ist kein gültiger Gleitkommawert"},
        {"lowpass:4:1e999", {}, "'1e999' ist kein gültiger Gleitkommawert"},
        {"mean:4.5", {}, "'4.5' ist kein gültiger Integerwert"},
        {"lowpass:4", {}, "'lowpass:4' ist keine gültige Filterangabe"},
        {"kalman:2", {}, "'kalman:2' ist keine gültige Filterangabe"},
        {"", {}, "'' ist keine gültige Filterangabe"},
        {"lowpass:8:1e-9", {}, "Das Filter ist mit diesen Grenzfrequenzen numerisch nicht stabil"},
    };
    for (const Bad& c : cases) {
        try {
            ParseFilterSetting(c.text, c.rate);
            ADD_FAILURE() << c.text << " was accepted";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), c.message) << c.text;
        }
    }
}

TEST(ChannelFilter, NonePassesValuesUnchangedAndResetRepeatsTheOutputs) {
    ChannelFilter none;
    EXPECT_FALSE(none.Active());
    EXPECT_EQ(none.Process(-3.25), -3.25);
    for (const char* text : {"mean:3", "lowpass:3:0.05", "bandstop:4:0.1:0.3"}) {
        ChannelFilter f(ParseFilterSetting(text, {}));
        EXPECT_TRUE(f.Active());
        double first[50];
        for (int i = 0; i < 50; ++i) {
            first[i] = f.Process(std::cos(i * 0.3) + 1);
        }
        f.Reset();
        for (int i = 0; i < 50; ++i) {
            EXPECT_EQ(f.Process(std::cos(i * 0.3) + 1), first[i]) << text << " " << i;
        }
    }
    EXPECT_THROW(ChannelFilter(FilterSetting{FilterKind::Lowpass, 0, 3, 0.7, 0}), EConvertError);
}

} // namespace
