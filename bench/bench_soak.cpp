// SPDX-License-Identifier: GPL-3.0-or-later
// Memory of an endless run: a trend recording fed at a fixed line rate on a pseudo-terminal,
// with the resident set size (RSS) printed over time, for plotmira-cli record (a process of its
// own) and for the window (TForm1 in this process, off screen, Start clicked with Trend on).
// A trend run has no end, so every structure it keeps per run must stay bounded: the goal is a
// growth of at most 2 MB over 10 minutes at 20 000 lines/s.
//
// The growth is measured from the end of a warm-up (a fifth of the run, at least 5 s), when the
// chart's window is full and the allocator has settled, to the end, and also stated per minute
// and projected over 10 minutes.
//
//   bench_soak [--seconds S | --minutes M] [--rate LINES_PER_S] [--mode cli|window|both]
//              [--cli PATH]
//
// --cli runs another plotmira-cli (an earlier build, to compare).
// Defaults: 30 s per mode, 20 000 lines/s, both. `--minutes 10` is the full soak.
#include "app/pipeline/acquisition.h"
#include "app/window/form1.h"
#include "app/window/messagedisplay.h"
#include "tests/support/process.h"
#include "tests/support/pty.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    std::string cliPath = PLOTMIRA_CLI_PATH;
    double seconds = 30;
    int rate = 20000;
    bool cli = true;
    bool window = true;
};

// Resident set size of a process in MiB, from /proc/<pid>/status; -1 when it is gone.
double rssMiB(pid_t pid) {
    std::ifstream status(pid == 0 ? std::string("/proc/self/status")
                                  : "/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
        }
    }
    return -1;
}

