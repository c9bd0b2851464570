// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pipeline/csvexport.h"

#include "base/exception.h"
#include "chart/core/sessionfile.h"
#include "chart/core/systemerror.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <fcntl.h>
#include <limits>
#include <system_error>
#include <unistd.h>

namespace {

// Sample numbers above this are not whole numbers a double holds exactly.
constexpr double kLargestSampleNumber = 9007199254740992.0; // 2^53

// Flush the CSV text to the file in pieces of this size, so a long export never holds it whole.
constexpr std::size_t kWriteChunk = std::size_t{1} << 20;

bool isSampleNumber(double x, double lowest) {
    return x >= lowest && x <= kLargestSampleNumber && std::floor(x) == x;
}

// A value a recording stores: finite and exactly a single-precision value.
bool isSampleValue(double y) {
    return std::isfinite(y) && std::fabs(y) <= std::numeric_limits<float>::max() &&
           static_cast<double>(static_cast<float>(y)) == y;
}

struct ItemSample {
    std::int64_t number;
    int channel;
    float value;
};

// The sample an item of a recording stands for, or nothing for an item no recording makes.
std::optional<ItemSample> sampleOf(const ChartItem& item) {
    switch (item.Kind) {
    case ikMoveTo:
        if (item.Layer == 1 && item.X == 0.0 && isSampleValue(item.Y)) {
            return ItemSample{1, 1, static_cast<float>(item.Y)};
        }
        break;
    case ikDrawTo:
        if (item.Layer == 1 && isSampleNumber(item.X, 2.0) && isSampleValue(item.Y)) {
            return ItemSample{static_cast<std::int64_t>(item.X), 1, static_cast<float>(item.Y)};
        }
        break;
    case ikLine:
        if ((item.Layer == 1 || item.Layer == 2) && isSampleNumber(item.X2, 1.0) &&
            item.X == item.X2 - 1.0 && isSampleValue(item.Y) && isSampleValue(item.Y2)) {
            return ItemSample{static_cast<std::int64_t>(item.X2), item.Layer,
                              static_cast<float>(item.Y2)};
        }
        break;
    default:
        break;
    }
    return std::nullopt;
}

class CsvFile {
public:
    explicit CsvFile(const std::string& fileName) {
        // Non-blocking open: a FIFO without a reader fails at once instead of hanging.
        m_fd =
            ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
        if (m_fd < 0) {
            const int err = errno;
            throw EFCreateError("Datei \"" + fullFileName(fileName) +
                                "\" kann nicht erstellt werden. " + systemErrorText(err));
        }
        const int flags = ::fcntl(m_fd, F_GETFL);
        if (flags >= 0) {
            ::fcntl(m_fd, F_SETFL, flags & ~O_NONBLOCK);
        }
    }
    ~CsvFile() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    CsvFile(const CsvFile&) = delete;
    CsvFile& operator=(const CsvFile&) = delete;

    void write(const std::string& text) {
        const char* bytes = text.data();
        std::size_t left = text.size();
        while (left > 0) {
            const ssize_t written = ::write(m_fd, bytes, left);
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                raiseInOutError(errno);
            }
            if (written == 0) {
                raiseInOutError(ENOSPC);
            }
            bytes += written;
            left -= static_cast<std::size_t>(written);
        }
    }

    void close() {
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0 && errno != EINTR) {
            raiseInOutError(errno);
        }
    }

private:
    int m_fd = -1;
};

void appendHeader(std::string& out, int channels) {
    out += channels == 2 ? "sample,channel1,channel2\n" : "sample,channel1\n";
}

void appendRow(std::string& out, const RecordedSample& sample, int channels) {
    char buffer[32];
    const auto number = std::to_chars(buffer, buffer + sizeof buffer, sample.Number);
    out.append(buffer, number.ptr);
    out += ',';
    if (sample.Channel1) {
        out += FormatSampleValue(*sample.Channel1);
    }
    if (channels == 2) {
        out += ',';
        if (sample.Channel2) {
            out += FormatSampleValue(*sample.Channel2);
        }
    }
    out += '\n';
}

} // namespace

RecordedSamples RecoverSamples(std::span<const ChartItem> items) {
    RecordedSamples result;
    for (const ChartItem& item : items) {
        const std::optional<ItemSample> s = sampleOf(item);
        if (!s) {
            ++result.Skipped;
            continue;
        }
        std::optional<float> RecordedSample::*const channel =
            s->channel == 1 ? &RecordedSample::Channel1 : &RecordedSample::Channel2;
        // The other channel's item of the same sample completes it; anything else starts one.
        if (result.Samples.empty() || result.Samples.back().Number != s->number ||
            (result.Samples.back().*channel).has_value()) {
            result.Samples.push_back(RecordedSample{s->number, {}, {}});
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

std::string SamplesToCsv(const RecordedSamples& samples) {
    std::string out;
    appendHeader(out, samples.Channels);
    for (const RecordedSample& sample : samples.Samples) {
        appendRow(out, sample, samples.Channels);
    }
    return out;
}

RecordedSamples ExportSessionCsv(const std::string& sessionFile, const std::string& csvFile) {
    RecordedSamples samples;
    {
        const RecordBuffer records = ReadSessionFile(sessionFile);
        samples = RecoverSamples(std::span<const ChartItem>(records.data(), records.size()));
    }
    CsvFile file(csvFile);
    std::string chunk;
    chunk.reserve(kWriteChunk + 64);
    appendHeader(chunk, samples.Channels);
    for (const RecordedSample& sample : samples.Samples) {
        appendRow(chunk, sample, samples.Channels);
        if (chunk.size() >= kWriteChunk) {
            file.write(chunk);
            chunk.clear();
        }
    }
    file.write(chunk);
    file.close();
    return samples;
}
