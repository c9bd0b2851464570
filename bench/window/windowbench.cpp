// SPDX-License-Identifier: GPL-3.0-or-later
// Keeping up with the wire through the real window. Starts the real plotmira as a user would (its
// own ports folder with a COMn link to a pseudo-terminal, the mode chosen and Start clicked with
// the mouse through xdotool), feeds it lines of a sine at a fixed line rate and prints per mode
// and rate: kept up or not (the writer held back less than 2 % of the run), the total held time,
// the longest stall and the line where it began, the stalls of 10 ms and more, and the CPU
// seconds of the program and of the X server per 100 000 lines.
//
// Run it under an X server (`make bench-window` uses xvfb-run). Options:
//   --program PATH    the plotmira executable (default: plotmira on the PATH)
//   --mode NAME       normal1, normal2, trend or trend2 (repeatable; default all four)
//   --rate N          lines per second (repeatable; default 2000 10000 50000 150000 300000 500000)
//   --repeat N        run each mode and rate N times (default 1), with a summary line per pair
//   --lines N         lines per run instead of the mode's own count
//   --stop-at N       click Stop once line N is written and report how long the port took to close
//   --probe menu      click Stop (at --stop-at N, else half way) and, 100 ms after the port
//                     closed (Stop enables the menu after its closing steps), the "Datei" menu
//                     (disabled while acquiring) three times; report how long its popup took to
//                     appear (click to the popup window mapped)
//   --probe mouse     click the " Show Grid" check box about every 200 ms of the run and report how
//                     long the window took to show it (click to the check box's pixels changed)
//   --spectrum        open "Mathematik" → "Realtime Fourier Analyse" before Start and keep the
//                     live spectrum (default 4096 points) open beside the main window for the run
// The timed clicks (Stop, probes) go through XTEST on a connection of the benchmark's own, so no
// helper's start-up counts; the latencies are wall time, measured while the writer keeps pacing.
// PLOTMIRA_WINDOW_BENCH holds further options (the quick variant: "--mode trend --rate 100000");
// QT_SCALE_FACTOR=2 runs the program as on a desktop scaled to 200 %.
// PLOTMIRA_WINDOW_BENCH_PERF=FILE records a perf profile of the program over each run.
//
// The writer holds only the pty master open: the device side is opened once to set raw mode and
// closed again, so that the program's open finds no other holder. Bytes are written only after
// the program has opened the device. "Held" is the time the writer had due lines it could not
// write (the pty was full because the program did not read); a stall is one such stretch, from
// the first refused write until all due lines were written.

#include "app/window/form1.h"
#include "bench/window/xprobe.h"
#include "tests/support/process.h"
#include "tests/support/pty.h"

#include <QApplication>
#include <QCheckBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <memory>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::int64_t; // CLOCK_MONOTONIC nanoseconds

Clock now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return Clock{ts.tv_sec} * 1000000000 + ts.tv_nsec;
}

