// SPDX-License-Identifier: GPL-3.0-or-later
// Sample pipeline speed.
//
// 1. The pipeline alone: framing, parse, scaling, texts and items on a chart core that draws
//    nothing, fed from memory in 4096-byte blocks (lines per second, ns per line); also with an
//    order-8 Butterworth band-pass on both channels ("bp8").
// 2. End to end: plotmira-sim at a fixed line rate on a pseudo-terminal → serial component →
//    pipeline → the real chart rendering off screen (plotmira-cli record, default settings with
//    DynGraph on). The rate is stepped up per mode; a run keeps up when it completes with no
//    overflow and the simulator's writes were never held back by a full pty (its buffer holds
//    less than the 16000-byte overflow limit, so any hold-back is a backlog near that limit).
//    Prints per rate: lines/s achieved, hold-back, median and 99th-percentile ProcessTimeMs.
//
// 2a. The trend line path: the same on the chart core, with the number texts kept unmade as the
//    window keeps them (it makes only the ones a frame shows), timed in CPU time over the lines
//    that scroll the trend window (the best of several runs, robust under load); without a
//    filter and with the order-8 band-pass on both channels, and what the filters add; then the
//    two filters alone, the steadier figure of what they add to a line.
// 3. Where the end-to-end time goes: one repaint of the pipeline (SuspendPaint(false), which
//    rebuilds the chart, then RedrawItems) on the real chart at the window's size, by the number
//    of items, against the budget one line has at 13 000 lines/s (77 us) times the pace.
//
// PLOTMIRA_BENCH_QUICK=1 runs shorter runs (a tenth of the lines) for a quick look;
// PLOTMIRA_BENCH_E2E=0 leaves the end-to-end runs out; PLOTMIRA_BENCH_PIPELINE_ONLY=1 runs only
// the pipeline tables (1 and 2a).
#include "app/analysis/channelfilter.h"
#include "app/pipeline/acquisition.h"
#include "app/pipeline/acquisitionhost.h"
#include "chart/control/plotchart.h"
#include "chart/core/plotchartcore.h"
#include "tests/support/process.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

class NullHost : public AcquisitionHost {
public:
    void SetLabel10(const std::string&) override {}
    void SetStatusPanel(int, const std::string&) override {}
    bool PortActive() const override { return true; }
    void SetPortActive(bool) override {}
    void StopButtonClick() override {}
    void EnableMainMenu() override {}
    void ProcessMessages() override {}
    void ShowMessage(const std::string&) override {}
};

// A host as the window is: number texts are kept, not made, until a frame shows them.
class DeferringHost : public NullHost {
public:
    void SetLabel10Number(const NumberText& text) override { m_label = text; }
    void SetStatusPanelNumber(int, const NumberText& text) override { m_time = text; }

private:
    NumberText m_label;
    NumberText m_time;
};

// An order-8 Butterworth band-pass (eight sections) for a channel. Its band holds the test sine
// (a period of 188 lines), so the lines carry values like the unfiltered ones and the rows
// differ by the filters' work alone.
const FilterSetting kBandpass8{FilterKind::Bandpass, 0, 8, 0.002, 0.2};

double threadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

std::string makeLines(int count, int channels) {
    std::string text;
    char buf[64];
    for (int i = 0; i < count; ++i) {
        const double v = 5 + 4 * std::sin(i / 30.0);
        const int n = channels == 2 ? std::snprintf(buf, sizeof buf, "%.3f;%.3f\r\n", v, -v)
                                    : std::snprintf(buf, sizeof buf, "%.3f\r\n", v);
        text.append(buf, static_cast<std::size_t>(n));
    }
    return text;
}

