// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pipeline/acquisition.h"

#include "app/pipeline/acquisitionhost.h"
#include "app/pipeline/numbers.h"
#include "base/exception.h"
#include "chart/core/plotchartcore.h"
#include "serial/serialcomm.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

namespace {

constexpr TColor kChannel1Color = 0xFF0000; // blue as 0x00BBGGRR
constexpr TColor kChannel2Color = 128;      // maroon

// Repaint interval in samples by the number of samples drawn so far: the more points the
// chart holds, the more expensive a repaint, the rarer it happens.
int redrawPaceFor(std::int64_t sampleCount) {
    if (sampleCount <= 500) {
        return 1;
    }
    if (sampleCount <= 1000) {
        return 2;
    }
    if (sampleCount <= 2010) {
        return 4;
    }
    if (sampleCount <= 5000) {
        return 10;
    }
    if (sampleCount <= 10000) {
        return 25;
    }
    if (sampleCount <= 20000) {
        return 50;
    }
    if (sampleCount <= 35000) {
        return 100;
    }
    if (sampleCount <= 50000) {
        return 150;
    }
    if (sampleCount <= 75000) {
        return 250;
    }
    return 500;
}

// Lines the framing completes in [p, end) when it starts with termMatched bytes of the
// terminator matched: the framing's own rules, without keeping the text.
std::int64_t completeLines(const char* p, const char* end, int termMatched) {
    std::int64_t lines = 0;
    while (p < end) {
        if (termMatched == 0) {
            p = static_cast<const char*>(
                std::memchr(p, Acquisition::LineTerminator[0], static_cast<std::size_t>(end - p)));
            if (p == nullptr) {
                break;
            }
            ++p;
            termMatched = 1;
            continue;
        }
        // A mismatching byte is appended and not tested again.
        lines += *p++ == Acquisition::LineTerminator[1] ? 1 : 0;
        termMatched = 0;
    }
    return lines;
}

// Lines after sample n until the next repaint when sample n repaints: with DynGraph the count
// starts again at 1, and sample n + k repaints at the first k equal to its pace (the pace never
// falls, so no k between a pace and the pace k reaches can be one).
std::int64_t linesToNextRepaint(std::int64_t n, bool dynGraph) {
    if (!dynGraph) {
        return 1;
    }
    std::int64_t k = redrawPaceFor(n + 1);
    for (std::int64_t next = redrawPaceFor(n + k); next != k; next = redrawPaceFor(n + k)) {
        k = next;
    }
    return k;
}

} // namespace

Acquisition::Acquisition(PlotChartCore& chart, AcquisitionHost& host)
    : DecimalSeparator(numbers::DecimalSeparator()), m_chart(chart), m_host(host) {}