void sleepUntil(Clock t) {
    timespec ts{static_cast<time_t>(t / 1000000000), static_cast<long>(t % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

void sleepMs(int ms) {
    sleepUntil(now() + Clock{ms} * 1000000);
}

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error(what + (errno != 0 ? std::string(": ") + std::strerror(errno) : ""));
}

struct Mode {
    std::string name;
    int channels;
    bool trend;
    long lines;
};

const std::vector<Mode> kModes = {{"normal1", 1, false, 100000},
                                  {"normal2", 2, false, 50000},
                                  {"trend", 1, true, 200000},
                                  {"trend2", 2, true, 100000}};

// Where to click, relative to the main window's client area. Taken from the same window built
// off screen in this process: the layout code and the fonts are the program's own.
struct Clicks {
    QPoint start, stop, trend, ch2, datei, mathematik;
    QRect grid; // the " Show Grid" check box
};

Clicks layoutClicks() {
    TForm1 form;
    form.show();
    QCoreApplication::processEvents();
    const auto centre = [&form](QWidget* w) {
        if (!w->isVisible()) {
            throw std::runtime_error(w->objectName().toStdString() + " is not visible at start");
        }
        return w->mapTo(&form, w->rect().center());
    };
    QMenuBar* bar = form.menuBar();
    const QRect title = bar->actionGeometry(form.Datei1->menuAction());
    QCheckBox* grid = form.ShowGridCheckBox;
    if (title.isEmpty() || !grid->isVisible()) {
        throw std::runtime_error("the Datei menu or the Show Grid check box is not visible");
    }
    const QRect mathematik = bar->actionGeometry(form.Mathematik1->menuAction());
    return {centre(form.StartButton),
            centre(form.StopButton),
            centre(form.TrendCheckBox),
            centre(form.CH2RadioButton),
            bar->mapTo(&form, title.center()),
            bar->mapTo(&form, mathematik.center()),
            QRect(grid->mapTo(&form, QPoint(0, 0)), grid->size())};
}

// utime + stime of a process in clock ticks.
long long cpuTicks(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) {
            utime = std::stoll(field);
        } else if (i == 15) {
            stime = std::stoll(field);
        }
    }
    return utime + stime;
}

double ticksToSeconds(long long ticks) {
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five;
    in >> one >> five;
    return one + " " + five;
}

pid_t xServerPid() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] != ':') {
        return -1;
    }
    const std::string number = std::string(display + 1).substr(0, std::strcspn(display + 1, "."));
    std::ifstream lock("/tmp/.X" + number + "-lock");
    long pid = -1;
    lock >> pid;
    return static_cast<pid_t>(pid);
}

// Whether the process has `path` open.
bool holdsOpen(pid_t pid, const std::string& path) {
    const std::string dir = "/proc/" + std::to_string(pid) + "/fd";
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) {
        return false;
    }
    bool found = false;
    while (dirent* e = readdir(d)) {
        char target[PATH_MAX] = {};
        const std::string link = dir + "/" + e->d_name;
        const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        if (n > 0 && path == target) {
            found = true;
            break;
        }
    }
    closedir(d);
    return found;
}

std::string run(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[256];
        while (fgets(buf, sizeof buf, p) != nullptr) {
            out += buf;
        }
        pclose(p);
    }
    return out;
}

void click(const std::string& window, QPoint at) {
    run("xdotool mousemove --window " + window + " " + std::to_string(at.x()) + " " +
        std::to_string(at.y()) + " click 1");
}

// The pseudo-terminal device with its COM5 link in a ports folder of its own. The program must
// find no other holder of the device: Pty keeps only the master open.
struct Device {
    Pty pty;
    std::string folder, link;

    Device() {
        char dir[] = "/tmp/plotmira-window-bench-XXXXXX";
        if (mkdtemp(dir) == nullptr) {
            fail("mkdtemp");
        }
        folder = dir;
        link = folder + "/COM5";
        if (symlink(pty.slavePath().c_str(), link.c_str()) != 0) {
            fail("symlink");
        }
    }
    ~Device() {
        unlink(link.c_str());
        unlink((folder + "/plotmira.log").c_str());
        rmdir(folder.c_str());
    }
};

// The program with the device's ports folder, its output in the folder's plotmira.log; on the
// display the environment names, not on Qt's platform a caller may have chosen.
ChildProcess startProgram(const std::string& program, const Device& device) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "QT_QPA_PLATFORM=", 16) != 0 &&
            std::strncmp(*e, "PLOTMIRA_PORTS=", 15) != 0) {
            env.emplace_back(*e);
        }
    }
    env.push_back("PLOTMIRA_PORTS=" + device.folder);
    ChildOptions options;
    options.environment = std::move(env);
    options.stdoutFile = device.folder + "/plotmira.log";
    options.stderrToStdout = true;
    ChildProcess child({program}, options);
    if (!child.started()) {
        fail("cannot start " + program);
    }
    return child;
}

