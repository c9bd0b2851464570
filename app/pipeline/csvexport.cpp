// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pipeline/csvexport.h"

#include "base/exception.h"
#include "base/outputfile.h"
#include "base/systemerror.h"
#include "chart/core/sessionfile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

// Sample numbers above this are not whole numbers a double holds exactly.
constexpr double kLargestSampleNumber = 9007199254740992.0; // 2^53

// Flush the CSV text to the file in pieces of this size, so a long export never holds it whole.
constexpr std::size_t kWriteChunk = std::size_t{1} << 20;

bool isSampleNumber(double x, double lowest) {
    return x >= lowest && x <= kLargestSampleNumber && std::floor(x) == x;
}

bool isSampleTime(double t) {
    return std::isfinite(t) && t >= 0.0;
}

// A value a recording stores: finite and exactly a single-precision value.
bool isSampleValue(double y) {
    return std::isfinite(y) && std::fabs(y) <= std::numeric_limits<float>::max() &&
           static_cast<double>(static_cast<float>(y)) == y;
}

struct ItemSample {
    double x; // sample number or time
    int channel;
    float value;
};

// The sample an item of a recording stands for, or nothing for an item no recording makes.
std::optional<ItemSample> sampleOf(const ChartItem& item) {
    switch (item.Kind) {
    case ikMoveTo:
        if (item.Layer == 1 && item.X == 0.0 && isSampleValue(item.Y)) {
            return ItemSample{1.0, 1, static_cast<float>(item.Y)};
        }
        break;
    case ikDrawTo:
        if (item.Layer == 1 && isSampleNumber(item.X, 2.0) && isSampleValue(item.Y)) {
            return ItemSample{item.X, 1, static_cast<float>(item.Y)};
        }
        break;
    case ikLine:
        if ((item.Layer == 1 || item.Layer == 2) && isSampleNumber(item.X2, 1.0) &&
            item.X == item.X2 - 1.0 && isSampleValue(item.Y) && isSampleValue(item.Y2)) {
            return ItemSample{item.X2, item.Layer, static_cast<float>(item.Y2)};
        }
        break;
    default:
        break;
    }
    return std::nullopt;
}

// The same for a recording against time: the item's end point is the sample's time.
std::optional<ItemSample> timedSampleOf(const ChartItem& item) {
    switch (item.Kind) {
    case ikMoveTo:
    case ikDrawTo:
        if (item.Layer == 1 && isSampleTime(item.X) && isSampleValue(item.Y)) {
            return ItemSample{item.X, 1, static_cast<float>(item.Y)};
        }
        break;
    case ikLine:
        if ((item.Layer == 1 || item.Layer == 2) && isSampleTime(item.X) && isSampleTime(item.X2) &&
            item.X <= item.X2 && isSampleValue(item.Y) && isSampleValue(item.Y2)) {
            return ItemSample{item.X2, item.Layer, static_cast<float>(item.Y2)};
        }
        break;
    default:
        break;
    }
    return std::nullopt;
}

void appendHeader(std::string& out, const RecordedSamples& samples) {
    out += samples.XAxis == CsvXAxis::Time ? "time_s,channel1" : "sample,channel1";
    out += samples.Channels == 2 ? ",channel2\n" : "\n";
}

void appendRow(std::string& out, const RecordedSample& sample, const RecordedSamples& samples) {
    if (samples.XAxis == CsvXAxis::Time) {
        out += FormatSampleTime(sample.Time);
    } else {
        char buffer[32];
        const auto number = std::to_chars(buffer, buffer + sizeof buffer, sample.Number);
        out.append(buffer, number.ptr);
    }
    out += ',';
    if (sample.Channel1) {
        out += FormatSampleValue(*sample.Channel1);
    }
    if (samples.Channels == 2) {
        out += ',';
        if (sample.Channel2) {
            out += FormatSampleValue(*sample.Channel2);
        }
    }
    out += '\n';
}

} // namespace

RecordedSamples RecoverSamples(std::span<const ChartItem> items, CsvXAxis xAxis) {
    RecordedSamples result;
    result.XAxis = xAxis;
    const bool timed = xAxis == CsvXAxis::Time;
    double lastX = 0.0;
    for (const ChartItem& item : items) {
        const std::optional<ItemSample> s = timed ? timedSampleOf(item) : sampleOf(item);
        if (!s) {
            ++result.Skipped;
            continue;
        }
        std::optional<float> RecordedSample::*const channel =
            s->channel == 1 ? &RecordedSample::Channel1 : &RecordedSample::Channel2;
        // The other channel's item of the same sample completes it; anything else starts one.
        if (result.Samples.empty() || lastX != s->x ||
            (result.Samples.back().*channel).has_value()) {
            RecordedSample sample;
            if (timed) {
                sample.Time = s->x;
            } else {
                sample.Number = static_cast<std::int64_t>(s->x);
            }
            result.Samples.push_back(sample);
            lastX = s->x;
        }
        result.Samples.back().*channel = s->value;
        if (s->channel == 2) {
            result.Channels = 2;
        }
    }
    return result;
}

std::string FormatSampleValue(float value) {
    char buffer[32];
    const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, r.ptr);
}

std::string FormatSampleTime(double seconds) {
    char buffer[32];
    const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, seconds);
    return std::string(buffer, r.ptr);
}

std::string SamplesToCsv(const RecordedSamples& samples) {
    std::string out;
    appendHeader(out, samples);
    for (const RecordedSample& sample : samples.Samples) {
        appendRow(out, sample, samples);
    }
    return out;
}

void WriteCsvFile(const RecordedSamples& samples, const std::string& csvFile) {
    OutputFile file(csvFile);
    const auto write = [&file](const std::string& text) {
        if (const int err = file.write(text.data(), text.size())) {
            raiseInOutError(err);
        }
    };
    std::string chunk;
    chunk.reserve(kWriteChunk + 64);
    appendHeader(chunk, samples);
    for (const RecordedSample& sample : samples.Samples) {
        appendRow(chunk, sample, samples);
        if (chunk.size() >= kWriteChunk) {
            write(chunk);
            chunk.clear();
        }
    }
    write(chunk);
    if (const int err = file.commit()) {
        raiseInOutError(err);
    }
}

RecordedSamples ExportItemsCsv(std::span<const ChartItem> items, CsvXAxis xAxis,
                               const std::string& csvFile) {
    RecordedSamples samples = RecoverSamples(items, xAxis);
    WriteCsvFile(samples, csvFile);
    return samples;
}

RecordedSamples ExportSessionCsv(const std::string& sessionFile, const std::string& csvFile,
                                 CsvXAxis xAxis) {
    RecordedSamples samples;
    {
        const RecordBuffer records = ReadSessionFile(sessionFile);
        samples = RecoverSamples(std::span<const ChartItem>(records.data(), records.size()), xAxis);
    }
    WriteCsvFile(samples, csvFile);
    return samples;
}
