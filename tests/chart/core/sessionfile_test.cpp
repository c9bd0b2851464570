// SPDX-License-Identifier: GPL-3.0-or-later
// Session files: byte-exact round trips, the append rule, whole records only, and the errors a
// user must see instead of a silently lost recording.
#include "base/exception.h"
#include "base/systemerror.h"
#include "chart/core/plotchartcore.h"
#include "chart/core/sessionfile.h"
#include "tests/chart/core/sessionfuzz.h"
#include "tests/support/fifowatchdog.h"
#include "tests/support/filesizelimit.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "plotmira-session-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            throw std::runtime_error("mkdtemp failed");
        }
        m_path = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        fs::permissions(m_path, fs::perms::owner_all, ec);
        fs::remove_all(m_path, ec);
    }
    std::string file(const std::string& name) const { return (m_path / name).string(); }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

Bytes readFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& name, const Bytes& bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

Bytes imageOf(const PlotChartCore& chart) {
    const auto items = chart.Items();
    const auto* p = reinterpret_cast<const std::uint8_t*>(items.data());
    return Bytes(p, p + items.size_bytes());
}

class CountingChart : public PlotChartCore {
public:
    CountingChart() { SetAutoRedraw(false); }
    int paints = 0;
    void Paint() override { ++paints; }
};

// A recording with stale bytes in a reused slot and two layers.
void record(PlotChartCore& chart) {
    chart.SetDataColor(clBlue);
    chart.AddLine(0, 1, 1, 2);
    chart.SetActiveLayer(2);
    chart.SetDataColor(clMaroon);
    chart.AddLine(0, 5, 1, 6);
    chart.DeleteFirstItem();
    chart.AddMoveTo(2, 3); // keeps the X2, Y2 and FillColor of the line before
    chart.AddDrawTo(3, 4);
}

TEST(SessionFile, SaveLoadSaveIsByteIdentical) {
    TempDir dir;
    PlotChartCore chart;
    record(chart);
    const Bytes before = imageOf(chart);
    chart.SaveItemsToFile(dir.file("a.pmx"));
    EXPECT_EQ(readFile(dir.file("a.pmx")), before);

    PlotChartCore loaded;
    loaded.SetDataColor(clRed); // drawing state does not touch loaded records
    loaded.SetActiveLayer(5);
    loaded.LoadItemsFromFile(dir.file("a.pmx"), false);
    EXPECT_EQ(imageOf(loaded), before);
    EXPECT_EQ(loaded.ItemCapacity(), loaded.ItemCount());
    loaded.SaveItemsToFile(dir.file("b.pmx"));
    EXPECT_EQ(readFile(dir.file("b.pmx")), before);
}

TEST(SessionFile, AppendKeepsPresentItemsAndGrowsByAllocSizeAfterwards) {
    TempDir dir;
    CountingChart chart;
    record(chart);
    chart.SaveItemsToFile(dir.file("a.pmx"));
    const Bytes one = imageOf(chart);
    chart.LoadItemsFromFile(dir.file("a.pmx"), true);
    chart.LoadItemsFromFile(dir.file("a.pmx"), true);
    Bytes three = one;
    three.insert(three.end(), one.begin(), one.end());
    three.insert(three.end(), one.begin(), one.end());
    EXPECT_EQ(imageOf(chart), three);
    EXPECT_EQ(chart.ItemCapacity(), 9);
    EXPECT_EQ(chart.paints, 2);
    chart.AddMoveTo(0, 0);
    EXPECT_EQ(chart.ItemCapacity(), 9 + 1000);

    chart.LoadItemsFromFile(dir.file("a.pmx"), false);
    EXPECT_EQ(imageOf(chart), one);
    EXPECT_EQ(chart.LastShownIndex(), 0);
}

TEST(SessionFile, EmptyChartSavesAnEmptyFile) {
    TempDir dir;
    PlotChartCore empty;
    empty.SaveItemsToFile(dir.file("e.pmx"));
    EXPECT_EQ(fs::file_size(dir.file("e.pmx")), 0u);

    CountingChart chart;
    record(chart);
    const Bytes items = imageOf(chart);
    chart.LoadItemsFromFile(dir.file("e.pmx"), true);
    EXPECT_EQ(imageOf(chart), items);
    EXPECT_EQ(chart.paints, 1);
    chart.LoadItemsFromFile(dir.file("e.pmx"), false);
    EXPECT_EQ(chart.ItemCount(), 0);
    EXPECT_EQ(chart.ItemCapacity(), 0);
}

TEST(SessionFile, OnlyWholeRecordsAreRead) {
    TempDir dir;
    std::mt19937 rng(3);
    for (std::size_t size : {1u, 103u, 104u, 207u, 208u, 209u, 104u * 5 + 103}) {
        Bytes bytes(size);
        for (auto& b : bytes) {
            b = static_cast<std::uint8_t>(rng());
        }
        writeFile(dir.file("f.pmx"), bytes);
        PlotChartCore chart;
        chart.LoadItemsFromFile(dir.file("f.pmx"), true);
        ASSERT_EQ(chart.ItemCount(), static_cast<int>(size / 104)) << size;
        EXPECT_EQ(imageOf(chart), Bytes(bytes.begin(), bytes.begin() + (size / 104) * 104));
    }
}

