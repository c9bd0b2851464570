// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The acquisition state and the sample pipeline of the main window: framing received byte
// blocks into lines (SerialComm1AfterReceive), turning each line into one sample on the chart
// (ProcessLine), and the parts of Start, Stop and Reset that act on this state and the chart.
//
// Main thread only. The window reads its edit fields, stores the converted values in the public
// settings below (numbers::FieldToSingle) and calls the run steps in the order its handlers
// give; everything else reaches the window through the AcquisitionHost.

#include "app/analysis/channelfilter.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class PlotChartCore;
class AcquisitionHost;

// The settings the window's fields give a run, with the window's defaults. plotmira-cli and
// tests use them with Acquisition::Start; the window may set the members one by one instead.
struct AcquisitionSettings {
    int ChannelCount = 1; // 1 or 2; selects MemoryMax 100000 or 50000
    bool TrendMode = false;
    bool DynGraph = true;
    float Factor1 = 1.0f;
    float Offset1 = 0.0f;
    float Factor2 = 1.0f;
    float Offset2 = 0.0f;
    float Y1Min = 0.0f;
    float Y1Max = 10.0f;
    float Y2Min = 0.0f;
    float Y2Max = 10.0f;
    float XMax = 1000.0f;    // 2000 when Trend is checked in the window; 10 (seconds) with TimeAxis
    FilterSetting Filter1{}; // "Kein Filter" unless chosen
    FilterSetting Filter2{};
    bool TimeAxis = false; // X-Achse "Zeit" instead of "Tics"
};

class Acquisition {
public:
    // Both must outlive the acquisition.
    Acquisition(PlotChartCore& chart, AcquisitionHost& host);

    // The line terminator, carriage return and line feed.
    static constexpr std::string_view LineTerminator{"\r\n"};
    // A block above this many bytes stops acquisition with "Com Pufferüberlauf".
    static constexpr std::uint32_t kMaxBlockSize = 16000;
    // A partial line keeps at most this many bytes; further bytes up to the next terminator are
    // dropped and the line is processed as usual.
    static constexpr std::size_t kMaxLineLength = 65536;

    // The acquisition state shared with the window's handlers.
    std::string LineBuffer;       // the partial line
    int TermMatched = 0;          // leading bytes of LineTerminator matched so far
    std::int64_t SampleCount = 0; // lines processed in this run; X of the newest sample
    int ChannelCount = 1;         // values per line, 1 or 2
    std::int64_t MemoryMax = 100000;
    bool MemoryMaxReached = false;
    bool TrendMode = false;
    std::uint32_t TrendCount = 0;
    bool DynGraph = true;
    int RedrawPace = 1;
    int RedrawCount = 0;
    float Factor1 = 1.0f;
    float Factor2 = 0.0f;
    float Offset1 = 0.0f;
    float Offset2 = 0.0f;
    float XMax = 0.0f;
    float Y1Max = 0.0f;
    float Y1Min = 0.0f;
    float Y2Max = 0.0f;
    float Y2Min = 0.0f;
    float RawValue = 0.0f;
    float Value1 = 0.0f;
    float Value2 = 0.0f;
    float PrevValue1 = 0.0f;
    float PrevValue2 = 0.0f;
    std::int64_t PerfFrequency = 1000000000; // ticks per second of PerfCounter
    std::int64_t PerfStart = 0;
    std::int64_t PerfEnd = 0;
    float ProcessTimeMs = 0.0f;
    // X-Achse "Zeit": a sample's X is SampleTime, the seconds from TimeOrigin (the counter at
    // StartArm) to its line's PerfStart, instead of its number; XMax is then in seconds and the
    // trend window holds the samples of the last XMax seconds. Pacing and the memory maximum
    // still count samples.
    bool TimeAxis = false;
    std::int64_t TimeOrigin = 0;
    double SampleTime = 0.0; // X of the newest sample with TimeAxis

    // The high-resolution counter, in PerfFrequency ticks (steady_clock nanoseconds by default).
    // Tests replace it to make the time texts predictable.
    std::int64_t (*PerfCounter)() = &SteadyNanoseconds;
    static std::int64_t SteadyNanoseconds();

    // Decimal separator of the texts shown on screen (numbers::DecimalSeparator() at
    // construction).
    char DecimalSeparator;

