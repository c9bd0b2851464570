// SPDX-License-Identifier: GPL-3.0-or-later
// Chart core figures: append rate, memory of a full one-channel run, DeleteFirstItem cost at a
// trend window and at a full store, and session file speed against plain stdio of the same bytes.
#include "chart/core/plotchartcore.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <malloc.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

void row(const char* what, double value, const char* unit, const char* target = "") {
    std::printf("%-46s %14.3f %-10s %s\n", what, value, unit, target);
}

// One-channel normal run: a move-to, then draw-tos, into the form's AllocSize.
void fill(PlotChartCore& chart, int n) {
    chart.AddMoveTo(0, 0.5);
    for (int i = 1; i < n; ++i) {
        chart.AddDrawTo(i, static_cast<double>(i % 100) * 0.1);
    }
}

void appendRate() {
    std::vector<double> rates;
    for (int rep = 0; rep < 15; ++rep) {
        PlotChartCore chart;
        chart.ApplyFormChartSettings();
        const auto t0 = Clock::now();
        fill(chart, 100000);
        rates.push_back(100000 / seconds(Clock::now() - t0));
    }
    row("append, 100000 items into AllocSize 110000", median(rates) / 1e6, "M items/s",
        "(target >= 20)");

    // Past the first step: growth by AllocSize, as in a long trend-free run.
    PlotChartCore chart;
    chart.ApplyFormChartSettings();
    const auto t0 = Clock::now();
    fill(chart, 1000000);
    row("append, 1000000 items (9 growth steps)", 1000000 / seconds(Clock::now() - t0) / 1e6,
        "M items/s");
}

void memory() {
    const struct mallinfo2 before = mallinfo2();
    PlotChartCore chart;
    chart.ApplyFormChartSettings();
    fill(chart, 100000);
    const struct mallinfo2 after = mallinfo2();
    row("memory, 100000 items: capacity", chart.ItemCapacity(), "items", "(110000)");
    row("memory, 100000 items: large blocks allocated",
        static_cast<double>(after.hblks - before.hblks), "blocks", "(1)");
    row("memory, 100000 items: bytes in those blocks",
        static_cast<double>(after.hblkhd - before.hblkhd), "bytes", "(104 x 110000 = 11440000)");
    row("memory, 100000 items: small heap growth",
        static_cast<double>(after.uordblks) - static_cast<double>(before.uordblks), "bytes");
}

// Steady trend operation: each new item is appended and the oldest deleted; every delete is
// timed on its own.
void deleteFirst(int n) {
    PlotChartCore chart;
    chart.ApplyFormChartSettings();
    for (int i = 0; i < n; ++i) {
        chart.AddLine(i, 1, i + 1, 2);
    }
    constexpr int kRounds = 300000;
    std::vector<double> ns;
    ns.reserve(kRounds);
    for (int i = 0; i < kRounds; ++i) {
        chart.AddLine(n + i, 1, n + i + 1, 2);
        const auto t0 = Clock::now();
        chart.DeleteFirstItem();
        ns.push_back(seconds(Clock::now() - t0) * 1e9);
    }
    // Emptying a full store from the front, without appends in between.
    std::vector<double> drain;
    drain.reserve(static_cast<std::size_t>(n));
    while (chart.ItemCount() > 1) {
        const auto t0 = Clock::now();
        chart.DeleteFirstItem();
        drain.push_back(seconds(Clock::now() - t0) * 1e9);
    }
    const std::string label = "DeleteFirstItem at " + std::to_string(n) + " items";
    row((label + ", median").c_str(), median(ns), "ns", "(target <= 1000)");
    row((label + ", 99th percentile").c_str(), percentile(ns, 0.99), "ns");
    row((label + ", mean").c_str(),
        [&] {
            double s = 0;
            for (double v : ns) {
                s += v;
            }
            return s / static_cast<double>(ns.size());
        }(),
        "ns");
    row((label + ", draining: median").c_str(), median(drain), "ns");

    // What moving every later item costs at this size, for comparison.
    std::vector<ChartItem> plain(static_cast<std::size_t>(n) + 1);
    std::vector<double> moveNs;
    for (int i = 0; i < 200; ++i) {
        const auto t0 = Clock::now();
        std::memmove(static_cast<void*>(plain.data()), plain.data() + 1,
                     static_cast<std::size_t>(n) * sizeof(ChartItem));
        moveNs.push_back(seconds(Clock::now() - t0) * 1e9);
    }
    row((label + ", moving all items instead").c_str(), median(moveNs), "ns");
}

void files() {
    PlotChartCore chart;
    chart.ApplyFormChartSettings();
    fill(chart, 100000);
    const double mb = static_cast<double>(chart.ItemCount()) * sizeof(ChartItem) / 1e6;
    char pattern[] = "/tmp/plotmira-bench-XXXXXX";
    if (!::mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return;
    }
    const std::string dir = pattern;
    const std::string name = dir + "/session.pmx";
    const std::string plainName = dir + "/plain.bin";
    constexpr int kReps = 15;

    std::vector<double> save, saveStdio, load, loadStdio;
    for (int rep = 0; rep < kReps; ++rep) {
        // A fresh file each time: rewriting a truncated file makes ext4 flush on close, which
        // would measure the disk instead of the code.
        ::unlink(name.c_str());
        auto t0 = Clock::now();
        chart.SaveItemsToFile(name);
        save.push_back(mb / seconds(Clock::now() - t0));

        ::unlink(plainName.c_str());
        t0 = Clock::now();
        if (FILE* f = std::fopen(plainName.c_str(), "wb")) {
            for (const ChartItem& item : chart.Items()) {
                std::fwrite(&item, sizeof item, 1, f);
            }
            std::fclose(f);
        }
        saveStdio.push_back(mb / seconds(Clock::now() - t0));

        PlotChartCore loaded;
        t0 = Clock::now();
        loaded.LoadItemsFromFile(name, false);
        load.push_back(mb / seconds(Clock::now() - t0));

        std::vector<ChartItem> records(static_cast<std::size_t>(chart.ItemCount()));
        t0 = Clock::now();
        if (FILE* f = std::fopen(plainName.c_str(), "rb")) {
            std::size_t i = 0;
            while (i < records.size() && std::fread(&records[i], sizeof(ChartItem), 1, f) == 1) {
                ++i;
            }
            std::fclose(f);
        }
        loadStdio.push_back(mb / seconds(Clock::now() - t0));
    }
    ::unlink(name.c_str());
    ::unlink(plainName.c_str());
    ::rmdir(dir.c_str());

    row("save 100000 items (10.4 MB)", median(save), "MB/s", "(target >= 500)");
    row("save: plain fwrite per record, same bytes", median(saveStdio), "MB/s");
    row("save: ratio to plain fwrite", median(save) / median(saveStdio), "x");
    row("load 100000 items (10.4 MB)", median(load), "MB/s", "(target >= 500)");
    row("load: plain fread per record, same bytes", median(loadStdio), "MB/s");
    row("load: ratio to plain fread", median(load) / median(loadStdio), "x");
}

} // namespace

int main() {
    std::printf("%-46s %14s %-10s %s\n", "measure", "value", "unit", "target");
    memory(); // first, before freed large blocks raise malloc's mmap threshold
    appendRate();
    deleteFirst(2000);
    deleteFirst(100000);
    files();
    return 0;
}