// A program that does not end within 2 s of SIGTERM is killed.
constexpr auto kEndGrace = std::chrono::seconds(2);

struct Stall {
    double ms;
    long line; // 1-based line number of the first line the writer could not write
};

enum class Probe { None, Menu, Mouse };

// One timed click: the answer's latency (-1: none within kProbeTimeoutMs) and the line due then.
struct Answer {
    double ms;
    long line;
};

constexpr int kProbeTimeoutMs = 5000;

struct Result {
    std::vector<Answer> answers;
    double heldMs = 0;
    std::vector<Stall> stalls;
    double programCpu = 0, serverCpu = 0, wallS = 0;
    bool portStillOpen = false;
    double stopMs = -1;
    std::string load;
};

std::string makeLines(const Mode& mode, long count, std::vector<std::size_t>& ends) {
    std::string data;
    data.reserve(static_cast<std::size_t>(count) * (mode.channels == 2 ? 13 : 7));
    ends.clear();
    char line[64];
    for (long i = 0; i < count; ++i) {
        const double phase = 2 * M_PI * static_cast<double>(i) / 500.0;
        const int n = mode.channels == 2
                          ? std::snprintf(line, sizeof line, "%.3f;%.3f\r\n",
                                          5 + 4 * std::sin(phase), 5 + 4 * std::cos(phase))
                          : std::snprintf(line, sizeof line, "%.3f\r\n", 5 + 4 * std::sin(phase));
        data.append(line, static_cast<std::size_t>(n));
        ends.push_back(data.size());
    }
    return data;
}

// Sleeps up to ms, less once the run ended.
void sleepUnlessEnded(int ms, const std::atomic<bool>& ended) {
    for (int slept = 0; slept < ms && !ended.load(); slept += 10) {
        sleepMs(10);
    }
}

// Clicks the "Datei" menu title three times, 300 ms apart, and records how long its popup took
// to appear each time.
void probeMenu(const std::string& window, const Clicks& clicks, long line,
               std::vector<Answer>& answers) {
    XProbe x(std::stoul(window));
    sleepMs(100);
    for (int i = 0; i < 3; ++i) {
        x.discardEvents();
        const Clock t0 = now();
        x.click(clicks.datei.x(), clicks.datei.y());
        const bool shown = x.waitForMapping(true, kProbeTimeoutMs);
        answers.push_back({shown ? static_cast<double>(now() - t0) / 1e6 : -1, line});
        sleepMs(100);
        x.key("Escape");
        x.waitForMapping(false, kProbeTimeoutMs);
        sleepMs(200);
    }
}

// Clicks the check box about every 200 ms from the start of the run (the early repaints included)
// until the run ends and records how long each answer took to show.
void probeMouse(const std::string& window, const Clicks& clicks, const std::atomic<bool>& ended,
                const std::atomic<long>& due, std::vector<Answer>& answers) {
    XProbe x(std::stoul(window));
    const QRect g = clicks.grid;
    sleepUnlessEnded(30, ended);
    while (!ended.load()) {
        {
            // What the check box shows before the click, once it has settled (an answer to the
            // previous click may still be on its way).
            std::vector<std::uint32_t> before = x.grab(g.x(), g.y(), g.width(), g.height());
            for (int look = 0; look < 100; ++look) {
                sleepMs(50);
                std::vector<std::uint32_t> again = x.grab(g.x(), g.y(), g.width(), g.height());
                if (again == before) {
                    break;
                }
                before = std::move(again);
            }
            const Clock t0 = now();
            x.click(g.center().x(), g.center().y());
            double ms = -1;
            while (now() - t0 < Clock{kProbeTimeoutMs} * 1000000) {
                if (x.grab(g.x(), g.y(), g.width(), g.height()) != before) {
                    ms = static_cast<double>(now() - t0) / 1e6;
                    break;
                }
                sleepUntil(now() + 500000);
            }
            answers.push_back({ms, due.load()});
        }
        sleepUnlessEnded(150, ended);
    }
}