void pipelineAlone() {
    std::printf("Pipeline alone (chart core, no drawing), 4096-byte blocks\n");
    std::printf("%-22s %10s %12s %10s %12s\n", "mode", "lines", "lines/s", "ns/line",
                "cpu ns/line");
    struct Mode {
        const char* name;
        int channels;
        bool trend;
        int lines;
        bool filtered = false;
    };
    for (const Mode m :
         {Mode{"1 channel normal", 1, false, 100000}, Mode{"2 channels normal", 2, false, 50000},
          Mode{"2 channels normal bp8", 2, false, 50000, true},
          Mode{"1 channel trend", 1, true, 200000}, Mode{"2 channels trend", 2, true, 200000},
          Mode{"2 channels trend bp8", 2, true, 200000, true}}) {
        const std::string text = makeLines(m.lines, m.channels);
        PlotChartCore chart;
        chart.SetAllocSize(110000);
        NullHost host;
        Acquisition acq(chart, host);
        AcquisitionSettings s;
        s.ChannelCount = m.channels;
        s.TrendMode = m.trend;
        s.XMax = m.trend ? 2000.0f : 1000.0f;
        if (m.filtered) {
            s.Filter1 = s.Filter2 = kBandpass8;
        }
        acq.Start(s);
        const double c0 = threadCpuSeconds();
        const auto t0 = Clock::now();
        for (std::size_t i = 0; i < text.size(); i += 4096) {
            const std::size_t n = std::min<std::size_t>(4096, text.size() - i);
            acq.SerialComm1AfterReceive(text.data() + i, static_cast<std::uint32_t>(n));
        }
        const double secs = std::chrono::duration<double>(Clock::now() - t0).count();
        const double cpu = threadCpuSeconds() - c0;
        const double count = static_cast<double>(acq.SampleCount);
        std::printf("%-22s %10lld %12.0f %10.0f %12.0f\n", m.name,
                    static_cast<long long>(acq.SampleCount), count / secs, secs * 1e9 / count,
                    cpu * 1e9 / count);
    }
    std::printf("\n");
}

void trendLinePath() {
    std::printf("Trend line path (chart core, number texts deferred as in the window), CPU time "
                "per scrolling line, best of 7 runs\n");
    std::printf("%-22s %10s %12s %12s\n", "mode", "lines", "cpu ns/line", "wall ns/line");
    constexpr int kFill = 2000; // lines before the trend window (XMax 2000) scrolls
    constexpr int kLines = 100000;
    double unfiltered = 0;
    for (const int run : {1, 2, 3}) {
        const int channels = run == 1 ? 1 : 2;
        const bool filtered = run == 3;
        const std::string fill = makeLines(kFill, channels);
        const std::string text = makeLines(kLines, channels);
        double bestCpu = 1e300;
        double bestWall = 1e300;
        for (int rep = 0; rep < 7; ++rep) {
            PlotChartCore chart;
            chart.ApplyFormChartSettings();
            DeferringHost host;
            Acquisition acq(chart, host);
            AcquisitionSettings s;
            s.ChannelCount = channels;
            s.TrendMode = true;
            s.XMax = 2000.0f;
            if (filtered) {
                s.Filter1 = s.Filter2 = kBandpass8;
            }
            acq.Start(s);
            const auto feed = [&](const std::string& lines) {
                for (std::size_t i = 0; i < lines.size(); i += 4096) {
                    const std::size_t n = std::min<std::size_t>(4096, lines.size() - i);
                    acq.SerialComm1AfterReceive(lines.data() + i, static_cast<std::uint32_t>(n));
                }
            };
            feed(fill);
            const double c0 = threadCpuSeconds();
            const auto t0 = Clock::now();
            feed(text);
            const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
            bestCpu = std::min(bestCpu, threadCpuSeconds() - c0);
            bestWall = std::min(bestWall, wall);
        }
        const char* name = filtered        ? "2 channels trend bp8"
                           : channels == 2 ? "2 channels trend"
                                           : "1 channel trend";
        std::printf("%-22s %10d %12.0f %12.0f\n", name, kLines, bestCpu * 1e9 / kLines,
                    bestWall * 1e9 / kLines);
        if (run == 2) {
            unfiltered = bestCpu;
        } else if (run == 3) {
            std::printf("%-22s %10s %12.0f   (band-pass of order 8 on both channels)\n",
                        "filters add", "", (bestCpu - unfiltered) * 1e9 / kLines);
        }
    }
    std::printf("\n");
}

// What the filters cost by themselves: two order-8 band-passes fed one value each per line, in
// CPU time, the best of 7 runs (robust under load where the whole line's figures are not).
void filterAlone() {
    constexpr int kLines = 1000000;
    std::vector<double> in(kLines);
    for (int i = 0; i < kLines; ++i) {
        in[static_cast<std::size_t>(i)] = 5 + 4 * std::sin(i / 30.0);
    }
    double best = 1e300;
    double sink = 0;
    for (int rep = 0; rep < 7; ++rep) {
        ChannelFilter first(kBandpass8);
        ChannelFilter second(kBandpass8);
        const double c0 = threadCpuSeconds();
        for (const double x : in) {
            sink += first.Process(x) + second.Process(0.5 * x);
        }
        best = std::min(best, threadCpuSeconds() - c0);
    }
    std::printf("Filters alone: band-pass of order 8 on both channels, CPU ns per line, best of 7 "
                "runs\n%-22s %10d %12.1f   (checksum %g)\n\n",
                "2 x bp8", kLines, best * 1e9 / kLines, sink);
}