std::int64_t Acquisition::SteadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Acquisition::SerialComm1AfterReceive(const void* Buffer, std::uint32_t Received) {
    m_host.SetStatusPanel(1, "ComBuffer: " + std::to_string(Received) + "     ");
    if (Received > kMaxBlockSize) {
        overflowStop();
        return;
    }
    const char* bytes = static_cast<const char*>(Buffer);
    const char* const end = bytes + Received;
    // A repaint that another repaint of this block will follow is one that nobody can see (the
    // block is framed without returning to the event loop, and only the repaints pump it): the
    // chart is told, so that it may leave its picture undrawn. The lines still to come in the
    // block are counted at the first repaint.
    std::int64_t linesAhead = -1;
    struct FollowsOff {
        Acquisition& acq;
        ~FollowsOff() {
            acq.m_repaintFollows = false;
            if (acq.m_chart.RepaintFollows()) {
                acq.m_chart.SetRepaintFollows(false);
            }
        }
    } followsOff{*this};
    while (bytes < end) {
        if (TermMatched == 0) {
            // Everything up to the next carriage return belongs to the line.
            const char* cr =
                static_cast<const char*>(std::memchr(bytes, LineTerminator[0], end - bytes));
            const char* stop = cr != nullptr ? cr : end;
            const std::size_t room =
                LineBuffer.size() < kMaxLineLength ? kMaxLineLength - LineBuffer.size() : 0;
            const std::size_t take = std::min(room, static_cast<std::size_t>(stop - bytes));
            LineBuffer.append(bytes, take);
            if (cr == nullptr) {
                return;
            }
            bytes = cr + 1;
            TermMatched = 1;
            continue;
        }
        const char b = *bytes++;
        if (b != LineTerminator[static_cast<std::size_t>(TermMatched)]) {
            // The matched bytes are dropped and the mismatching byte is not tested again.
            TermMatched = 0;
            if (LineBuffer.size() < kMaxLineLength) {
                LineBuffer.push_back(b);
            }
            continue;
        }
        ++TermMatched;
        if (static_cast<std::size_t>(TermMatched) < LineTerminator.size()) {
            continue;
        }
        TermMatched = 0;
        if (linesAhead > 0) {
            --linesAhead; // this line was one of them
        }
        m_repaintFollows = false;
        if (!DynGraph || RedrawCount == redrawPaceFor(SampleCount + 1)) {
            if (linesAhead < 0) {
                linesAhead = completeLines(bytes, end, 0);
            }
            m_repaintFollows = linesAhead >= linesToNextRepaint(SampleCount + 1, DynGraph);
        }
        ProcessLine(LineBuffer);
        LineBuffer.clear();
        if (MemoryMaxReached) {
            m_host.StopButtonClick();
            return;
        }
        if (!m_host.PortActive()) {
            return; // the block's memory went with the port
        }
    }
}

void Acquisition::SerialComm1CommError(std::uint32_t CommCode) {
    if ((CommCode & (CE_OVERRUN | CE_RXOVER)) != 0 && m_host.PortActive()) {
        overflowStop();
    }
}

void Acquisition::overflowStop() {
    m_host.SetPortActive(false);
    LineBuffer.clear();
    m_host.ShowMessage("Com Pufferüberlauf");
    m_host.EnableMainMenu();
    m_host.StopButtonClick();
}

void Acquisition::ConnectionLost() {
    m_host.StopButtonClick();
    m_host.ShowMessage("Com Verbindung unterbrochen");
}

float Acquisition::scaled(std::string_view text, float factor, float offset) {
    RawValue = numbers::ParseLineSingle(text);
    return numbers::StoreSingle(static_cast<double>(RawValue) * factor + offset);
}

void Acquisition::ProcessLine(std::string_view Line) {
    PerfStart = PerfCounter();
    m_chart.SuspendPaint(true);
    ++SampleCount;
    if (ChannelCount == 2) {
        // The ";" is looked for in the whole line while channel 2 ends at the first zero byte:
        // channel 1 is everything before the ";", channel 2 what lies between the ";" and
        // that zero byte (nothing when the zero byte comes first).
        const std::size_t n = std::min(Line.find('\0'), Line.size());
        const std::size_t semicolon = Line.find(';');
        const std::size_t p = semicolon == std::string_view::npos ? 0 : semicolon + 1;
        const std::string_view first = p == 0 ? std::string_view() : Line.substr(0, p - 1);
        const std::string_view second = n > p ? Line.substr(p, n - p) : std::string_view();
        Value1 = scaled(first, Factor1, Offset1);
        Value2 = scaled(second, Factor2, Offset2);
        m_host.SetLabel10Number(NumberText::Values(Value1, Value2, DecimalSeparator));
    } else {
        Value1 = scaled(Line, Factor1, Offset1);
        m_host.SetLabel10Number(NumberText::OneValue(Value1, DecimalSeparator));
    }
    m_host.SetStatusPanelNumber(0, NumberText::Counted(SampleCount));
    if (SampleCount > MemoryMax && !TrendMode) {
        m_host.SetPortActive(false);
        m_host.ProcessMessages();
        m_host.ShowMessage("Speichermaximum erreicht");
        MemoryMaxReached = true;
        m_host.EnableMainMenu();
        return;
    }
    if (m_filtering) {
        filterValues();
    }
    addItems();
    if (TrendMode) {
        scrollTrend();
    }
    pace();
    PerfEnd = PerfCounter();
    if (PerfFrequency == 0) {
        throw EZeroDivide();
    }
    ProcessTimeMs = numbers::StoreSingle(static_cast<double>((PerfEnd - PerfStart) * 1000) /
                                         static_cast<double>(PerfFrequency));
    m_host.SetStatusPanelNumber(2, NumberText::Time(ProcessTimeMs, DecimalSeparator));
}

