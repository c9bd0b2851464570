// SPDX-License-Identifier: GPL-3.0-or-later
// Receive throughput: a writer thread fills a pseudo-terminal as fast as it can with device
// lines; the bytes are taken once by a plain poll/read loop and once through TSerialComm, whose
// OnAfterReceive (on a "main thread" loop fed by the invoker) only counts.
//
// One run of either path is at the mercy of the scheduler on a loaded machine (the same binary
// gave 31 % and 285 % back to back), so the two paths run in interleaved pairs, alternating which
// goes first, on the same pty set-up and byte count. Printed per pair and as median and range:
// MB/s of both and their ratio, and the CPU seconds per GiB of the reading side (the process CPU
// of the run less the writer thread's), which the scheduler disturbs far less than wall time.

#include "serial/serialcomm.h"
#include "tests/support/pty.h"
#include "tools/sim/linegenerator.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t kTotalBytes = 32u << 20;
constexpr int kPairs = 15;

std::string deviceLines() {
    SimOptions o;
    o.channels = 2;
    o.wave = SimWave::Noise;
    LineGenerator g(o);
    std::string block;
    while (block.size() < 65536) {
        for (const auto& piece : g.next()) {
            block += piece;
        }
    }
    return block;
}

double threadCpuSeconds() {
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double processCpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    const auto s = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return s(u.ru_utime) + s(u.ru_stime);
}

// Context switches of all threads so far: each hand-off between threads costs some.
long processSwitches() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return u.ru_nvcsw + u.ru_nivcsw;
}

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one;
    in >> one;
    return one;
}

// Writes total bytes of the block, repeated; the CPU it used goes to cpu.
void writeAll(int fd, const std::string& block, std::size_t total, double& cpu) {
    const double cpu0 = threadCpuSeconds();
    std::size_t sent = 0;
    while (sent < total) {
        const std::size_t n = std::min(block.size(), total - sent);
        const ssize_t w = ::write(fd, block.data(), n);
        if (w > 0) {
            sent += static_cast<std::size_t>(w);
        } else if (w < 0 && errno != EINTR && errno != EAGAIN) {
            std::perror("write");
            break;
        }
    }
    cpu = threadCpuSeconds() - cpu0;
}

// The "main thread": runs the calls the component's invoker hands over.
class MainLoop {
public:
    TMainThreadInvoker invoker() {
        return [this](std::function<void()> call) {
            std::unique_lock lock(m_mutex);
            bool done = false;
            m_tasks.push_back({std::move(call), &done});
            m_cv.notify_all();
            m_cv.wait(lock, [&] { return done || m_closed; });
        };
    }
    void runUntil(const std::function<bool()>& pred) {
        std::unique_lock lock(m_mutex);
        while (!pred()) {
            if (!m_cv.wait_for(lock, std::chrono::milliseconds(5),
                               [&] { return !m_tasks.empty(); })) {
                continue;
            }
            auto task = std::move(m_tasks.front());
            m_tasks.pop_front();
            lock.unlock();
            task.call();
            lock.lock();
            *task.done = true;
            m_cv.notify_all();
        }
    }
    void close() {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_cv.notify_all();
    }

private:
    struct Task {
        std::function<void()> call;
        bool* done;
    };
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<Task> m_tasks;
    bool m_closed = false;
};

struct RunFigures {
    double mbPerSecond = 0;
    double readerCpuPerGiB = 0; // process CPU of the run less the writer's, per GiB
    double switchesPerMiB = 0;  // context switches of the whole process, writer included
};

// Wall time and reader CPU between start() and stop(), the writer running in between.
class RunClock {
public:
    void start() {
        m_cpu0 = processCpuSeconds();
        m_switches0 = processSwitches();
        m_t0 = std::chrono::steady_clock::now();
    }
    RunFigures stop(double writerCpu) const {
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - m_t0).count();
        const double cpu = processCpuSeconds() - m_cpu0 - writerCpu;
        return {kTotalBytes / s / 1e6, cpu * double(1u << 30) / kTotalBytes,
                double(processSwitches() - m_switches0) / double(kTotalBytes >> 20)};
    }

private:
    double m_cpu0 = 0;
    long m_switches0 = 0;
    std::chrono::steady_clock::time_point m_t0;
};

// The device opened and set up as the component does it (raw, reads never wait).
int openLikeTheComponent(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::tcsetattr(fd, TCSANOW, &t);
    return fd;
}

RunFigures plainLoop(const std::string& block) {
    const Pty pty(Pty::Line::Raw, Pty::Master::Blocking); // writes wait for room
    const int fd = openLikeTheComponent(pty.slavePath());
    std::vector<char> buffer(32768);
    RunClock clock;
    double writerCpu = 0;
    clock.start();
    std::thread writer(writeAll, pty.master(), std::cref(block), kTotalBytes, std::ref(writerCpu));
    std::size_t got = 0;
    while (got < kTotalBytes) {
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, -1);
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n > 0) {
            got += static_cast<std::size_t>(n);
        }
    }
    writer.join();
    const RunFigures figures = clock.stop(writerCpu);
    ::close(fd);
    return figures;
}

