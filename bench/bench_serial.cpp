// Receive throughput: a writer thread fills a pseudo-terminal as fast as it can with device
// lines; the bytes are taken once by a plain poll/read loop and once through TSerialComm, whose
// OnAfterReceive (on a "main thread" loop fed by the invoker) only counts. Prints MB/s of both,
// their ratio and the distribution of the block sizes the handler saw.

#include "serial/serialcomm.h"
#include "tools/sim/linegenerator.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <pty.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t kTotalBytes = 64u << 20;
constexpr int kRounds = 3;

// The slave is not held open: the serial component refuses a device that another process holds.
struct Pty {
    int master = -1;
    std::string path;
    Pty() {
        char name[PATH_MAX] = {};
        int slave = -1;
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
            std::perror("openpty");
            std::exit(1);
        }
        path = name;
        termios t{};
        ::tcgetattr(slave, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave, TCSANOW, &t);
        ::close(slave);
    }
    ~Pty() { ::close(master); }
};

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

void writeAll(int fd, const std::string& block, std::size_t total) {
    std::size_t sent = 0;
    while (sent < total) {
        const std::size_t n = std::min(block.size(), total - sent);
        const ssize_t w = ::write(fd, block.data(), n);
        if (w > 0) {
            sent += static_cast<std::size_t>(w);
        } else if (w < 0 && errno != EINTR && errno != EAGAIN) {
            std::perror("write");
            return;
        }
    }
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

double plainLoop(const std::string& block) {
    Pty pty;
    const int fd = ::open(pty.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    std::vector<char> buffer(32768);
    const auto start = std::chrono::steady_clock::now();
    std::thread writer(writeAll, pty.master, std::cref(block), kTotalBytes);
    std::size_t got = 0;
    while (got < kTotalBytes) {
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, -1);
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n > 0) {
            got += static_cast<std::size_t>(n);
        }
    }
    const double s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    writer.join();
    ::close(fd);
    return kTotalBytes / s / 1e6;
}

struct ComponentResult {
    double mbPerSecond = 0;
    std::uint64_t blocks = 0;
};

ComponentResult componentPath(const std::string& block, std::array<std::uint64_t, 7>& histogram) {
    Pty pty;
    MainLoop loop;
    ComponentResult result;
    {
        TSerialComm comm;
        comm.SetMainThreadInvoker(loop.invoker());
        comm.SetBufferInSize(32768);
        comm.SetStreamProtocol(spNone);
        comm.SetBaudRate(115200);
        comm.SetDeviceName(pty.path);
        std::size_t got = 0;
        comm.OnAfterReceive = [&](TCommBaseIO*, const char*, std::uint32_t n) {
            got += n;
            ++result.blocks;
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
        const auto start = std::chrono::steady_clock::now();
        std::thread writer(writeAll, pty.master, std::cref(block), kTotalBytes);
        loop.runUntil([&] { return got >= kTotalBytes; });
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        writer.join();
        comm.SetActive(false);
        result.mbPerSecond = kTotalBytes / s / 1e6;
    }
    loop.close();
    return result;
}

} // namespace

int main() {
    const std::string block = deviceLines();
    std::vector<double> plain, component;
    std::array<std::uint64_t, 7> histogram{};
    std::uint64_t blocks = 0;
    for (int round = 0; round < kRounds; ++round) {
        plain.push_back(plainLoop(block));
        const ComponentResult r = componentPath(block, histogram);
        component.push_back(r.mbPerSecond);
        blocks += r.blocks;
    }
    std::sort(plain.begin(), plain.end());
    std::sort(component.begin(), component.end());
    const double p = plain[kRounds / 2], c = component[kRounds / 2];
    std::printf("serial receive throughput, %zu MiB of two-channel lines per run, median of %d\n",
                kTotalBytes >> 20, kRounds);
    std::printf("%-40s %10s\n", "path", "MB/s");
    std::printf("%-40s %10.1f\n", "plain poll/read loop", p);
    std::printf("%-40s %10.1f\n", "TSerialComm -> OnAfterReceive (main)", c);
    std::printf("%-40s %9.0f%%   (target >= 80 %%, >= 5 MB/s)\n", "component / plain", 100 * c / p);
    std::printf("\nblock sizes seen by OnAfterReceive (%llu blocks, mean %.0f bytes)\n",
                static_cast<unsigned long long>(blocks),
                blocks ? double(kTotalBytes) * kRounds / blocks : 0.0);
    const char* labels[] = {"1..63",      "64..511",    "512..1023", "1024..2047",
                            "2048..4094", "4095..8191", ">= 8192"};
    for (int i = 0; i < 7; ++i) {
        std::printf("  %-12s %10llu  %5.1f %%\n", labels[i],
                    static_cast<unsigned long long>(histogram[i]),
                    blocks ? 100.0 * histogram[i] / blocks : 0.0);
    }
    return 0;
}