// Opens the live spectrum through the menu (its second entry, by keys) and puts it below the
// main window, where it covers none of the controls the benchmark clicks.
void openLiveSpectrum(const std::string& window, const Clicks& clicks, pid_t pid) {
    XProbe x(std::stoul(window));
    x.discardEvents();
    x.click(clicks.mathematik.x(), clicks.mathematik.y());
    if (!x.waitForMapping(true, kProbeTimeoutMs)) {
        throw std::runtime_error("the Mathematik menu did not open");
    }
    x.key("Down");
    x.key("Down");
    x.key("Return");
    const std::string search = "timeout 10 xdotool search --sync --onlyvisible --pid " +
                               std::to_string(pid) + " --name '^Realtime Fourier Analyse$'";
    if (run(search).empty()) {
        throw std::runtime_error("the live spectrum did not open");
    }
    run(search + " windowmove %1 0 800 windowsize %1 760 400");
    sleepMs(300);
}

Result feed(const std::string& programPath, const Clicks& clicks, const Mode& mode, long rate,
            long count, long stopAt, Probe probe, bool spectrum) {
    Device device;
    std::vector<std::size_t> ends;
    const std::string data = makeLines(mode, count, ends);
    ChildProcess program = startProgram(programPath, device);
    const pid_t pid = program.pid();
    Result r;
    try {
        const std::string found =
            run("timeout 30 xdotool search --sync --onlyvisible --pid " + std::to_string(pid));
        const std::string window = found.substr(0, found.find('\n'));
        if (window.empty()) {
            throw std::runtime_error("the program's window did not appear");
        }
        sleepMs(300);
        if (mode.channels == 2) {
            click(window, clicks.ch2);
            sleepMs(200);
        }
        if (mode.trend) {
            click(window, clicks.trend);
            sleepMs(200);
        }
        if (spectrum) {
            openLiveSpectrum(window, clicks, pid);
        }
        click(window, clicks.start);
        const Clock openDeadline = now() + Clock{10} * 1000000000;
        while (!holdsOpen(pid, device.pty.slavePath())) {
            if (now() > openDeadline) {
                throw std::runtime_error("the program did not open the port after Start");
            }
            sleepMs(5);
        }
        if (probe == Probe::Mouse) {
            // The pointer rests on the check box from here on: its hover look settles now, before
            // the first timed click.
            XProbe(std::stoul(window)).moveTo(clicks.grid.center().x(), clicks.grid.center().y());
        }
        sleepMs(100); // the workers start after the open
        ChildProcess profiler;
        if (const char* out = std::getenv("PLOTMIRA_WINDOW_BENCH_PERF")) {
            // A profile of the program over the run (perf record with DWARF call graphs into that
            // file: Qt has no frame pointers).
            ChildOptions options;
            options.searchPath = true;
            profiler = ChildProcess({"perf", "record", "-q", "--call-graph=dwarf,16384", "-o", out,
                                     "-p", std::to_string(pid)},
                                    options);
            sleepMs(300);
        }

        const pid_t server = xServerPid();
        r.load = loadAverage();
        const long long cpu0 = cpuTicks(pid);
        const long long server0 = server > 0 ? cpuTicks(server) : 0;
        const double period = 1e9 / static_cast<double>(rate);
        const Clock t0 = now();
        std::size_t written = 0;
        long due = 0;
        bool stalled = false;
        Clock stallStart = 0;
        long stallLine = 0;
        bool stopClicked = false;
        Clock stopClickedAt = 0;
        std::thread stopper;
        // Connected before the run, so that the click goes out at once.
        std::unique_ptr<XProbe> stopProbe;
        if (stopAt > 0 || probe == Probe::Menu) {
            stopProbe = std::make_unique<XProbe>(std::stoul(window));
        }
        std::atomic<bool> ended{false};
        std::atomic<long> dueNow{0};
        std::thread prober;
        if (probe == Probe::Mouse) {
            prober = std::thread(probeMouse, window, std::cref(clicks), std::cref(ended),
                                 std::cref(dueNow), std::ref(r.answers));
        }
        while (true) {
            const Clock t = now();
            due = std::min(count, static_cast<long>(static_cast<double>(t - t0) / period) + 1);
            dueNow.store(due);
            const std::size_t target = ends[static_cast<std::size_t>(due - 1)];
            while (written < target) {
                const ssize_t n =
                    write(device.pty.master(), data.data() + written, target - written);
                if (n > 0) {
                    written += static_cast<std::size_t>(n);
                    continue;
                }
                if (n < 0 && errno != EAGAIN && errno != EINTR) {
                    fail("write to the pseudo-terminal");
                }
                break;
            }
            // Stop falls due by the clock, also in the middle of a stall.
            if ((stopAt > 0 || probe == Probe::Menu) && !stopClicked &&
                due >= (stopAt > 0 ? stopAt : count / 2)) {
                stopClicked = true;
                stopClickedAt = now();
                stopper = std::thread([&] { stopProbe->click(clicks.stop.x(), clicks.stop.y()); });
            }
            if (stopClicked && !holdsOpen(pid, device.pty.slavePath())) {
                r.stopMs = static_cast<double>(now() - stopClickedAt) / 1e6;
                break; // nobody reads any more
            }
            if (written < target) {
                if (!stalled) {
                    stalled = true;
                    stallStart = t;
                    stallLine =
                        static_cast<long>(std::upper_bound(ends.begin(), ends.end(), written) -
                                          ends.begin()) +
                        1;
                }
                pollfd p{device.pty.master(), POLLOUT, 0};
                poll(&p, 1, 50);
                continue;
            }
            if (stalled) {
                stalled = false;
                const double ms = static_cast<double>(now() - stallStart) / 1e6;
                r.heldMs += ms;
                r.stalls.push_back({ms, stallLine});
            }
            if (due >= count) {
                break;
            }
            sleepUntil(t0 + static_cast<Clock>(static_cast<double>(due) * period));
        }
        r.wallS = static_cast<double>(now() - t0) / 1e9;
        ended.store(true);
        if (prober.joinable()) {
            prober.join();
        }
        if (stopper.joinable()) {
            stopper.join();
            while (r.stopMs < 0 && holdsOpen(pid, device.pty.slavePath()) &&
                   now() - stopClickedAt < 5000000000LL) {
                sleepMs(1);
            }
            if (r.stopMs < 0) {
                r.stopMs = static_cast<double>(now() - stopClickedAt) / 1e6;
            }
        }
        if (probe == Probe::Menu && r.stopMs >= 0) {
            probeMenu(window, clicks, due, r.answers);
        }
        // Drained when the program has gone quiet: under a quarter of a core over 200 ms.
        const Clock quietDeadline = now() + Clock{120} * 1000000000;
        long long last = cpuTicks(pid);
        const long long quiet = sysconf(_SC_CLK_TCK) / 20;
        while (now() < quietDeadline) {
            sleepMs(200);
            const long long c = cpuTicks(pid);
            if (c - last <= quiet) {
                break;
            }
            last = c;
        }
        if (profiler.signal(SIGINT)) {
            profiler.wait();
        }
        r.programCpu = ticksToSeconds(cpuTicks(pid) - cpu0);
        r.serverCpu = server > 0 ? ticksToSeconds(cpuTicks(server) - server0) : 0;
        r.portStillOpen = holdsOpen(pid, device.pty.slavePath());
    } catch (...) {
        program.end(kEndGrace);
        throw;
    }
    program.end(kEndGrace);
    return r;
}

