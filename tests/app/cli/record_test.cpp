// SPDX-License-Identifier: GPL-3.0-or-later
// plotmira-cli record end to end: plotmira-sim on a pseudo-terminal into the recorder, the
// session file compared with the items the sent lines must give; file input in blocks; the
// program's stop conditions and exit codes.
#include "app/pipeline/numbers.h"
#include "chart/core/chartitem.h"
#include "tests/support/process.h"
#include "tests/support/pty.h"
#include "tests/support/writeratopen.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kSim = PLOTMIRA_SIM_PATH;
const std::string kCli = PLOTMIRA_CLI_PATH;

// Starts a program with its standard output and error in files.
ChildProcess spawn(const std::vector<std::string>& args, const fs::path& out, const fs::path& err) {
    ChildOptions options;
    options.stdoutFile = out;
    options.stderrFile = err;
    return ChildProcess(args, options);
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<ChartItem> readSession(const fs::path& path) {
    const std::string bytes = readFile(path);
    std::vector<ChartItem> items(bytes.size() / sizeof(ChartItem));
    if (!items.empty()) {
        std::memcpy(items.data(), bytes.data(), items.size() * sizeof(ChartItem));
    }
    EXPECT_EQ(bytes.size() % sizeof(ChartItem), 0u);
    return items;
}

float expectedValue(const std::string& text, float factor, float offset) {
    const float raw = numbers::StoreSingle(numbers::ParseLineNumber(text).Value);
    return numbers::StoreSingle(static_cast<double>(raw) * factor + offset);
}

// Reads the pty behind link in raw mode until `lines` CR LF terminators have arrived.
std::string captureLines(const fs::path& link, int lines) {
    int fd = -1;
    for (int i = 0; i < 500 && fd < 0; ++i) {
        fd = open(link.c_str(), O_RDWR | O_NOCTTY);
        if (fd < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    if (fd < 0) {
        ADD_FAILURE() << "cannot open " << link;
        return {};
    }
    ptyio::makeRaw(fd);
    std::string data;
    int seen = 0;
    char buf[4096];
    while (seen < lines) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) {
            break;
        }
        for (ssize_t i = 0; i < n; ++i) {
            if (buf[i] == '\n' && !data.empty() && data.back() == '\r') {
                ++seen;
            }
            data.push_back(buf[i]);
        }
    }
    close(fd);
    return data;
}

std::vector<std::string> splitLines(const std::string& data) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t pos; (pos = data.find("\r\n", start)) != std::string::npos; start = pos + 2) {
        lines.push_back(data.substr(start, pos - start));
    }
    return lines;
}

class RecordTest : public testing::Test {
protected:
    fs::path dir;