void repaintCost() {
    std::printf("One repaint (SuspendPaint(false) + RedrawItems) on the chart at 585 x 361\n");
    std::printf("%-22s %8s %12s %14s %6s %14s\n", "items of", "samples", "rebuild ms",
                "redrawitems ms", "pace", "budget ms");
    struct Mode {
        const char* name;
        int channels;
        bool trend;
    };
    for (const Mode m : {Mode{"1 channel normal", 1, false}, Mode{"2 channels normal", 2, false},
                         Mode{"1 channel trend", 1, true}, Mode{"2 channels trend", 2, true}}) {
        for (const int samples : {100, 1000, 2000, 10000, 50000, 100000}) {
            if ((m.trend && samples > 2000) || (m.channels == 2 && !m.trend && samples > 50000)) {
                continue;
            }
            TPlotChart chart;
            chart.ApplyFormChartSettings();
            chart.SetHeadless(true);
            chart.resize(585, 361);
            NullHost host;
            Acquisition acq(chart, host);
            AcquisitionSettings s;
            s.ChannelCount = m.channels;
            s.TrendMode = m.trend;
            s.DynGraph = true;
            s.XMax = m.trend ? 2000.0f : 1000.0f;
            acq.Start(s);
            acq.RedrawCount = -1000000000; // no repaints while filling
            const std::string text = makeLines(samples, m.channels);
            for (std::size_t i = 0; i < text.size(); i += 4096) {
                const std::size_t n = std::min<std::size_t>(4096, text.size() - i);
                acq.SerialComm1AfterReceive(text.data() + i, static_cast<std::uint32_t>(n));
            }
            const int reps = samples >= 50000 ? 5 : 20;
            double rebuild = 0;
            double items = 0;
            for (int r = 0; r < reps; ++r) {
                chart.SuspendPaint(true);
                const auto t0 = Clock::now();
                chart.SuspendPaint(false);
                const auto t1 = Clock::now();
                chart.RedrawItems();
                const auto t2 = Clock::now();
                rebuild += std::chrono::duration<double, std::milli>(t1 - t0).count();
                items += std::chrono::duration<double, std::milli>(t2 - t1).count();
            }
            acq.RedrawCount = 0;
            acq.SampleCount = samples - 1;
            acq.ProcessLine(m.channels == 2 ? "1;1" : "1");
            const int pace = acq.RedrawPace;
            std::printf("%-22s %8d %12.3f %14.3f %6d %14.3f\n", m.name, samples, rebuild / reps,
                        items / reps, pace, 0.077 * pace);
        }
    }
    std::printf("\n");
}

std::string toolPath(const char* built, const char* name) {
    if (*built != '\0' && fs::exists(built)) {
        return built;
    }
    return name; // found through PATH
}

