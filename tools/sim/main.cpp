// SPDX-License-Identifier: GPL-3.0-or-later
// plotmira-sim: a simulated measuring device on a pseudo-terminal (see --help).

#include "base/version.h"
#include "tools/sim/linegenerator.h"
#include "tools/sim/simdevice.h"
#include "tools/sim/simoptions.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

std::atomic<bool> g_stop{false};

extern "C" void onSignal(int) {
    g_stop.store(true);
}

std::string portsFolder(const SimOptions& options, bool& defaulted) {
    defaulted = false;
    if (!options.portsDir.empty()) {
        return options.portsDir;
    }
    if (const char* env = std::getenv("PLOTMIRA_PORTS"); env && *env) {
        return env;
    }
    defaulted = true;
    return "/tmp/plotmira-ports-" + std::to_string(::getuid());
}

int run(const SimOptions& options) {
    bool defaulted = false;
    const std::string dir = portsFolder(options, defaulted);
    SimDevice device(dir, options.com, g_stop);
    if (!options.quiet) {
        std::printf("plotmira-sim: COM%u is %s -> %s\n", options.com, device.linkPath().c_str(),
                    device.slavePath().c_str());
        if (defaulted) {
            std::printf("plotmira-sim: start Plotmira with PLOTMIRA_PORTS=%s\n", dir.c_str());
        }
        std::fflush(stdout);
    }
    if (options.waitReader && !device.waitForReader()) {
        return 0;
    }

    LineGenerator generator(options);
    const bool hangUp = (options.faults & kFaultHangUp) != 0;
    const std::int64_t count = options.count >= 0 ? options.count : (hangUp ? 1000 : -1);
    // Lines that leave together: a burst, or at full speed a batch to save system calls.
    const bool split = (options.faults & kFaultSplit) != 0;
    const unsigned group = (options.faults & kFaultBurst)  ? options.burst
                           : (options.rate == 0 && !split) ? 256
                                                           : 1;
    const auto start = std::chrono::steady_clock::now();
    auto due = start;
    std::string pending;
    bool ok = true;
    while (ok && !g_stop.load() &&
           (count < 0 || static_cast<std::int64_t>(generator.lines()) < count)) {
        // Like a real port: what falls due while nobody has the port open is lost.
        const bool send = !options.whileOpen || device.readerPresent();
        if (!send && options.rate == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            continue;
        }
        unsigned take = group;
        if (options.rate > 0 && group == 1 && !split) {
            // Lines that fell due meanwhile leave together, as a device's USB link hands over
            // what it holds in one packet: at some hundred thousand lines a second a system call
            // and a sleep per line take longer than the line.
            const double behind =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - due).count() *
                options.rate;
            take = 1 + static_cast<unsigned>(std::clamp(behind, 0.0, 255.0));
        }
        for (unsigned k = 0; k < take; ++k) {
            if (count >= 0 && static_cast<std::int64_t>(generator.lines()) >= count) {
                break;
            }
            for (const auto& piece : generator.next()) {
                if (!send) {
                    continue;
                }
                if (split) {
                    ok = ok && device.write(piece);
                } else {
                    pending += piece;
                }
            }
        }
        if (!pending.empty()) {
            ok = device.write(pending);
            pending.clear();
        }
        if (options.rate > 0) {
            due += std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                std::chrono::duration<double>(take / options.rate));
            const auto now = std::chrono::steady_clock::now();
            if (now > due + std::chrono::seconds(1)) {
                due = now; // held back for long: go on at the rate instead of racing to catch up
            }
            std::this_thread::sleep_until(due);
        }
    }
    if (hangUp) {
        device.hangUp();
    } else if (ok && count >= 0) {
        device.drain();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!options.quiet) {
        const double backlog = std::chrono::duration<double>(device.backlog()).count();
        std::fprintf(stderr,
                     "plotmira-sim: %llu lines, %llu bytes in %.3f s (%.0f lines/s, %.0f bytes/s); "
                     "writes held back by a full buffer for %.3f s\n",
                     static_cast<unsigned long long>(generator.lines()),
                     static_cast<unsigned long long>(device.bytesWritten()), seconds,
                     seconds > 0 ? generator.lines() / seconds : 0.0,
                     seconds > 0 ? device.bytesWritten() / seconds : 0.0, backlog);
    }
    return ok || g_stop.load() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    SimOptions options;
    try {
        options = ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "plotmira-sim: %s\n", e.what());
        return 2;
    }
    if (options.help) {
        std::fputs(SimUsage().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("plotmira-sim %s\n", kPlotmiraVersion);
        return 0;
    }
    struct sigaction sa {};
    sa.sa_handler = onSignal; // no SA_RESTART: waits return early
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    try {
        return run(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "plotmira-sim: %s\n", e.what());
        return 1;
    }
}