void printResult(const Mode& mode, long rate, long count, const Result& r, const char* probeName) {
    const double runMs = static_cast<double>(count) * 1000.0 / static_cast<double>(rate);
    const bool keptUp = r.heldMs < 0.02 * runMs;
    const auto longest =
        std::max_element(r.stalls.begin(), r.stalls.end(),
                         [](const Stall& a, const Stall& b) { return a.ms < b.ms; });
    char longestText[64] = "-";
    if (longest != r.stalls.end()) {
        std::snprintf(longestText, sizeof longestText, "%.0f ms @%ld", longest->ms, longest->line);
    }
    const double per100k = 100000.0 / static_cast<double>(count);
    std::printf("%-8s %7ld %6ld  %-4s %9.0f %5.1f%%  %-18s %8.2f %8.2f   %s%s\n", mode.name.c_str(),
                rate, count, keptUp ? "yes" : "NO", r.heldMs, 100.0 * r.heldMs / runMs, longestText,
                r.programCpu * per100k, r.serverCpu * per100k, r.load.c_str(),
                r.portStillOpen || r.stopMs >= 0 ? "" : "  (port closed early!)");
    std::vector<Stall> big;
    for (const Stall& s : r.stalls) {
        if (s.ms >= 10) {
            big.push_back(s);
        }
    }
    if (!big.empty()) {
        std::printf("         stalls >= 10 ms (%zu):", big.size());
        for (std::size_t i = 0; i < big.size() && i < 12; ++i) {
            std::printf(" %.0f@%ld", big[i].ms, big[i].line);
        }
        std::printf("%s\n", big.size() > 12 ? " ..." : "");
    }
    if (r.stopMs >= 0) {
        std::printf("         Stop clicked: port closed after %.0f ms\n", r.stopMs);
    }
    if (!r.answers.empty()) {
        std::vector<double> ms;
        const Answer* worst = &r.answers.front();
        int unanswered = 0;
        for (const Answer& a : r.answers) {
            if (a.ms < 0) {
                ++unanswered;
                worst = &a;
                continue;
            }
            ms.push_back(a.ms);
            if (worst->ms >= 0 && a.ms > worst->ms) {
                worst = &a;
            }
        }
        std::sort(ms.begin(), ms.end());
        std::printf("         %s answers (%zu clicks): median %.0f ms, longest %.0f ms @%ld",
                    probeName, r.answers.size(), ms.empty() ? -1.0 : ms[ms.size() / 2], worst->ms,
                    worst->line);
        if (unanswered > 0) {
            std::printf(", %d without an answer in %d ms", unanswered, kProbeTimeoutMs);
        }
        std::printf("\n");
    }
    std::fflush(stdout);
}