// A device on a pseudo-terminal in raw mode that sends a sine at a fixed line rate from the
// moment it is started; lines the pty does not take (the reader fell behind) are counted.
class PacedDevice {
public:
    explicit PacedDevice(int rate) : m_rate(rate) {}
    ~PacedDevice() { Stop(); }
    const std::string& Slave() const { return m_pty.slavePath(); }
    // Waits until the slave has been opened (the master stops reporting a hang-up).
    bool WaitForOpen(std::chrono::seconds limit) {
        const auto until = Clock::now() + limit;
        while (Clock::now() < until) {
            pollfd p{m_pty.master(), 0, 0};
            if (::poll(&p, 1, 0) >= 0 && (p.revents & POLLHUP) == 0) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
    void Start() {
        m_thread = std::thread([this] { run(); });
    }
    void Stop() {
        m_stop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    long long Sent() const { return m_sent; }
    long long HeldBack() const { return m_heldBack; }

private:
    void run() {
        const auto start = Clock::now();
        long long made = 0;
        char line[32];
        while (!m_stop) {
            const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
            for (const auto due = static_cast<long long>(elapsed * m_rate); made < due; ++made) {
                std::snprintf(line, sizeof line, "%.4f\r\n",
                              5.0 + 4.0 * std::sin(static_cast<double>(made) * 0.01));
                m_pending += line;
            }
            while (!m_pending.empty()) {
                const ssize_t w = ::write(m_pty.master(), m_pending.data(), m_pending.size());
                if (w <= 0) {
                    break;
                }
                m_sent += std::count(m_pending.begin(), m_pending.begin() + w, '\n');
                m_pending.erase(0, static_cast<std::size_t>(w));
            }
            // Nobody sends anything back; a read only keeps the master's queue empty.
            m_pty.readAvailable();
            // A reader that fell behind by more than a second does not get the backlog.
            if (m_pending.size() > static_cast<std::size_t>(m_rate) * 10) {
                m_heldBack += std::count(m_pending.begin(), m_pending.end(), '\n');
                m_pending.clear();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    int m_rate;
    Pty m_pty; // raw; the program refuses a device another process holds
    std::string m_pending;
    std::atomic<bool> m_stop{false};
    std::atomic<long long> m_sent{0};
    std::atomic<long long> m_heldBack{0};
    std::thread m_thread;
};

struct Sample {
    double seconds;
    double rss;
};

void printTable(const char* what, const std::vector<Sample>& samples, double total, long long sent,
                long long kept, long long heldBack) {
    std::printf("%s\n  %8s  %9s\n", what, "time s", "RSS MiB");
    for (const Sample& s : samples) {
        std::printf("  %8.1f  %9.2f\n", s.seconds, s.rss);
    }
    const double warmUp = std::max(5.0, total / 5);
    const Sample* from = nullptr;
    for (const Sample& s : samples) {
        if (s.seconds >= warmUp) {
            from = &s;
            break;
        }
    }
    if (from == nullptr || samples.back().seconds - from->seconds < 1) {
        std::printf("  run too short for a growth figure\n");
        return;
    }
    const double growth = samples.back().rss - from->rss;
    const double minutes = (samples.back().seconds - from->seconds) / 60.0;
    std::printf("  lines sent %lld (%.0f/s), samples kept %lld, lines held back %lld\n", sent,
                static_cast<double>(sent) / total, kept, heldBack);
    std::printf("  growth after warm-up (%.0f s): %+.2f MiB in %.1f min = %+.3f MiB/min, "
                "%+.2f MiB per 10 min (goal <= 2)\n\n",
                from->seconds, growth, minutes, growth / minutes, growth / minutes * 10);
}

void soakCli(const Options& o) {
    if (o.cliPath.empty()) {
        std::printf("plotmira-cli: not built\n\n");
        return;
    }
    PacedDevice device(o.rate);
    char outName[] = "/tmp/plotmira-soak-XXXXXX";
    const int out = ::mkstemp(outName);
    ChildOptions options;
    options.stdoutFd = out;
    ChildProcess cli({o.cliPath, "record", "--port", device.Slave(), "--trend", "--quiet"},
                     options);
    if (!cli.started()) {
        std::printf("cannot start %s\n", o.cliPath.c_str());
        return;
    }
    if (!device.WaitForOpen(std::chrono::seconds(20))) {
        std::printf("plotmira-cli did not open the port\n\n");
    }
    device.Start();
    std::vector<Sample> samples;
    const auto start = Clock::now();
    const double step = std::max(1.0, o.seconds / 20);
    for (double at = 0; at <= o.seconds; at += step) {
        std::this_thread::sleep_until(
            start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(at)));
        samples.push_back({at, rssMiB(cli.pid())});
    }
    device.Stop();
    cli.signal(SIGINT);
    cli.wait();
    std::ifstream summary(outName);
    const std::string text{std::istreambuf_iterator<char>(summary), {}};
    const std::size_t at = text.find("samples ");
    const long long kept = at == std::string::npos ? -1 : std::atoll(text.c_str() + at + 8);
    ::close(out);
    ::unlink(outName);
    printTable("plotmira-cli record --trend", samples, o.seconds, device.Sent(), kept,
               device.HeldBack());
}

void soakWindow(const Options& o) {
    QTemporaryDir ports;
    PacedDevice device(o.rate);
    const std::string link = ports.path().toStdString() + "/COM5";
    if (::symlink(device.Slave().c_str(), link.c_str()) != 0) {
        std::perror("symlink");
        return;
    }
    ::setenv("PLOTMIRA_PORTS", ports.path().toLocal8Bit().constData(), 1);
    SetMessageSink([](const QString& text) {
        std::printf("  message: %s\n", text.toLocal8Bit().constData());
    });
    SetExceptionSink(
        [](const QString& text) { std::printf("  error: %s\n", text.toLocal8Bit().constData()); });
    TForm1 form;
    form.SetTerminateHandler([] {});
    form.show();
    QTest::qWait(100);
    form.TrendCheckBox->setChecked(true);
    QTest::mouseClick(form.StartButton, Qt::LeftButton);
    device.Start();
    std::vector<Sample> samples;
    const auto start = Clock::now();
    const double step = std::max(1.0, o.seconds / 20);
    for (double at = 0; at <= o.seconds; at += step) {
        const auto until =
            start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(at));
        while (Clock::now() < until) {
            QTest::qWait(20);
        }
        samples.push_back({at, rssMiB(0)});
    }
    device.Stop();
    const long long kept = form.Acq().SampleCount;
    QTest::mouseClick(form.StopButton, Qt::LeftButton);
    printTable("window, trend (TForm1 off screen, in this process)", samples, o.seconds,
               device.Sent(), kept, device.HeldBack());
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--seconds" && value) {
            o.seconds = std::atof(value);
            ++i;
        } else if (arg == "--minutes" && value) {
            o.seconds = std::atof(value) * 60;
            ++i;
        } else if (arg == "--rate" && value) {
            o.rate = std::atoi(value);
            ++i;
        } else if (arg == "--cli" && value) {
            o.cliPath = value;
            ++i;
        } else if (arg == "--mode" && value) {
            o.cli = std::strcmp(value, "window") != 0;
            o.window = std::strcmp(value, "cli") != 0;
            ++i;
        } else {
            std::fprintf(stderr, "usage: bench_soak [--seconds S | --minutes M] [--rate N] "
                                 "[--mode cli|window|both] [--cli PATH]\n");
            return 2;
        }
    }
    if (!std::getenv("QT_QPA_PLATFORM")) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    std::printf("soak: %.0f s per mode at %d lines/s\n\n", o.seconds, o.rate);
    if (o.cli) {
        soakCli(o);
    }
    if (o.window) {
        soakWindow(o);
    }
    return 0;
}