    void SetUp() override {
        if (kCli.empty()) {
            GTEST_SKIP() << "plotmira-cli is not built";
        }
        char tmpl[] = "/tmp/plotmira-record-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        // Rescued sessions go to the test's folder, not the machine's /tmp.
        setenv("TMPDIR", dir.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("TMPDIR");
        if (!dir.empty()) {
            fs::remove_all(dir);
        }
    }

    // Runs the recorder and returns its exit status.
    int record(std::vector<std::string> args, int seconds = 60) {
        args.insert(args.begin(), {kCli, "record"});
        ChildProcess p = spawn(args, dir / "cli.out", dir / "cli.err");
        return p.waitFor(std::chrono::seconds(seconds));
    }

    // Starts the simulator on COM<com> under dir/ports with the given options.
    ChildProcess simulate(int com, std::vector<std::string> options) {
        std::vector<std::string> args{
            kSim, "--com", std::to_string(com), "--ports", (dir / "ports").string(), "--quiet"};
        args.insert(args.end(), options.begin(), options.end());
        ChildProcess p = spawn(args, dir / "sim.out", dir / "sim.err");
        const fs::path link = dir / "ports" / ("COM" + std::to_string(com));
        for (int i = 0; i < 500 && !fs::is_symlink(link); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_TRUE(fs::is_symlink(link));
        return p;
    }

    // The bytes a simulator with these options sends: a reader of our own takes them.
    std::string sentBytes(int com, const std::vector<std::string>& options, int lines) {
        ChildProcess sim = simulate(com, options);
        const std::string data = captureLines(dir / "ports" / ("COM" + std::to_string(com)), lines);
        EXPECT_EQ(sim.waitFor(std::chrono::seconds(30)), 0);
        return data;
    }
};

TEST_F(RecordTest, OneChannelFromTheSimulatorGivesThePolylineOfTheSentValues) {
    if (kSim.empty()) {
        GTEST_SKIP() << "plotmira-sim is not built";
    }
    const std::vector<std::string> options{
        "--count", "3000",       "--rate", "max",           "--wave",     "sine", "--amplitude",
        "250",     "--decimals", "4",      "--wait-reader", "--notation", "mixed"};
    const std::vector<std::string> lines = splitLines(sentBytes(6, options, 3000));
    ASSERT_EQ(lines.size(), 3000u);

    ChildProcess sim = simulate(7, options);
    const int status =
        record({"--port", (dir / "ports" / "COM7").string(), "--count", "3000", "--factor1", "0,5",
                "--offset1", "1.25", "-o", (dir / "run.pmx").string()});
    EXPECT_EQ(sim.waitFor(std::chrono::seconds(30)), 0);
    ASSERT_EQ(status, 0) << readFile(dir / "cli.err");

    const std::vector<ChartItem> items = readSession(dir / "run.pmx");
    ASSERT_EQ(items.size(), 3000u);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const float v = expectedValue(lines[i], 0.5f, 1.25f);
        ASSERT_EQ(items[i].Kind, i == 0 ? ikMoveTo : ikDrawTo) << i;
        ASSERT_EQ(items[i].X, i == 0 ? 0.0 : static_cast<double>(i + 1)) << i;
        ASSERT_EQ(items[i].Y, static_cast<double>(v)) << i << ": " << lines[i];
        ASSERT_EQ(items[i].Layer, 1);
        ASSERT_EQ(items[i].Color, 0xFF0000);
    }
    const std::string out = readFile(dir / "cli.out");
    EXPECT_NE(out.find("3000 | ComBuffer: "), std::string::npos);
    EXPECT_NE(out.find("ms Skal.+Grafik"), std::string::npos);
    EXPECT_NE(out.find("samples 3000, blocks "), std::string::npos);
}

TEST_F(RecordTest, TwoChannelsSplitAcrossWritesMatchTheSameBytesReadFromAFile) {
    if (kSim.empty()) {
        GTEST_SKIP() << "plotmira-sim is not built";
    }
    const std::vector<std::string> options{
        "--count", "600",   "--rate",        "max", "--channels",   "2", "--wave", "noise",
        "--fault", "split", "--fault-every", "3",   "--wait-reader"};
    const std::string bytes = sentBytes(8, options, 600);
    const std::vector<std::string> lines = splitLines(bytes);
    ASSERT_EQ(lines.size(), 600u);

    ChildProcess sim = simulate(9, options);
    ASSERT_EQ(record({"--port", (dir / "ports" / "COM9").string(), "--channels", "2", "--count",
                      "600", "--factor2", "2", "-o", (dir / "port.pmx").string()}),
              0)
        << readFile(dir / "cli.err");
    EXPECT_EQ(sim.waitFor(std::chrono::seconds(30)), 0);

    const std::vector<ChartItem> items = readSession(dir / "port.pmx");
    ASSERT_EQ(items.size(), 1200u);
    float prev1 = 0, prev2 = 0;
    for (std::size_t n = 1; n <= lines.size(); ++n) {
        const std::string& line = lines[n - 1];
        const std::size_t semicolon = line.find(';');
        ASSERT_NE(semicolon, std::string::npos) << line;
        const float v1 = expectedValue(line.substr(0, semicolon), 1, 0);
        const float v2 = expectedValue(line.substr(semicolon + 1), 2, 0);
        if (n == 1) {
            prev1 = v1;
            prev2 = v2;
        }
        const ChartItem& a = items[2 * (n - 1)];
        const ChartItem& b = items[2 * (n - 1) + 1];
        ASSERT_EQ(a.Layer, 1) << n;
        ASSERT_EQ(a.X, static_cast<double>(n - 1));
        ASSERT_EQ(a.Y, prev1) << n;
        ASSERT_EQ(a.X2, static_cast<double>(n));
        ASSERT_EQ(a.Y2, v1) << n << ": " << line;
        ASSERT_EQ(b.Layer, 2) << n;
        ASSERT_EQ(b.Color, 128);
        ASSERT_EQ(b.Y, prev2) << n;
        ASSERT_EQ(b.Y2, v2) << n << ": " << line;
        prev1 = v1;
        prev2 = v2;
    }

    // The same bytes from a file in odd blocks give the same session file.
    { std::ofstream(dir / "sent.raw", std::ios::binary) << bytes; }
    ASSERT_EQ(record({"--input", (dir / "sent.raw").string(), "--block", "7", "--channels", "2",
                      "--factor2", "2,0", "-o", (dir / "file.pmx").string()}),
              0);
    EXPECT_EQ(readFile(dir / "file.pmx"), readFile(dir / "port.pmx"));
}

TEST_F(RecordTest, ValueBeyondSingleRangeFromThePortStopsWithTheErrorText) {
    if (kSim.empty()) {
        GTEST_SKIP() << "plotmira-sim is not built";
    }
    ChildProcess sim = simulate(10, {"--count", "100", "--rate", "max", "--fault", "overrange",
                                     "--fault-every", "40", "--wait-reader"});
    const int status = record({"--port", (dir / "ports" / "COM10").string(), "--seconds", "20",
                               "-o", (dir / "run.pmx").string()});
    sim.signal(SIGTERM);
    sim.waitFor(std::chrono::seconds(10));
    EXPECT_EQ(status, 1);
    EXPECT_NE(readFile(dir / "cli.err").find("Gleitkommaüberlauf.\n"), std::string::npos);
    // Lines before the faulty one are recorded; the faulty line is counted but not drawn.
    const std::vector<ChartItem> items = readSession(dir / "run.pmx");
    EXPECT_GE(items.size(), 1u);
    EXPECT_LT(items.size(), 100u);
}

// Ctrl-C, a service stop and a closed terminal (SIGHUP) all end a recording as its end of
// input does: status 0 and the session written.
class RecordEndSignals : public RecordTest, public testing::WithParamInterface<int> {};

TEST_P(RecordEndSignals, InterruptEndsTheRecordingAndKeepsTheSession) {
    if (kSim.empty()) {
        GTEST_SKIP() << "plotmira-sim is not built";
    }
    ChildProcess sim = simulate(11, {"--rate", "500"});
    ChildProcess cli = spawn({kCli, "record", "--port", (dir / "ports" / "COM11").string(), "-o",
                              (dir / "run.pmx").string()},
                             dir / "cli.out", dir / "cli.err");
    // Wait until samples arrive, then interrupt as Ctrl-C would.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (readFile(dir / "cli.out").find("20 | ") == std::string::npos &&
           std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    cli.signal(GetParam());
    EXPECT_EQ(cli.waitFor(std::chrono::seconds(20)), 0) << readFile(dir / "cli.err");
    sim.signal(SIGTERM);
    sim.waitFor(std::chrono::seconds(10));
    EXPECT_GE(readSession(dir / "run.pmx").size(), 20u);
}

INSTANTIATE_TEST_SUITE_P(Signals, RecordEndSignals, testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(sigabbrev_np(info.param));
                         });

