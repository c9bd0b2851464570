// SPDX-License-Identifier: GPL-3.0-or-later
// CSV export of recordings: samples recovered from the items the real pipeline makes for fed
// lines in every mode, items no recording makes, and the value texts.
#include "app/pipeline/csvexport.h"
#include "base/exception.h"
#include "pipelinefixture.h"
#include "tests/support/filesizelimit.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

namespace {

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class CsvExportTest : public PipelineTest {
protected:
    std::string csvOfChart() { return SamplesToCsv(RecoverSamples(chart.Items())); }
};

ChartItem item(std::uint8_t kind, int layer, double x, double y, double x2 = 0, double y2 = 0) {
    ChartItem it;
    std::memset(&it, 0, sizeof it);
    it.Kind = kind;
    it.Layer = layer;
    it.X = x;
    it.Y = y;
    it.X2 = x2;
    it.Y2 = y2;
    return it;
}

TEST_F(CsvExportTest, OneChannelNormalRecordingGivesItsLinesInOrder) {
    feed("1.5\r\n-2\r\n3.25\r\n");
    EXPECT_EQ(csvOfChart(), "sample,channel1\n1,1.5\n2,-2\n3,3.25\n");
}

TEST_F(CsvExportTest, ValuesAreTheScaledSinglePrecisionValues) {
    AcquisitionSettings s;
    s.Factor1 = 0.1f;
    s.Offset1 = -1.0f;
    start(s);
    feed("1.1\r\n12,5\r\n1e-7\r\n");
    // 1.1 * 0.1 - 1 rounded to single once; "12,5" reads as 12; 1e-7 * 0.1 - 1 stays near -1.
    EXPECT_EQ(csvOfChart(), "sample,channel1\n1,-0.89\n2,0.20000002\n3,-1\n");
}

TEST_F(CsvExportTest, TwoChannelRecordingPairsTheLayersOfEachSample) {
    AcquisitionSettings s;
    s.ChannelCount = 2;
    start(s);
    feed("1.5;2.5\r\n-1;0.125\r\n7\r\n");
    EXPECT_EQ(csvOfChart(), "sample,channel1,channel2\n1,1.5,2.5\n2,-1,0.125\n3,0,7\n");
}

TEST_F(CsvExportTest, TrendRecordingStartsAtItsOldestKeptSample) {
    AcquisitionSettings s;
    s.TrendMode = true;
    s.XMax = 30.0f; // the window holds 11 samples, then scrolls
    start(s);
    for (int i = 1; i <= 25; ++i) {
        feed(std::to_string(i) + ".5\r\n");
    }
    const RecordedSamples r = RecoverSamples(chart.Items());
    ASSERT_EQ(r.Samples.size(), 11u);
    EXPECT_EQ(r.Channels, 1);
    EXPECT_EQ(r.Skipped, 0u);
    for (std::size_t k = 0; k < r.Samples.size(); ++k) {
        const int n = 15 + static_cast<int>(k);
        EXPECT_EQ(r.Samples[k].Number, n);
        EXPECT_EQ(r.Samples[k].Channel1, static_cast<float>(n) + 0.5f);
        EXPECT_FALSE(r.Samples[k].Channel2);
    }
}

TEST_F(CsvExportTest, TwoChannelTrendRecordingKeepsBothChannelsOfEveryKeptSample) {
    AcquisitionSettings s;
    s.ChannelCount = 2;
    s.TrendMode = true;
    s.XMax = 25.0f;
    start(s);
    for (int i = 1; i <= 12; ++i) {
        feed(std::to_string(i) + ";" + std::to_string(-i) + "\r\n");
    }
    EXPECT_EQ(csvOfChart(), "sample,channel1,channel2\n"
                            "7,7,-7\n8,8,-8\n9,9,-9\n10,10,-10\n11,11,-11\n12,12,-12\n");
}

TEST_F(CsvExportTest, OneSampleRecordingIsItsMoveTo) {
    feed("4\r\n");
    EXPECT_EQ(csvOfChart(), "sample,channel1\n1,4\n");
}

TEST_F(CsvExportTest, ItemsNoRecordingMakesAreSkippedAndCounted) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<ChartItem> items = {
        item(ikMoveTo, 1, 0, 1),
        item(ikDrawTo, 1, 2, 2),
        item(ikDrawTo, 1, 2.5, 9),   // not a whole sample number
        item(ikDrawTo, 3, 3, 9),     // layer 3
        item(ikDrawTo, 1, 3, nan),   // no value
        item(ikDrawTo, 1, 3, 0.1),   // not a single-precision value
        item(ikDrawTo, 1, 3, 1e300), // beyond single precision
        item(ikMoveTo, 1, 5, 9),     // a move-to elsewhere than sample 1
        item(ikLine, 1, 1, 9, 3, 9), // a segment two units wide
        item(ikLine, 0, 2, 9, 3, 9), // layer 0
        item(5, 1, 3, 9),            // a kind this program never makes
        item(ikDrawTo, 1, 3, 3),
        item(ikDrawTo, 2, 4, 9), // channel 2 never draws a polyline
    };
    const RecordedSamples r = RecoverSamples(items);
    EXPECT_EQ(r.Skipped, 10u);
    EXPECT_EQ(r.Channels, 1);
    EXPECT_EQ(SamplesToCsv(r), "sample,channel1\n1,1\n2,2\n3,3\n");
}