void Acquisition::filterValues() {
    // The filters compute in double; their output is stored like every value, so one beyond
    // the single range stops the run with "Gleitkommaüberlauf" instead of reaching the chart.
    Value1 = numbers::StoreSingle(m_filter1.Process(Value1));
    if (ChannelCount == 2) {
        Value2 = numbers::StoreSingle(m_filter2.Process(Value2));
    }
}

void Acquisition::SetFilters(const FilterSetting& channel1, const FilterSetting& channel2,
                             std::optional<double> sampleRate) {
    ChannelFilter first(channel1, sampleRate);
    ChannelFilter second(channel2, sampleRate);
    m_filter1 = std::move(first);
    m_filter2 = std::move(second);
    m_filtering = m_filter1.Active() || m_filter2.Active();
}

void Acquisition::ResetFilters() {
    m_filter1.Reset();
    m_filter2.Reset();
}

void Acquisition::addItems() {
    double x = static_cast<double>(SampleCount);
    double prevX = x - 1;
    double firstX = 0; // with "Tics" sample 1 stands at X 0
    if (TimeAxis) {
        if (PerfFrequency == 0) {
            throw EZeroDivide();
        }
        prevX = SampleCount == 1 ? 0.0 : SampleTime;
        SampleTime =
            static_cast<double>(PerfStart - TimeOrigin) / static_cast<double>(PerfFrequency);
        x = firstX = SampleTime;
    }
    if (!TrendMode && ChannelCount == 1) {
        if (SampleCount == 1) {
            m_chart.AddMoveTo(firstX, Value1);
        } else {
            m_chart.AddDrawTo(x, Value1);
        }
        return;
    }
    if (SampleCount == 1) {
        PrevValue1 = Value1;
        PrevValue2 = Value2;
    }
    m_chart.SetActiveLayer(1);
    m_chart.SetDataColor(kChannel1Color);
    m_chart.AddLine(prevX, PrevValue1, x, Value1);
    PrevValue1 = Value1;
    if (ChannelCount == 2) {
        m_chart.SetActiveLayer(2);
        m_chart.SetDataColor(kChannel2Color);
        m_chart.AddLine(prevX, PrevValue2, x, Value2);
        PrevValue2 = Value2;
    }
}

void Acquisition::scrollTrend() {
    if (TimeAxis) {
        scrollTrendByTime();
        return;
    }
    if (static_cast<double>(XMax) - 20 >= static_cast<double>(TrendCount)) {
        ++TrendCount;
        return;
    }
    m_chart.DeleteFirstItem();
    m_chart.SetLayerRange(1, m_chart.Scale1X().RangeLow() + 1, m_chart.Scale1Y().RangeLow(),
                          m_chart.Scale1X().RangeHigh() + 1, m_chart.Scale1Y().RangeHigh());
    if (ChannelCount == 2) {
        m_chart.DeleteFirstItem();
        m_chart.SetLayerRange(2, m_chart.Scale2X().RangeLow() + 1, m_chart.Scale2Y().RangeLow(),
                              m_chart.Scale2X().RangeHigh() + 1, m_chart.Scale2Y().RangeHigh());
    }
}

