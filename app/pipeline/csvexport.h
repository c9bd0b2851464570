// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A recording's samples recovered from its chart items, and their CSV form.
//
// A recording makes these items (layer 1 = channel 1, layer 2 = channel 2):
// - normal mode, one channel: a move-to at (0, v1) for sample 1, then a draw-to at (n, vn) for
//   every later sample n;
// - two channels, and trend mode: per sample n and channel one line segment from
//   (n - 1, previous value) to (n, vn), channel 1 before channel 2. Trend mode deletes the oldest
//   segments, so such a recording starts at its oldest kept sample.
// A sample is therefore the end point of its item: its number is the X coordinate (1 for the
// move-to) and its value the Y coordinate, a single-precision value widened to double.

#include "chart/core/chartitem.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct RecordedSample {
    std::int64_t Number = 0;
    std::optional<float> Channel1;
    std::optional<float> Channel2;
};

struct RecordedSamples {
    std::vector<RecordedSample> Samples; // in item order
    int Channels = 1;                    // 2 when any sample holds a channel 2 value
    std::size_t Skipped = 0;             // items that a recording does not make
};

// Recovers the samples in item order. An item counts as a recording's only when its kind, layer
// and coordinates are those a recording gives (whole sample numbers, a segment one unit wide,
// finite single-precision values); every other item is skipped and counted. The two channels'
// items of one sample form one sample; a channel whose item is missing stays empty.
RecordedSamples RecoverSamples(std::span<const ChartItem> items);

// The shortest decimal text that reads back to the same single-precision value, with "." as
// the decimal point ("1.5", "-2", "1e-05").
std::string FormatSampleValue(float value);

// The CSV text: the header "sample,channel1" (",channel2" with two channels), then one line per
// sample, each ended by "\n". An empty channel gives an empty field.
std::string SamplesToCsv(const RecordedSamples& samples);

// Writes SamplesToCsv(samples) as csvFile, in pieces so that a long export never holds the whole
// text, and all or nothing (see OutputFile). Raises EFCreateError "Datei "<full name>" kann nicht
// erstellt werden. <system text>" when csvFile cannot be created (a FIFO without reader or a
// device does not block the open), and EInOutError when a write, the sync or the rename fails;
// an existing file of that name is then kept as it was.
void WriteCsvFile(const RecordedSamples& samples, const std::string& csvFile);

// Reads sessionFile, writes its samples with WriteCsvFile and returns what was recovered.
// Raises the session file's open or read error, or WriteCsvFile's errors.
RecordedSamples ExportSessionCsv(const std::string& sessionFile, const std::string& csvFile);