RunFigures componentPath(const std::string& block, std::array<std::uint64_t, 7>& histogram,
                         std::uint64_t& blocks) {
    const Pty pty(Pty::Line::Raw, Pty::Master::Blocking); // writes wait for room
    MainLoop loop;
    RunFigures figures;
    {
        TSerialComm comm;
        comm.SetMainThreadInvoker(loop.invoker());
        comm.SetBufferInSize(32768);
        comm.SetStreamProtocol(spNone);
        comm.SetBaudRate(115200);
        comm.SetDeviceName(pty.slavePath());
        std::size_t got = 0;
        comm.OnAfterReceive = [&](TCommBaseIO*, const char*, std::uint32_t n) {
            got += n;
            ++blocks;
            const int bucket = n < 64     ? 0
                               : n < 512  ? 1
                               : n < 1024 ? 2
                               : n < 2048 ? 3
                               : n < 4095 ? 4
                               : n < 8192 ? 5
                                          : 6;
            ++histogram[bucket];
        };
        comm.SetActive(true);
        RunClock clock;
        double writerCpu = 0;
        clock.start();
        std::thread writer(writeAll, pty.master(), std::cref(block), kTotalBytes,
                           std::ref(writerCpu));
        loop.runUntil([&] { return got >= kTotalBytes; });
        writer.join();
        figures = clock.stop(writerCpu);
        comm.SetActive(false);
    }
    loop.close();
    return figures;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

int main() {
    const std::string block = deviceLines();
    std::vector<double> plainMb, compMb, ratio, plainCpu, compCpu, plainSw, compSw;
    std::array<std::uint64_t, 7> histogram{};
    std::uint64_t blocks = 0;
    const std::string loadBefore = loadAverage();
    std::printf("serial receive throughput, %zu MiB of two-channel lines per run, %d interleaved "
                "pairs\n",
                kTotalBytes >> 20, kPairs);
    std::printf("%5s %12s %12s %7s %16s %16s %12s %12s\n", "pair", "plain MB/s", "comp MB/s",
                "ratio", "plain CPU s/GiB", "comp CPU s/GiB", "plain sw/MiB", "comp sw/MiB");
    for (int pair = 0; pair < kPairs; ++pair) {
        // Alternating the order cancels a drift of the machine's load within a pair.
        RunFigures p, c;
        if (pair % 2 == 0) {
            p = plainLoop(block);
            c = componentPath(block, histogram, blocks);
        } else {
            c = componentPath(block, histogram, blocks);
            p = plainLoop(block);
        }
        plainMb.push_back(p.mbPerSecond);
        compMb.push_back(c.mbPerSecond);
        ratio.push_back(c.mbPerSecond / p.mbPerSecond);
        plainCpu.push_back(p.readerCpuPerGiB);
        compCpu.push_back(c.readerCpuPerGiB);
        plainSw.push_back(p.switchesPerMiB);
        compSw.push_back(c.switchesPerMiB);
        std::printf("%5d %12.1f %12.1f %6.0f%% %16.2f %16.2f %12.0f %12.0f\n", pair + 1,
                    p.mbPerSecond, c.mbPerSecond, 100 * ratio.back(), p.readerCpuPerGiB,
                    c.readerCpuPerGiB, p.switchesPerMiB, c.switchesPerMiB);
    }
    const auto [rmin, rmax] = std::minmax_element(ratio.begin(), ratio.end());
    std::printf("%5s %12.1f %12.1f %6.0f%% %16.2f %16.2f %12.0f %12.0f\n", "med", median(plainMb),
                median(compMb), 100 * median(ratio), median(plainCpu), median(compCpu),
                median(plainSw), median(compSw));
    std::printf("\ncomponent / plain: median %.0f %%, range %.0f .. %.0f %%   (target >= 80 %%, "
                ">= 5 MB/s)\n",
                100 * median(ratio), 100 * *rmin, 100 * *rmax);
    std::printf("reading-side CPU per GiB: plain %.2f s, component %.2f s; load %s -> %s\n",
                median(plainCpu), median(compCpu), loadBefore.c_str(), loadAverage().c_str());
    std::printf("\nblock sizes seen by OnAfterReceive (%llu blocks, mean %.0f bytes)\n",
                static_cast<unsigned long long>(blocks),
                blocks ? double(kTotalBytes) * kPairs / blocks : 0.0);
    const char* labels[] = {"1..63",      "64..511",    "512..1023", "1024..2047",
                            "2048..4094", "4095..8191", ">= 8192"};
    for (int i = 0; i < 7; ++i) {
        std::printf("  %-12s %10llu  %5.1f %%\n", labels[i],
                    static_cast<unsigned long long>(histogram[i]),
                    blocks ? 100.0 * histogram[i] / blocks : 0.0);
    }
    return 0;
}