void Acquisition::scrollTrendByTime() {
    // The window is XMax seconds wide and the newest sample stands a hundredth of it left of the
    // right edge, as sample n stands 20 of 2000 samples left of it with "Tics". Once it is
    // full, a sample whose time falls out to the left goes with its items (a segment ends at
    // its sample's time, the channels of a sample share it): none, one or several per line, all
    // of them after a pause longer than the window but the newest sample's.
    const double width = static_cast<double>(XMax);
    const double high = SampleTime + std::max(width, 0.0) / 100;
    if (high <= width) {
        return;
    }
    const double low = high - width;
    while (m_chart.ItemCount() > 0 && m_chart.Item(0).X2 < low && m_chart.Item(0).X2 < SampleTime) {
        m_chart.DeleteFirstItem();
    }
    m_chart.SetLayerRange(1, low, m_chart.Scale1Y().RangeLow(), high,
                          m_chart.Scale1Y().RangeHigh());
    if (ChannelCount == 2) {
        m_chart.SetLayerRange(2, low, m_chart.Scale2Y().RangeLow(), high,
                              m_chart.Scale2Y().RangeHigh());
    }
}

void Acquisition::pace() {
    RedrawPace = redrawPaceFor(SampleCount);
    if (!DynGraph) {
        repaint();
        return;
    }
    if (RedrawCount == RedrawPace) {
        repaint();
        RedrawCount = 0;
    }
    ++RedrawCount;
}

void Acquisition::repaint() {
    if (m_repaintFollows != m_chart.RepaintFollows()) {
        m_chart.SetRepaintFollows(m_repaintFollows);
    }
    m_chart.SuspendPaint(false);
    m_chart.RedrawItems();
    m_host.ProcessMessages();
}

void Acquisition::FormShowState() {
    TrendMode = false;
    RedrawCount = 0;
    RedrawPace = 1;
    MemoryMaxReached = false;
    DynGraph = true;
    Factor1 = 1.0f;
    Offset1 = 0.0f;
    Offset2 = 0.0f;
    TrendCount = 0;
    ChannelCount = 1;
    MemoryMax = 100000;
}

void Acquisition::StartClear() {
    MemoryMaxReached = false;
    m_chart.ClearItems();
    m_chart.SetDataColor(kChannel1Color);
}

void Acquisition::StartCounters() {
    SampleCount = 0;
    PrevValue1 = 0.0f;
    PrevValue2 = 0.0f;
    TrendCount = 0;
    RedrawCount = 0;
    RedrawPace = 1;
    ResetFilters();
    SampleTime = 0.0;
    m_host.SetLabel10("");
}

void Acquisition::ApplyLayerRanges() {
    m_chart.SetLayerRange(1, 0, Y1Min, XMax, Y1Max);
    m_chart.SetLayerRange(2, 0, Y2Min, XMax, Y2Max);
}

void Acquisition::StartArm() {
    m_chart.SetActiveLayer(1);
    m_chart.ClearItems();
    LineBuffer.clear();
    TimeOrigin = PerfCounter();
}

void Acquisition::StopState() {
    RedrawCount = 0;
    MemoryMaxReached = false;
    TrendMode = false;
}

void Acquisition::Stop(const std::function<void()>& idle) {
    m_host.SetPortActive(false);
    m_host.ProcessMessages();
    m_chart.SuspendPaint(false);
    m_chart.Redraw();
    if (idle) {
        idle();
    }
    StopState();
    m_chart.SetActiveLayer(1);
    m_chart.RedrawItems();
}

void Acquisition::SetChannels(int channels) {
    ChannelCount = channels == 2 ? 2 : 1;
    MemoryMax = ChannelCount == 2 ? 50000 : 100000;
}

void Acquisition::Start(const AcquisitionSettings& settings) {
    SetFilters(settings.Filter1, settings.Filter2);
    SetChannels(settings.ChannelCount);
    TrendMode = settings.TrendMode;
    DynGraph = settings.DynGraph;
    TimeAxis = settings.TimeAxis;
    StartClear();
    StartCounters();
    Factor1 = settings.Factor1;
    Factor2 = settings.Factor2;
    Offset1 = settings.Offset1;
    Offset2 = settings.Offset2;
    Y1Max = settings.Y1Max;
    Y2Max = settings.Y2Max;
    Y1Min = settings.Y1Min;
    Y2Min = settings.Y2Min;
    XMax = settings.XMax;
    ApplyLayerRanges();
    m_chart.RedrawItems();
    StartArm();
}
