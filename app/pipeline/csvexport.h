// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A recording's samples recovered from its chart items, and their CSV form: the one writer of
// CSV files, used by the window's "Daten-Export im CSV-Format" and by plotmira-cli export.
//
// A recording makes these items (layer 1 = channel 1, layer 2 = channel 2), where x(n) is the
// X of sample n: its number n with "Tics", the seconds since Start with "Zeit":
// - normal mode, one channel: a move-to for sample 1 (at X 0 with "Tics", at x(1) with "Zeit"),
//   then a draw-to at (x(n), vn) for every later sample n;
// - two channels, and trend mode: per sample n and channel one line segment from
//   (x(n - 1), previous value) to (x(n), vn), x(0) = 0, channel 1 before channel 2. Trend mode
//   deletes the oldest segments, so such a recording starts at its oldest kept sample.
// A sample is therefore the end point of its item: its X is the sample's number or time (with
// "Tics" 1 for the move-to) and its value the Y coordinate, a single-precision value widened to
// double.

#include "chart/core/chartitem.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// What the items' X counts, and so the CSV's first column: "sample" or "time_s".
enum class CsvXAxis { Samples, Time };

struct RecordedSample {
    std::int64_t Number = 0; // the sample number (CsvXAxis::Samples)
    std::optional<float> Channel1;
    std::optional<float> Channel2;
    double Time = 0.0; // seconds since Start (CsvXAxis::Time)
};

struct RecordedSamples {
    std::vector<RecordedSample> Samples; // in item order
    int Channels = 1;                    // 2 when any sample holds a channel 2 value
    std::size_t Skipped = 0;             // items that a recording does not make
    CsvXAxis XAxis = CsvXAxis::Samples;
};

// Recovers the samples in item order. An item counts as a recording's only when its kind, layer
// and coordinates are those a recording gives (Samples: whole sample numbers, a segment one unit
// wide; Time: times of at least 0, a segment that does not run backwards; both: finite
// single-precision values); every other item is skipped and counted. The two channels' items of
// one sample form one sample; a channel whose item is missing stays empty.
RecordedSamples RecoverSamples(std::span<const ChartItem> items,
                               CsvXAxis xAxis = CsvXAxis::Samples);

// The shortest decimal text that reads back to the same single-precision value, with "." as
// the decimal point ("1.5", "-2", "1e-05").
std::string FormatSampleValue(float value);
// The same for a time in seconds, read back as a double ("0.25", "12.000000123").
std::string FormatSampleTime(double seconds);

// The CSV text: the header "sample,channel1" ("time_s,channel1" for times; ",channel2" with two
// channels), then one line per sample, each ended by "\n". An empty channel gives an empty
// field.
std::string SamplesToCsv(const RecordedSamples& samples);

// Writes SamplesToCsv(samples) as csvFile, in pieces so that a long export never holds the whole
// text, and all or nothing (see OutputFile). Raises EFCreateError "Datei "<full name>" kann nicht
// erstellt werden. <system text>" when csvFile cannot be created (a FIFO without reader or a
// device does not block the open), and EInOutError when a write, the sync or the rename fails;
// an existing file of that name is then kept as it was.
void WriteCsvFile(const RecordedSamples& samples, const std::string& csvFile);

// The samples of items written to csvFile (WriteCsvFile); returns what was recovered.
RecordedSamples ExportItemsCsv(std::span<const ChartItem> items, CsvXAxis xAxis,
                               const std::string& csvFile);

// Reads sessionFile and exports its items (ExportItemsCsv). Raises the session file's open or
// read error before csvFile is touched.
RecordedSamples ExportSessionCsv(const std::string& sessionFile, const std::string& csvFile,
                                 CsvXAxis xAxis = CsvXAxis::Samples);