std::vector<std::string> splitWords(const char* text) {
    std::vector<std::string> words;
    std::istringstream in(text != nullptr ? text : "");
    std::string w;
    while (in >> w) {
        words.push_back(w);
    }
    return words;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& w : splitWords(std::getenv("PLOTMIRA_WINDOW_BENCH"))) {
        args.push_back(w);
    }
    std::string program = "plotmira";
    std::vector<std::string> modeNames;
    std::vector<long> rates;
    long lines = 0;
    long repeat = 1;
    long stopAt = 0;
    Probe probe = Probe::None;
    bool spectrum = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--program" && hasValue) {
            program = args[++i];
        } else if (a == "--mode" && hasValue) {
            modeNames.push_back(args[++i]);
        } else if (a == "--rate" && hasValue) {
            rates.push_back(std::stol(args[++i]));
        } else if (a == "--lines" && hasValue) {
            lines = std::stol(args[++i]);
        } else if (a == "--repeat" && hasValue) {
            repeat = std::max(1L, std::stol(args[++i]));
        } else if (a == "--stop-at" && hasValue) {
            stopAt = std::stol(args[++i]);
        } else if (a == "--probe" && hasValue &&
                   (args[i + 1] == "menu" || args[i + 1] == "mouse")) {
            probe = args[++i] == "menu" ? Probe::Menu : Probe::Mouse;
        } else if (a == "--spectrum") {
            spectrum = true;
        } else {
            std::fprintf(stderr, "unknown option %s (see the head of windowbench.cpp)\n",
                         a.c_str());
            return 2;
        }
    }
    if (rates.empty()) {
        rates = {2000, 10000, 50000, 150000, 300000, 500000};
    }
    std::vector<Mode> modes;
    for (const Mode& m : kModes) {
        if (modeNames.empty() ||
            std::find(modeNames.begin(), modeNames.end(), m.name) != modeNames.end()) {
            modes.push_back(m);
        }
    }
    if (std::getenv("DISPLAY") == nullptr) {
        std::fprintf(stderr, "no DISPLAY: run under an X server (make bench-window)\n");
        return 2;
    }
    if (program.find('/') == std::string::npos) {
        program = run("command -v " + program);
        program = program.substr(0, program.find('\n'));
    }

    // The layout is read off screen; the program itself runs on the X server.
    const std::string display = std::getenv("DISPLAY");
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    Clicks clicks;
    try {
        clicks = layoutClicks();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "layout: %s\n", e.what());
        return 1;
    }
    // A program run with QT_SCALE_FACTOR (a scaled desktop) lays out the same and shows each
    // unit as that many screen pixels, where the clicks land.
    if (const char* factor = std::getenv("QT_SCALE_FACTOR")) {
        const double f = std::atof(factor);
        if (f > 0 && f != 1) {
            for (QPoint* p : {&clicks.start, &clicks.stop, &clicks.trend, &clicks.ch2,
                              &clicks.datei, &clicks.mathematik}) {
                *p = (QPointF(*p) * f).toPoint();
            }
            clicks.grid =
                QRectF(QPointF(clicks.grid.topLeft()) * f, QSizeF(clicks.grid.size()) * f).toRect();
        }
    }
    unsetenv("QT_QPA_PLATFORM");
    setenv("DISPLAY", display.c_str(), 1);

    std::printf("Window benchmark: %s, X server pid %d; CPU in seconds per 100 000 lines%s\n",
                program.c_str(), static_cast<int>(xServerPid()),
                spectrum ? "; live spectrum open" : "");
    if (probe != Probe::None) {
        const QPoint at = probe == Probe::Menu ? clicks.datei : clicks.grid.center();
        std::printf("probe clicks at %d,%d of the window\n", at.x(), at.y());
    }
    std::printf("%-8s %7s %6s  %-4s %9s %6s  %-18s %8s %8s   %s\n", "mode", "lines/s", "lines",
                "kept", "held ms", "held", "longest stall", "CPU prog", "CPU X", "load 1 5 min");
    int failures = 0;
    for (const Mode& mode : modes) {
        for (long rate : rates) {
            const long count = lines > 0 ? lines : mode.lines;
            const double runMs = static_cast<double>(count) * 1000.0 / static_cast<double>(rate);
            long kept = 0;
            double worstStall = 0;
            for (long run = 0; run < repeat; ++run) {
                try {
                    const Result r =
                        feed(program, clicks, mode, rate, count, stopAt, probe, spectrum);
                    printResult(mode, rate, count, r, probe == Probe::Menu ? "menu" : "mouse");
                    kept += r.heldMs < 0.02 * runMs ? 1 : 0;
                    for (const Stall& st : r.stalls) {
                        worstStall = std::max(worstStall, st.ms);
                    }
                } catch (const std::exception& e) {
                    std::printf("%-8s %7ld %6ld  run failed: %s\n", mode.name.c_str(), rate, count,
                                e.what());
                    ++failures;
                }
            }
            if (repeat > 1) {
                std::printf("%-8s %7ld  kept up in %ld of %ld runs, longest stall %.0f ms\n",
                            mode.name.c_str(), rate, kept, repeat, worstStall);
            }
        }
    }
    return failures == 0 ? 0 : 1;
}