    // The receive handler: frames one block of received bytes into lines and processes each
    // complete line. Stops acquisition for a block above kMaxBlockSize ("Com Pufferüberlauf",
    // nothing of it framed) and at the memory maximum. Stops reading the block as soon as the
    // port has been closed. EOverflow ("Gleitkommaüberlauf") from a value beyond the single range
    // leaves it at once, the line still in LineBuffer and painting still suspended; the serial
    // component's exception guard reports it.
    void SerialComm1AfterReceive(const void* Buffer, std::uint32_t Received);

    // The line-error handler. Input the driver lost since the last event because the program
    // fell behind (CE_OVERRUN or CE_RXOVER in CommCode) stops acquisition exactly as a block
    // above kMaxBlockSize does; a tty never queues that much, so this is where falling behind
    // shows on Linux. Frame, parity and break errors are ignored. Nothing while the port is
    // closed.
    void SerialComm1CommError(std::uint32_t CommCode);

    // The port closed itself during the run because the device failed (unplugged, hung up):
    // returns to idle through the Stop action, then shows "Com Verbindung unterbrochen". The
    // samples recorded so far stay on the chart.
    void ConnectionLost();

    // One complete line, without terminator: parses, scales, shows and plots one sample.
    void ProcessLine(std::string_view Line);

    // The window's show: the state FormShow sets (trend off, pacing reset, DynGraph on, Factor1
    // 1, offsets 0, one channel, MemoryMax 100000). Does not touch the chart.
    void FormShowState();

    // The Start steps that act on this state and the chart, without reading fields:
    // StartClear: MemoryMaxReached off, ClearItems, DataColor blue.
    void StartClear();
    // StartCounters: SampleCount, PrevValues, TrendCount, RedrawCount 0, RedrawPace 1, empty
    // Label10, the filters' state afresh.
    void StartCounters();
    // ApplyLayerRanges: SetLayerRange of layers 1 and 2 from XMax, Y1Min..Y2Max (Start, Reset).
    void ApplyLayerRanges();
    // StartArm: SetActiveLayer(1), ClearItems again, empty LineBuffer (TermMatched is kept),
    // TimeOrigin from PerfCounter: the run's time 0, just before the port opens.
    void StartArm();
    // The state Stop resets: RedrawCount 0, MemoryMaxReached off, TrendMode off.
    void StopState();
    // The Stop action's steps on the port, this state and the chart, one sequence for the window
    // and plotmira-cli: closes the port, runs the message pump once, resumes painting and redraws
    // the chart, runs `idle` (where the window returns its controls to idle), StopState, makes
    // layer 1 active and redraws the items.
    void Stop(const std::function<void()>& idle = {});

    // The filters of the two channels, run on each scaled value before it is drawn; Label10
    // keeps showing the value of the received line. Raises EConvertError for a setting that cannot
    // work (sampleRate only chooses the unit of the text) and then changes nothing. The new
    // filters start afresh, as ResetFilters makes them (Start and Clear do).
    void SetFilters(const FilterSetting& channel1, const FilterSetting& channel2,
                    std::optional<double> sampleRate = {});
    const FilterSetting& Filter1() const { return m_filter1.Setting(); }
    const FilterSetting& Filter2() const { return m_filter2.Setting(); }
    void ResetFilters();

    // ChannelCount and MemoryMax as the channel radio buttons set them (1 → 100000, 2 → 50000).
    void SetChannels(int channels);

    // A whole Start with the given settings, as the window's Start does it minus the controls,
    // captions and port: the settings stored (the filters through SetFilters), StartClear,
    // StartCounters, ApplyLayerRanges, RedrawItems, StartArm. The caller opens the port afterwards.
    void Start(const AcquisitionSettings& settings);

private:
    void overflowStop();
    void filterValues();
    void addItems();
    void scrollTrend();
    void scrollTrendByTime();
    void pace();
    void repaint();
    float scaled(std::string_view text, float factor, float offset);

    PlotChartCore& m_chart;
    AcquisitionHost& m_host;
    ChannelFilter m_filter1;
    ChannelFilter m_filter2;
    bool m_filtering = false; // either filter active: the one test a line without filters pays
    // The framing found that another repaint of the same block follows this line's repaint.
    bool m_repaintFollows = false;
};