// Starts a tool (a path, or a name found through PATH) with its output in files.
ChildProcess spawn(const std::vector<std::string>& args, const fs::path& out, const fs::path& err) {
    ChildOptions options;
    options.stdoutFile = out;
    options.stderrFile = err;
    options.searchPath = true;
    return ChildProcess(args, options);
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

double numberAfter(const std::string& text, const std::string& key) {
    const std::size_t at = text.find(key);
    return at == std::string::npos ? -1 : std::atof(text.c_str() + at + key.size());
}

struct RunResult {
    bool completed = false;
    bool overflow = false;
    double linesPerSecond = 0;
    double heldBack = -1;
    double median = 0;
    double p99 = 0;
    std::string detail; // what the tools said when a run did not complete
};

RunResult runEndToEnd(const fs::path& dir, const std::string& sim, const std::string& cli,
                      int channels, bool trend, int lines, int rate) {
    static int com = 20;
    ++com;
    const fs::path ports = dir / "ports";
    const fs::path link = ports / ("COM" + std::to_string(com));
    ChildProcess simulator =
        spawn({sim, "--com", std::to_string(com), "--ports", ports.string(), "--channels",
               std::to_string(channels), "--rate", std::to_string(rate), "--count",
               std::to_string(lines), "--wave", "sine", "--wait-reader"},
              dir / "sim.out", dir / "sim.err");
    for (int i = 0; i < 500 && !fs::is_symlink(link); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::vector<std::string> args{cli,          "record",
                                  "--port",     link.string(),
                                  "--count",    std::to_string(lines),
                                  "--channels", std::to_string(channels),
                                  "--quiet"};
    if (trend) {
        args.push_back("--trend");
    }
    const auto t0 = Clock::now();
    ChildProcess recorder = spawn(args, dir / "cli.out", dir / "cli.err");
    const double limit = rate > 0 ? 30.0 + 3.0 * lines / rate : 600.0;
    const int cliStatus = recorder.waitFor(
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(limit)));
    const double secs = std::chrono::duration<double>(Clock::now() - t0).count();
    if (cliStatus != 0) {
        simulator.signal(SIGTERM);
    }
    simulator.waitFor(std::chrono::seconds(10));

    RunResult r;
    const std::string out = readFile(dir / "cli.out");
    const std::string err = readFile(dir / "cli.err");
    const std::string simErr = readFile(dir / "sim.err") + readFile(dir / "sim.out");
    r.overflow = err.find("Com Pufferüberlauf") != std::string::npos;
    r.completed = cliStatus == 0 && numberAfter(out, "samples ") == lines;
    r.linesPerSecond = lines / secs;
    r.heldBack = numberAfter(simErr, "held back by a full buffer for ");
    if (!r.completed) {
        r.detail = "cli status " + std::to_string(cliStatus) + ", " +
                   out.substr(0, out.find('\n')) + " | " +
                   err.substr(err.rfind('\n', err.size() - 2) + 1) + " | " + simErr;
    }
    r.median = numberAfter(out, "line time median ");
    r.p99 = numberAfter(out, "99th percentile ");
    return r;
}

void endToEnd(bool quick) {
    const std::string sim = toolPath(PLOTMIRA_SIM_PATH, "plotmira-sim");
    const std::string cli = toolPath(PLOTMIRA_CLI_PATH, "plotmira-cli");
    char tmpl[] = "/tmp/plotmira-bench-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) {
        std::perror("mkdtemp");
        return;
    }
    const fs::path dir = tmpl;
    std::printf("End to end: plotmira-sim -> pty -> serial component -> pipeline -> chart "
                "(off screen), DynGraph on\n");
    std::printf("%-20s %8s %9s %11s %9s %10s %10s  %s\n", "mode", "lines", "rate", "achieved/s",
                "held(s)", "median ms", "p99 ms", "result");
    struct Mode {
        const char* name;
        int channels;
        bool trend;
        int lines;
    };
    const int rates[] = {2000,   5000,   13000,  25000,  50000, 75000,
                         100000, 150000, 200000, 300000, 500000};
    for (const Mode m :
         {Mode{"1 channel normal", 1, false, 100000}, Mode{"2 channels normal", 2, false, 50000},
          Mode{"1 channel trend", 1, true, 200000}, Mode{"2 channels trend", 2, true, 200000}}) {
        const int lines = quick ? m.lines / 10 : m.lines;
        const auto report = [&](const char* rateText, int rate, const RunResult& r, bool keptUp) {
            std::printf("%-20s %8d %9s %11.0f %9.3f %10.3f %10.3f  %s\n", m.name, lines, rateText,
                        r.linesPerSecond, r.heldBack, r.median, r.p99,
                        rate == 0      ? "capacity"
                        : keptUp       ? "keeps up"
                        : r.overflow   ? "overflow"
                        : !r.completed ? "incomplete"
                                       : "fell behind");
            if (!r.detail.empty()) {
                std::printf("    %s\n", r.detail.c_str());
            }
            std::fflush(stdout);
        };
        // As fast as the simulator can send: the reader's capacity, the pty throttling the
        // writer. Rates far above it are not tried.
        const RunResult capacity = runEndToEnd(dir, sim, cli, m.channels, m.trend, lines, 0);
        report("max", 0, capacity, false);
        int best = 0;
        for (const int rate : rates) {
            if (rate > 1.5 * capacity.linesPerSecond) {
                break;
            }
            const RunResult r = runEndToEnd(dir, sim, cli, m.channels, m.trend, lines, rate);
            // Held back for less than one line period counts as the start-up hand-shake.
            const bool keptUp =
                r.completed && !r.overflow && r.heldBack >= 0 && r.heldBack < 1.0 / rate + 0.002;
            report(std::to_string(rate).c_str(), rate, r, keptUp);
            if (!keptUp) {
                break;
            }
            best = rate;
        }
        std::printf("%-20s highest rate kept up: %d lines/s\n\n", m.name, best);
    }
    fs::remove_all(dir);
}

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    const char* quickEnv = std::getenv("PLOTMIRA_BENCH_QUICK");
    const bool quick = quickEnv != nullptr && std::strcmp(quickEnv, "1") == 0;
    pipelineAlone();
    trendLinePath();
    filterAlone();
    const char* only = std::getenv("PLOTMIRA_BENCH_PIPELINE_ONLY");
    if (only != nullptr && std::strcmp(only, "1") == 0) {
        return 0;
    }
    repaintCost();
    const char* e2e = std::getenv("PLOTMIRA_BENCH_E2E");
    if (e2e == nullptr || std::strcmp(e2e, "0") != 0) {
        endToEnd(quick);
    }
    return 0;
}