TEST(SessionFile, ReadOnlyFileLoads) {
    TempDir dir;
    PlotChartCore chart;
    record(chart);
    chart.SaveItemsToFile(dir.file("ro.pmx"));
    ASSERT_EQ(::chmod(dir.file("ro.pmx").c_str(), 0444), 0);
    PlotChartCore loaded;
    loaded.LoadItemsFromFile(dir.file("ro.pmx"), true);
    EXPECT_EQ(imageOf(loaded), imageOf(chart));
}

// Loads that must fail leave the store exactly as it was and paint nothing.
TEST(SessionFile, FailedLoadRaisesAndLeavesTheStoreUnchanged) {
    TempDir dir;
    const std::string missing = dir.file("missing.pmx");
    struct Case {
        std::string name;
        std::string expected;
    };
    const Case cases[] = {
        {missing, "Datei \"" + missing +
                      "\" kann nicht geöffnet werden. Das System kann die angegebene Datei "
                      "nicht finden"},
        {dir.path().string(), "Datei \"" + dir.path().string() +
                                  "\" kann nicht geöffnet werden. Der angegebene Name ist ein "
                                  "Verzeichnis"},
        {missing + "/x.pmx", "Datei \"" + missing + "/x.pmx" +
                                 "\" kann nicht geöffnet werden. Das System kann die angegebene "
                                 "Datei nicht finden"},
    };
    for (const Case& c : cases) {
        for (bool append : {false, true}) {
            CountingChart chart;
            record(chart);
            const Bytes items = imageOf(chart);
            const int capacity = chart.ItemCapacity();
            try {
                chart.LoadItemsFromFile(c.name, append);
                ADD_FAILURE() << "no error for " << c.name;
            } catch (const EFOpenError& e) {
                EXPECT_EQ(e.Message(), c.expected);
            }
            EXPECT_EQ(imageOf(chart), items);
            EXPECT_EQ(chart.ItemCapacity(), capacity);
            EXPECT_EQ(chart.paints, 0);
        }
    }
}

TEST(SessionFile, RelativeNamesAreShownInFull) {
    TempDir dir;
    const fs::path cwd = fs::current_path();
    fs::current_path(dir.path());
    PlotChartCore chart;
    try {
        chart.LoadItemsFromFile("nothere.pmx", true);
        ADD_FAILURE();
    } catch (const EFOpenError& e) {
        EXPECT_NE(e.Message().find("\"" + dir.file("nothere.pmx") + "\""), std::string::npos)
            << e.Message();
    }
    fs::current_path(cwd);
}

TEST(SessionFile, SaveThatCannotCreateTheFileRaises) {
    TempDir dir;
    PlotChartCore chart;
    record(chart);
    writeFile(dir.file("plain"), {1, 2, 3});
    const std::string underFile = dir.file("plain") + "/s.pmx";
    const std::string underMissing = dir.file("nodir") + "/s.pmx";
    const std::pair<std::string, std::string> cases[] = {
        {underMissing, "Das System kann die angegebene Datei nicht finden"},
        {underFile, "Das System kann den angegebenen Pfad nicht finden"},
        {dir.path().string(), "Der angegebene Name ist ein Verzeichnis"},
    };
    for (const auto& [name, text] : cases) {
        try {
            chart.SaveItemsToFile(name);
            ADD_FAILURE() << "no error for " << name;
        } catch (const EFCreateError& e) {
            EXPECT_EQ(e.Message(), "Datei \"" + name + "\" kann nicht erstellt werden. " + text);
        }
    }
}