TEST_F(CsvExportTest, ChannelMissingFromASampleGivesAnEmptyField) {
    // A one-channel recording followed by a loaded two-channel one: channel 2 appears, and
    // the samples of the first recording have no value for it.
    const std::vector<ChartItem> items = {
        item(ikMoveTo, 1, 0, 1),     item(ikDrawTo, 1, 2, 2),     item(ikLine, 1, 0, 5, 1, 5),
        item(ikLine, 2, 0, 6, 1, 6), item(ikLine, 2, 1, 6, 2, 7), // channel 1 of sample 2 is
                                                                  // missing
    };
    EXPECT_EQ(SamplesToCsv(RecoverSamples(items)),
              "sample,channel1,channel2\n1,1,\n2,2,\n1,5,6\n2,,7\n");
}

TEST_F(CsvExportTest, EmptyRecordingIsTheHeaderAlone) {
    EXPECT_EQ(SamplesToCsv(RecoverSamples({})), "sample,channel1\n");
}

// "Zeit" recordings: the first column is each sample's time (the end of its item); samples of
// one block may share a time and still stay apart.
TEST_F(CsvExportTest, TimeRecordingsGiveEachSamplesTimeUnderTimeS) {
    const std::vector<ChartItem> oneChannel = {
        item(ikMoveTo, 1, 0.5, 1.5),
        item(ikDrawTo, 1, 0.75, -2),
        item(ikDrawTo, 1, 2, 3.25),
    };
    EXPECT_EQ(SamplesToCsv(RecoverSamples(oneChannel, CsvXAxis::Time)),
              "time_s,channel1\n0.5,1.5\n0.75,-2\n2,3.25\n");

    const double t = 1.000000123; // a time needs every digit of a double
    const std::vector<ChartItem> twoChannels = {
        item(ikLine, 1, 0, 1, t, 1),   item(ikLine, 2, 0, 10, t, 10),
        item(ikLine, 1, t, 1, t, 2),   item(ikLine, 2, t, 10, t, 20), // the same block
        item(ikLine, 1, t, 2, 2.5, 3),
    };
    const RecordedSamples r = RecoverSamples(twoChannels, CsvXAxis::Time);
    EXPECT_EQ(r.Skipped, 0u);
    EXPECT_EQ(SamplesToCsv(r), "time_s,channel1,channel2\n"
                               "1.000000123,1,10\n1.000000123,2,20\n2.5,3,\n");
    EXPECT_EQ(std::strtod(FormatSampleTime(t).c_str(), nullptr), t);

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<ChartItem> foreign = {
        item(ikDrawTo, 1, -0.5, 1),   // before Start
        item(ikDrawTo, 1, nan, 1),    // no time
        item(ikLine, 1, 2, 1, 1, 1),  // runs backwards
        item(ikLine, 3, 0, 1, 1, 1),  // layer 3
        item(ikDrawTo, 1, 1.25, 0.1), // not a single-precision value
        item(ikLine, 1, 1.25, 1, 1.5, 4),
    };
    const RecordedSamples f = RecoverSamples(foreign, CsvXAxis::Time);
    EXPECT_EQ(f.Skipped, 5u);
    EXPECT_EQ(SamplesToCsv(f), "time_s,channel1\n1.5,4\n");
    EXPECT_EQ(SamplesToCsv(RecoverSamples({}, CsvXAxis::Time)), "time_s,channel1\n");
}

// Every text reads back (strtof) to exactly the value, uses "." and is no longer than needed.
// A shorter export over a longer one leaves no old tail (no half row at the end); one that fails
// midway (a full disk) keeps the old file as it was and leaves nothing beside it.
TEST(CsvFile, ReplacesTheOldFileWholeOrNotAtAll) {
    char folder[] = "/tmp/plotmira-csv-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string name = std::string(folder) + "/run.csv";
    RecordedSamples longer;
    for (int n = 1; n <= 2000; ++n) {
        longer.Samples.push_back({n, static_cast<float>(n) / 8, std::nullopt});
    }
    RecordedSamples shorter;
    shorter.Samples.push_back({1, 1.5f, std::nullopt});
    WriteCsvFile(longer, name);
    WriteCsvFile(shorter, name);
    EXPECT_EQ(readText(name), "sample,channel1\n1,1.5\n");
    {
        FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.Active());
        try {
            WriteCsvFile(longer, name);
            ADD_FAILURE() << "no error";
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.Message(), "Zu wenig Speicherplatz");
        }
    }
    EXPECT_EQ(readText(name), "sample,channel1\n1,1.5\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                            std::filesystem::directory_iterator()),
              1);
    std::filesystem::remove_all(folder);
}

TEST(CsvValueText, IsTheShortestTextThatReadsBackToTheSameSingle) {
    struct Case {
        float value;
        const char* text;
    };
    const Case cases[] = {
        {1.5f, "1.5"},
        {-2.0f, "-2"},
        {0.1f, "0.1"},
        {1.1f, "1.1"},
        {16777216.0f, "16777216"},
        {3.4028235e38f, "3.4028235e+38"},
        {1e-5f, "1e-05"},
        {-0.0f, "-0"},
        {std::numeric_limits<float>::denorm_min(), "1e-45"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatSampleValue(c.value), c.text);
    }
    // A sweep over neighbouring values: exact round trip, never a shorter text that also would.
    float v = 0.001f;
    for (int i = 0; i < 2000; ++i, v = std::nextafter(v * 1.37f, 1e30f)) {
        const std::string text = FormatSampleValue(v);
        ASSERT_EQ(std::strtof(text.c_str(), nullptr), v) << text;
        ASSERT_EQ(text.find(','), std::string::npos);
    }
}

} // namespace