struct StopCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> args;
    int status;
    const char* message; // expected on stderr; empty: nothing of the program's own
    std::size_t items;
};

class RecordFileStops : public RecordTest, public testing::WithParamInterface<StopCase> {};

TEST_P(RecordFileStops, ExitStatusMessageAndItems) {
    const StopCase& c = GetParam();
    { std::ofstream(dir / "in.raw", std::ios::binary) << c.bytes; }
    std::vector<std::string> args{"--input", (dir / "in.raw").string(), "-o",
                                  (dir / "run.pmx").string()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    EXPECT_EQ(record(args), c.status);
    const std::string err = readFile(dir / "cli.err");
    if (*c.message != '\0') {
        EXPECT_NE(err.find(std::string(c.message) + "\n"), std::string::npos) << err;
    }
    EXPECT_EQ(readSession(dir / "run.pmx").size(), c.items);
}

std::string repeated(const std::string& line, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) {
        s += line;
    }
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, RecordFileStops,
    testing::Values(
        StopCase{"EndOfInput", repeated("1.5\r\n", 10), {}, 0, "", 10},
        StopCase{"Count", repeated("1.5\r\n", 10), {"--count", "4"}, 0, "", 4},
        StopCase{"Overflow",
                 repeated("2.000000000000\r\n", 1001),
                 {"--block", "16001"},
                 1,
                 "Com Pufferüberlauf",
                 0},
        StopCase{"LargestFramedBlock",
                 repeated("2.000000000000\r\n", 1001),
                 {"--block", "16000"},
                 0,
                 "",
                 1001},
        StopCase{"Trend", repeated("3\r\n", 2500), {"--trend"}, 0, "", 1981},
        StopCase{"TrendWithXMax", repeated("3\r\n", 600), {"--trend", "--xmax", "500"}, 0, "", 481},
        StopCase{"BeyondSingleRange", "1\r\n2\r\n1e39\r\n3\r\n", {}, 1, "Gleitkommaüberlauf.", 2}),
    [](const testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

struct BadCase {
    std::vector<std::string> args;
};

class RecordBadArguments : public RecordTest, public testing::WithParamInterface<BadCase> {};

TEST_P(RecordBadArguments, ExitWithStatusTwo) {
    EXPECT_EQ(record(GetParam().args), 2);
    EXPECT_FALSE(readFile(dir / "cli.err").empty());
}

INSTANTIATE_TEST_SUITE_P(Arguments, RecordBadArguments,
                         testing::Values(BadCase{{}}, BadCase{{"--input", "x", "--port", "5"}},
                                         BadCase{{"--input", "x", "--channels", "3"}},
                                         BadCase{{"--input", "x", "--factor1", "1,2,3"}},
                                         BadCase{{"--input", "x", "--dyngraph", "maybe"}},
                                         BadCase{{"--input", "x", "--block", "0"}},
                                         BadCase{{"--input"}}, BadCase{{"--input", "x", "--bogus"}},
                                         BadCase{{"--port", "COMx"}},
                                         BadCase{{"--input", "x", "--filter1", "lowpass:4:0.5"}},
                                         BadCase{{"--input", "x", "--filter2", "median:3"}},
                                         BadCase{{"--input", "x", "--rate", "0"}}));

TEST_F(RecordTest, HelpDescribesTheOptions) {
    EXPECT_EQ(record({"--help"}), 0);
    const std::string out = readFile(dir / "cli.out");
    for (const char* option : {"--port", "--baud", "--input", "--block", "--channels", "--trend",
                               "--dyngraph", "--count", "--seconds", "--bmp", "--xmax", "--filter1",
                               "--filter2", "--rate", "bandstop:ORDER:FLO:FHI", "--time"}) {
        EXPECT_NE(out.find(option), std::string::npos) << option;
    }
}

// Amplitude of the sine of frequency f (a fraction of the sample rate) in ys, over a span that
// holds whole periods of every frequency used.
double amplitude(const std::vector<double>& ys, double f) {
    double s = 0;
    double c = 0;
    for (std::size_t n = 0; n < ys.size(); ++n) {
        s += ys[n] * std::sin(2 * M_PI * f * static_cast<double>(n));
        c += ys[n] * std::cos(2 * M_PI * f * static_cast<double>(n));
    }
    return 2 * std::hypot(s, c) / static_cast<double>(ys.size());
}

TEST_F(RecordTest, LowPassKeepsTheSlowSineAndTakesTheFastOneBelowMinus45Decibels) {
    std::string bytes;
    char line[64];
    for (int n = 0; n < 4000; ++n) {
        const double v = std::sin(2 * M_PI * 0.01 * n) + std::sin(2 * M_PI * 0.3 * n);
        bytes.append(line,
                     static_cast<std::size_t>(std::snprintf(line, sizeof line, "%.9g\r\n", v)));
    }
    { std::ofstream(dir / "in.raw", std::ios::binary) << bytes; }
    const std::string in = (dir / "in.raw").string();
    ASSERT_EQ(record({"--input", in, "--filter1", "lowpass:4:0.1", "-o", (dir / "a.pmx").string()}),
              0);
    ASSERT_EQ(record({"--input", in, "--rate", "1000", "--filter1", "lowpass:4:100", "-o",
                      (dir / "b.pmx").string()}),
              0);
    const std::vector<ChartItem> items = readSession(dir / "a.pmx");
    ASSERT_EQ(items.size(), 4000u);
    EXPECT_EQ(readFile(dir / "a.pmx"), readFile(dir / "b.pmx")); // Hz at --rate: the same filter
    std::vector<double> settled; // after the filter's start, whole periods of both sines
    std::vector<double> sent;
    for (std::size_t n = 1000; n < items.size(); ++n) {
        settled.push_back(items[n].Y);
        sent.push_back(std::sin(2 * M_PI * 0.01 * n) + std::sin(2 * M_PI * 0.3 * n));
    }
    ASSERT_NEAR(amplitude(sent, 0.01), 1.0, 1e-9);
    ASSERT_NEAR(amplitude(sent, 0.3), 1.0, 1e-9);
    EXPECT_NEAR(amplitude(settled, 0.01), 1.0, 0.01);
    EXPECT_LT(20 * std::log10(amplitude(settled, 0.3)), -45.0);
}

TEST_F(RecordTest, PortOpenedLikeTheWindowsUntilTheDeviceIsUnplugged) {
    Pty device; // the recorder must be the only one holding the device
    ChildProcess cli = spawn({kCli, "record", "--port", device.slavePath(), "-o",
                              (dir / "run.pmx").string(), "--bmp", (dir / "run.bmp").string()},
                             dir / "cli.out", dir / "cli.err");
    // Feed lines until a few have been recorded (bytes written before the port opens wait).
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (readFile(dir / "cli.out").find("\n5 | ") == std::string::npos &&
           std::chrono::steady_clock::now() < until) {
        [[maybe_unused]] const ssize_t n = write(device.master(), "2.5\r\n", 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // A pty master reads and sets the termios of its slave: the port is open as the window
    // opens it, without hardware or software flow control.
    termios line{};
    ASSERT_EQ(tcgetattr(device.master(), &line), 0);
    EXPECT_EQ(line.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF), 0u);

    device.hangUp(); // unplugged
    const int status = cli.waitFor(std::chrono::seconds(20));
    const std::string out = readFile(dir / "cli.out");
    ASSERT_NE(out.find("\n5 | "), std::string::npos) << out << readFile(dir / "cli.err");
    EXPECT_EQ(status, 1);
    EXPECT_NE(readFile(dir / "cli.err").find("Com Verbindung unterbrochen\n"), std::string::npos)
        << readFile(dir / "cli.err");
    // Every sample recorded before the device went is in the session and the bitmap.
    const std::size_t at = out.find("samples ");
    ASSERT_NE(at, std::string::npos) << out;
    const std::size_t samples = std::stoul(out.substr(at + 8));
    EXPECT_GE(samples, 5u);
    EXPECT_EQ(readSession(dir / "run.pmx").size(), samples);
    EXPECT_EQ(readFile(dir / "run.bmp").substr(0, 2), "BM");
}

// A fresh adapter's line is cooked until the recorder makes it raw; a device that sends from
// the moment the port opens must lose no line to merging or dropping and hear no echo.
TEST_F(RecordTest, CookedPortFedFromTheMomentItOpensKeepsEveryLineAndEchoesNothing) {
    constexpr int kRuns = 20;
    constexpr int kLines = 2000;
    const std::string bytes = WriterAtOpen::NumberedLines(kLines);
    for (int run = 0; run < kRuns; ++run) {
        std::size_t echoed = 0;
        for (int attempt = 0; attempt < WriterAtOpen::kTries; ++attempt) {
            Pty device(Pty::Line::Cooked); // as a fresh terminal starts
            WriterAtOpen writer(device.master(), bytes);
            const int status =
                record({"--port", device.slavePath(), "--count", std::to_string(kLines),
                        "--seconds", "20", "-o", (dir / "run.pmx").string()});
            EXPECT_EQ(writer.Finish(), bytes.size()) << "run " << run;
            device.hangUp();
            ASSERT_EQ(status, 0) << "run " << run << ": " << readFile(dir / "cli.err");
            echoed = writer.Echoed();
            if (echoed != 0) {
                continue; // preempted between open and raw mode: see WriterAtOpen
            }
            const std::vector<ChartItem> items = readSession(dir / "run.pmx");
            ASSERT_EQ(items.size(), static_cast<std::size_t>(kLines)) << "run " << run;
            for (int i = 0; i < kLines; ++i) {
                ASSERT_EQ(items[static_cast<std::size_t>(i)].Y, i + 1.0) << "run " << run;
            }
            break;
        }
        EXPECT_EQ(echoed, 0u) << "run " << run << ": echoed on every try";
    }
}

TEST_F(RecordTest, MissingPortFailsWithTheOpenErrorAndKeepsAnEarlierRecording) {
    const std::string earlier(104 * 3, '\x11');
    { std::ofstream(dir / "run.pmx", std::ios::binary) << earlier; }
    const int status = record({"--port", (dir / "nothing").string(), "-o",
                               (dir / "run.pmx").string(), "--bmp", (dir / "run.bmp").string()});
    EXPECT_EQ(status, 1);
    // The open error's line break reaches the terminal as a newline: a bare carriage return
    // would overwrite the port name.
    const std::string err = readFile(dir / "cli.err");
    EXPECT_NE(err.find("Device \"" + (dir / "nothing").string() + "\" Open Error !!!\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(err.find('\r'), std::string::npos) << err;
    EXPECT_EQ(readFile(dir / "run.pmx"), earlier) << "a failed start must not overwrite it";
    EXPECT_FALSE(fs::exists(dir / "run.bmp"));
}

TEST_F(RecordTest, SessionOntoAFifoWithoutReaderFailsAtOnceAndTheBitmapIsStillWritten) {
    { std::ofstream(dir / "in.raw", std::ios::binary) << repeated("4\r\n", 10); }
    ASSERT_EQ(mkfifo((dir / "run.pmx").c_str(), 0600), 0);
    // A recorder waiting in open would be killed after the time limit (status -1).
    EXPECT_EQ(record({"--input", (dir / "in.raw").string(), "-o", (dir / "run.pmx").string(),
                      "--bmp", (dir / "run.bmp").string()},
                     20),
              1);
    const std::string err = readFile(dir / "cli.err");
    EXPECT_NE(err.find("Datei \"" + (dir / "run.pmx").string() +
                       "\" kann nicht erstellt werden. Am anderen Ende der Pipe befindet sich "
                       "kein Prozess.\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(readFile(dir / "run.bmp").substr(0, 2), "BM");
}

// The recorder's chart draws only when the bitmap is written (nobody watches it before): the
// bitmap is the picture of the whole recording, as render draws the saved session.
TEST_F(RecordTest, BitmapIsThePictureOfTheWholeRecording) {
    { std::ofstream(dir / "in.raw", std::ios::binary) << repeated("4\r\n5\r\n", 100); }
    ASSERT_EQ(record({"--input", (dir / "in.raw").string(), "--bmp", (dir / "run.bmp").string(),
                      "-o", (dir / "run.pmx").string()}),
              0);
    const std::string bmp = readFile(dir / "run.bmp");
    ASSERT_GT(bmp.size(), 54u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    ChildProcess render =
        spawn({kCli, "render", (dir / "run.pmx").string(), "-o", (dir / "drawn.bmp").string()},
              dir / "render.out", dir / "render.err");
    ASSERT_EQ(render.waitFor(std::chrono::seconds(60)), 0) << readFile(dir / "render.err");
    EXPECT_TRUE(readFile(dir / "drawn.bmp") == bmp);
}

// ---- X-Achse "Zeit" ---------------------------------------------------------------------------

// Against the simulator: every sample stands at its seconds since Start, never earlier than the
// one before and never later than the run lasted; export --time gives the same times.
TEST_F(RecordTest, TimeRunGivesEachSampleItsSecondsSinceStart) {
    if (kSim.empty()) {
        GTEST_SKIP() << "plotmira-sim is not built";
    }
    ChildProcess sim = simulate(10, {"--count", "400", "--rate", "2000", "--channels", "2",
                                     "--wave", "ramp", "--wait-reader"});
    const auto began = std::chrono::steady_clock::now();
    const int status = record({"--port", (dir / "ports" / "COM10").string(), "--channels", "2",
                               "--time", "--count", "400", "-o", (dir / "run.pmx").string()});
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    EXPECT_EQ(sim.waitFor(std::chrono::seconds(30)), 0);
    ASSERT_EQ(status, 0) << readFile(dir / "cli.err");

    const std::vector<ChartItem> items = readSession(dir / "run.pmx");
    ASSERT_EQ(items.size(), 800u);
    double previous = 0.0;
    for (std::size_t i = 0; i < items.size(); i += 2) {
        for (std::size_t k = i; k < i + 2; ++k) {
            ASSERT_EQ(items[k].Kind, ikLine) << k;
            ASSERT_EQ(items[k].Layer, k == i ? 1 : 2) << k;
            ASSERT_EQ(items[k].X, previous) << k; // from the sample before (Start for the first)
            ASSERT_EQ(items[k].X2, items[i].X2) << k; // one time for both channels
        }
        ASSERT_GE(items[i].X2, previous) << i;
        previous = items[i].X2;
    }
    EXPECT_GT(items.front().X2, 0.0);
    EXPECT_LE(items.back().X2, wall);
    // 400 lines at 2000 a second take about 0.2 s.
    EXPECT_GT(items.back().X2 - items.front().X2, 0.1);

    ChildProcess exporter = spawn(
        {kCli, "export", (dir / "run.pmx").string(), "-o", (dir / "run.csv").string(), "--time"},
        dir / "export.out", dir / "export.err");
    ASSERT_EQ(exporter.waitFor(std::chrono::seconds(30)), 0) << readFile(dir / "export.err");
    const std::string csv = readFile(dir / "run.csv");
    ASSERT_EQ(csv.rfind("time_s,channel1,channel2\n", 0), 0u) << csv.substr(0, 40);
    std::size_t row = csv.find('\n') + 1;
    for (std::size_t i = 0; i < items.size(); i += 2) {
        ASSERT_EQ(std::strtod(csv.c_str() + row, nullptr), items[i].X2) << i;
        row = csv.find('\n', row) + 1;
    }
    EXPECT_EQ(row, csv.size());
}

// Trend with "Zeit": the simulator sends bursts half a second apart into a window of a quarter
// second, so each burst's first line pushes the burst before it out of the window.
TEST_F(RecordTest, TimeTrendDeletesWhatAPauseMovesOutOfTheWindow) {
    if (kSim.empty()) {
        GTEST_SKIP() << "plotmira-sim is not built";
    }
    ChildProcess sim = simulate(11, {"--count", "100", "--rate", "40", "--fault", "burst",
                                     "--burst", "20", "--wait-reader"});
    const int status =
        record({"--port", (dir / "ports" / "COM11").string(), "--time", "--trend", "--xmax", "0,25",
                "--count", "100", "-o", (dir / "run.pmx").string()});
    EXPECT_EQ(sim.waitFor(std::chrono::seconds(30)), 0);
    ASSERT_EQ(status, 0) << readFile(dir / "cli.err");

    const std::vector<ChartItem> items = readSession(dir / "run.pmx");
    ASSERT_FALSE(items.empty());
    EXPECT_LE(items.size(), 20u); // nothing of an earlier burst is left
    const double newest = items.back().X2;
    for (const ChartItem& item : items) {
        EXPECT_GE(item.X2, newest - 0.25);
    }
    // The oldest kept segment leads in from the last sample before the pause.
    EXPECT_LT(items.front().X, newest - 0.4);
}

// Bytes waiting in a pipe or FIFO, seen from its reading end.
int queuedIn(int fd) {
    int n = 0;
    return ioctl(fd, FIONREAD, &n) == 0 ? n : -1;
}

// Waits until the pipe behind fd holds at least `bytes` (its writer then waits for room).
bool waitUntilQueued(int fd, int bytes) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (queuedIn(fd) < bytes && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return queuedIn(fd) >= bytes;
}

// The single rescue session in folder, or an empty path.
fs::path rescued(const fs::path& folder, const std::string& stem) {
    fs::path found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("plotmira-" + stem + "-", 0) == 0 && entry.path().extension() == ".pmx") {
            EXPECT_TRUE(found.empty()) << "two rescue files";
            found = entry.path();
        }
    }
    return found;
}

// A reader that opened the FIFO and stopped reading must not hold the recording hostage: a
// signal while the session waits for room abandons the outputs within a second, says which were
// not written and keeps the samples in a rescue session.
TEST_F(RecordTest, SignalAbandonsAnOutputWhoseReaderStoppedReading) {
    { std::ofstream(dir / "in.raw", std::ios::binary) << repeated("7\r\n", 2000); }
    for (const int signal : {SIGINT, SIGTERM}) {
        const fs::path fifo = dir / ("run" + std::to_string(signal) + ".pmx");
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(reader, 0);
        ChildProcess cli = spawn({kCli, "record", "--input", (dir / "in.raw").string(), "-o",
                                  fifo.string(), "--bmp", (dir / "run.bmp").string()},
                                 dir / "cli.out", dir / "cli.err");
        // 2000 samples are 208000 bytes: the FIFO fills and the recorder waits for room.
        ASSERT_TRUE(waitUntilQueued(reader, 60000)) << queuedIn(reader);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const auto signalled = std::chrono::steady_clock::now();
        cli.signal(signal);
        const int status = cli.waitFor(std::chrono::seconds(10));
        EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(1));
        close(reader);
        EXPECT_EQ(status, 1);
        const std::string err = readFile(dir / "cli.err");
        EXPECT_NE(err.find("Datei \"" + fifo.string() +
                           "\" nicht vollständig geschrieben: durch Signal abgebrochen\n"),
                  std::string::npos)
            << err;
        EXPECT_NE(err.find("Datei \"" + (dir / "run.bmp").string() +
                           "\" nicht geschrieben: durch Signal abgebrochen\n"),
                  std::string::npos)
            << err;
        const fs::path rescue = rescued(dir, fifo.stem().string());
        ASSERT_FALSE(rescue.empty()) << err;
        EXPECT_NE(err.find("Aufzeichnung gesichert in \"" + rescue.string() + "\"\n"),
                  std::string::npos)
            << err;
        EXPECT_EQ(readSession(rescue).size(), 2000u);
    }
}

// Status lines into a FIFO whose reader stopped reading: a signal still ends the run within a
// second, the session is written and the lines that could not be are counted.
TEST_F(RecordTest, SignalEndsARecordingWhoseStatusReaderStoppedReading) {
    { std::ofstream(dir / "in.raw", std::ios::binary) << repeated("7\r\n", 100000); }
    const fs::path fifo = dir / "status.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    ChildProcess cli = spawn(
        {kCli, "record", "--input", (dir / "in.raw").string(), "-o", (dir / "run.pmx").string()},
        fifo, dir / "cli.err");
    ASSERT_TRUE(waitUntilQueued(reader, 60000)) << queuedIn(reader);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto signalled = std::chrono::steady_clock::now();
    cli.signal(SIGINT);
    const int status = cli.waitFor(std::chrono::seconds(10));
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(1));
    close(reader);
    EXPECT_EQ(status, 1);
    const std::string err = readFile(dir / "cli.err");
    EXPECT_NE(err.find("Standardausgabe blockiert: "), std::string::npos) << err;
    EXPECT_NE(err.find(" Zeilen nicht geschrieben\n"), std::string::npos) << err;
    const std::size_t items = readSession(dir / "run.pmx").size();
    EXPECT_GT(items, 0u);
    EXPECT_LT(items, 100000u);
}

// An output that cannot be written (its folder went away, the disk is full) must not cost the
// recording: it goes to a new session file in $TMPDIR, named with the error, and the run ends
// with status 1.
struct RescueCase {
    const char* name;
    std::vector<std::string> outputs; // relative names are taken in the test's folder
    const char* error;                // on standard error
    const char* stem;                 // of the rescue file
};

class RecordRescue : public RecordTest, public testing::WithParamInterface<RescueCase> {};

TEST_P(RecordRescue, SessionGoesToTheTemporaryFolder) {
    const RescueCase& c = GetParam();
    { std::ofstream(dir / "in.raw", std::ios::binary) << repeated("1.5\r\n2.5\r\n", 50); }
    std::vector<std::string> args{"--input", (dir / "in.raw").string()};
    for (const std::string& output : c.outputs) {
        const bool absolute = output.front() == '/' || output.front() == '-';
        args.push_back(absolute ? output : (dir / output).string());
    }
    EXPECT_EQ(record(args), 1);
    const std::string err = readFile(dir / "cli.err");
    EXPECT_NE(err.find(c.error), std::string::npos) << err;
    const fs::path rescue = rescued(dir, c.stem);
    ASSERT_FALSE(rescue.empty()) << err;
    EXPECT_NE(err.find("Aufzeichnung gesichert in \"" + rescue.string() + "\"\n"),
              std::string::npos)
        << err;
    const std::vector<ChartItem> items = readSession(rescue);
    ASSERT_EQ(items.size(), 100u);
    EXPECT_EQ(items[99].Y, 2.5);
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, RecordRescue,
    testing::Values(RescueCase{"FolderGone",
                               {"-o", "gone/run.pmx"},
                               "gone/run.pmx\" kann nicht erstellt werden.",
                               "run"},
                    RescueCase{"DiskFull", {"-o", "/dev/full"}, "Zu wenig Speicherplatz", "full"},
                    RescueCase{"OnlyTheBitmapFails",
                               {"--bmp", "gone/run.bmp"},
                               "kann nicht erstellt werden.",
                               "run"}),
    [](const testing::TestParamInfo<RescueCase>& info) { return std::string(info.param.name); });

} // namespace