// A FIFO is a file name like any other in a save dialog; nothing may wait for its other end.
TEST(SessionFile, FifosNeverMakeSaveOrLoadWait) {
    TempDir dir;
    const std::string fifo = dir.file("pipe.pmx");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    PlotChartCore chart;
    record(chart);
    {
        // Nobody reads: refused at once with the create error.
        FifoWatchdog watchdog(fifo);
        try {
            chart.SaveItemsToFile(fifo);
            ADD_FAILURE() << "no error";
        } catch (const EFCreateError& e) {
            EXPECT_EQ(e.Message(), "Datei \"" + fifo +
                                       "\" kann nicht erstellt werden. Am anderen Ende der Pipe "
                                       "befindet sich kein Prozess");
        }
        EXPECT_FALSE(watchdog.Fired());
    }
    {
        // Nobody writes: a FIFO has no size, so it loads as an empty file.
        FifoWatchdog watchdog(fifo);
        CountingChart loaded;
        record(loaded);
        const Bytes before = imageOf(loaded);
        loaded.LoadItemsFromFile(fifo, true);
        EXPECT_EQ(imageOf(loaded), before);
        EXPECT_FALSE(watchdog.Fired());
    }
    {
        // Someone reads: the session goes through the pipe.
        const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(reader, 0);
        FifoWatchdog watchdog(fifo);
        chart.SaveItemsToFile(fifo);
        EXPECT_FALSE(watchdog.Fired());
        Bytes got(imageOf(chart).size() + 1);
        got.resize(
            static_cast<std::size_t>(std::max<ssize_t>(0, ::read(reader, got.data(), got.size()))));
        EXPECT_EQ(got, imageOf(chart));
        ::close(reader);
    }
    {
        // The reader goes away part-way (more than a pipe holds is written): an input/output
        // error, not the signal that would end the program with the recording unsaved.
        PlotChartCore big;
        for (int i = 0; i < 2000; ++i) {
            big.AddDrawTo(i, i % 7);
        }
        const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(reader, 0);
        std::thread goesAway([reader] {
            pollfd p{reader, POLLIN, 0};
            ::poll(&p, 1, 10000);
            char some[4096];
            [[maybe_unused]] const ssize_t n = ::read(reader, some, sizeof some);
            ::close(reader);
        });
        FifoWatchdog watchdog(fifo);
        try {
            big.SaveItemsToFile(fifo);
            ADD_FAILURE() << "no error";
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.ErrorCode, EPIPE);
        }
        goesAway.join();
        EXPECT_FALSE(watchdog.Fired());
    }
}

// A shorter recording saved over a longer one leaves no old tail; a save that fails midway (a
// full disk) keeps the old file as it was and leaves nothing beside it.
TEST(SessionFile, SaveReplacesTheOldFileWholeOrNotAtAll) {
    TempDir dir;
    const std::string name = dir.file("run.pmx");
    PlotChartCore longer;
    for (int i = 0; i < 200; ++i) {
        longer.AddDrawTo(i, i % 7);
    }
    PlotChartCore shorter;
    record(shorter);
    longer.SaveItemsToFile(name);
    shorter.SaveItemsToFile(name);
    EXPECT_EQ(readFile(name), imageOf(shorter));
    {
        FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.Active());
        try {
            longer.SaveItemsToFile(name);
            ADD_FAILURE() << "no error";
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.Message(), "Zu wenig Speicherplatz");
        }
    }
    EXPECT_EQ(readFile(name), imageOf(shorter));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(SessionFile, SaveIntoAWriteProtectedFolderRaisesAccessDenied) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes into any folder";
    }
    TempDir dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    PlotChartCore chart;
    record(chart);
    try {
        chart.SaveItemsToFile(dir.file("s.pmx"));
        ADD_FAILURE();
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "Datei \"" + dir.file("s.pmx") +
                                   "\" kann nicht erstellt werden. Zugriff verweigert");
    }
}

TEST(SessionFile, FullDiskIsAnErrorNeverASuccess) {
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    PlotChartCore chart;
    record(chart);
    try {
        chart.SaveItemsToFile("/dev/full");
        ADD_FAILURE();
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Message(), "Zu wenig Speicherplatz");
        EXPECT_EQ(e.ErrorCode, ENOSPC);
    }
}

// Thousands of random and damaged files: every one loads, saves back byte for byte (whole
// records), and reloads behind itself; foreign kinds, layers and non-finite numbers included.
TEST(SessionFile, FuzzedFilesRoundTripByteForByte) {
    TempDir dir;
    const std::string in = dir.file("in.pmx");
    const std::string out = dir.file("out.pmx");
    std::mt19937 rng(20240601);
    for (int round = 0; round < 2500; ++round) {
        // Fresh files: rewriting a truncated file makes some file systems flush on close.
        fs::remove(in);
        fs::remove(out);
        const Bytes bytes = sessionfuzz::fileBytes(rng);
        writeFile(in, bytes);
        const Bytes whole(bytes.begin(), bytes.begin() + (bytes.size() / 104) * 104);

        PlotChartCore chart;
        chart.LoadItemsFromFile(in, rng() % 2 == 0);
        ASSERT_EQ(imageOf(chart), whole) << "round " << round;
        chart.SaveItemsToFile(out);
        ASSERT_EQ(readFile(out), whole) << "round " << round;

        chart.LoadItemsFromFile(out, true);
        chart.AddMoveTo(1, 1); // the store stays usable behind loaded records
        chart.DeleteFirstItem();
        fs::remove(out);
        chart.SaveItemsToFile(out);
        Bytes twice(whole.size() > 104 ? whole.begin() + 104 : whole.end(), whole.end());
        twice.insert(twice.end(), whole.begin(), whole.end());
        const Bytes saved = readFile(out);
        if (whole.empty()) {
            ASSERT_TRUE(saved.empty()) << "round " << round;
        } else {
            ASSERT_EQ(Bytes(saved.begin(), saved.end() - 104), twice) << "round " << round;
        }
    }
}

} // namespace
