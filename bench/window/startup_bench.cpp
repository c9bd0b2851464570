// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up time of the main window. Prints a table:
//  - process: from spawning a fresh process to its main window being exposed, the same steps as
//    the program's main() (application object, main, info and help windows, show), without the
//    single-instance guard so that runs do not hand over to each other;
//  - in process: creating and showing another main window in a running application.
// Run with QT_QPA_PLATFORM=offscreen (default) or under a display.

#include "app/window/form1.h"
#include "app/window/formhilfe.h"
#include "app/window/forminfo.h"
#include "app/window/plotmiraapplication.h"
#include "tests/support/process.h"

#include <QTest>
#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

std::int64_t monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t{ts.tv_sec} * 1000000000 + ts.tv_nsec;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// The child: main()'s steps; prints the nanoseconds from the parent's spawn to the exposed window.
int runChild(int argc, char** argv, std::int64_t spawnedAt) {
    PlotmiraApplication app(argc, argv);
    std::setlocale(LC_ALL, "");
    TForm1 form;
    TFormInfo info(&form);
    TFormHilfe hilfe(&form);
    form.SetSecondaryWindows(&info, &hilfe);
    form.show();
    if (!QTest::qWaitForWindowExposed(&form, 10000)) {
        return 2;
    }
    std::printf("%lld\n", static_cast<long long>(monotonicNs() - spawnedAt));
    return 0;
}

// Spawns this program in child mode and returns the milliseconds it reported (-1 on failure).
double spawnOnce(const char* self) {
    int pipeFds[2];
    // Close-on-exec: the child gets only its standard output, the copy onto it.
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        return -1;
    }
    ChildOptions options;
    options.stdoutFd = pipeFds[1];
    ChildProcess child({self, "--child", std::to_string(monotonicNs())}, options);
    close(pipeFds[1]);
    if (!child.started()) {
        close(pipeFds[0]);
        return -1;
    }
    char buffer[64] = {};
    ssize_t got = 0;
    ssize_t n = 0;
    while ((n = read(pipeFds[0], buffer + got, sizeof buffer - 1 - static_cast<std::size_t>(got))) >
           0) {
        got += n;
    }
    close(pipeFds[0]);
    if (child.wait() != 0 || got == 0) {
        return -1;
    }
    return std::strtod(buffer, nullptr) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0) {
        return runChild(argc, argv, std::strtoll(argv[2], nullptr, 10));
    }

    constexpr int kRuns = 10;
    std::vector<double> process;
    for (int i = 0; i < kRuns; ++i) {
        const double ms = spawnOnce("/proc/self/exe");
        if (ms >= 0) {
            process.push_back(ms);
        }
    }

    PlotmiraApplication app(argc, argv);
    std::vector<double> inProcess;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = std::chrono::steady_clock::now();
        TForm1 form;
        form.show();
        if (!QTest::qWaitForWindowExposed(&form, 10000)) {
            continue;
        }
        inProcess.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }

    std::printf("Main window start-up (platform %s, %d runs)\n",
                qPrintable(QGuiApplication::platformName()), kRuns);
    std::printf("%-44s %10s %10s %10s\n", "measure", "median ms", "min ms", "max ms");
    const auto row = [](const char* name, const std::vector<double>& v) {
        if (v.empty()) {
            std::printf("%-44s %10s\n", name, "failed");
            return;
        }
        std::printf("%-44s %10.1f %10.1f %10.1f\n", name, median(v),
                    *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()));
    };
    row("fresh process: spawn to exposed main window", process);
    row("running application: new TForm1 to exposed", inProcess);
    return 0;
}
