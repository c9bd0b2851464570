// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated device: option parsing, the lines it generates and their fault shapes, and the
// real program feeding the serial component through its link.

#include "serial/serialcomm.h"
#include "tests/serial/ptyfixture.h"
#include "tests/support/process.h"
#include "tools/sim/linegenerator.h"
#include "tools/sim/simoptions.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <set>

using namespace std::chrono_literals;

TEST(SimOptions, ParsesTheDemoCallAndRejectsBadInput) {
    const SimOptions demo = ParseSimOptions(
        {"--com", "5", "--channels", "1", "--wave", "sine", "--rate", "200", "--quiet"});
    EXPECT_EQ(demo.com, 5u);
    EXPECT_EQ(demo.channels, 1);
    EXPECT_EQ(demo.wave, SimWave::Sine);
    EXPECT_DOUBLE_EQ(demo.rate, 200.0);
    EXPECT_TRUE(demo.quiet);
    EXPECT_EQ(demo.count, -1);

    const SimOptions faults = ParseSimOptions(
        {"--fault", "split,garbage", "--fault", "hangup", "--rate", "max", "--count", "7"});
    EXPECT_EQ(faults.faults, kFaultSplit | kFaultGarbage | kFaultHangUp);
    EXPECT_EQ(faults.rate, 0.0);
    EXPECT_EQ(faults.count, 7);

    const std::vector<std::vector<std::string>> bad = {
        {"--channels", "3"},  {"--com", "0"},      {"--rate", "-1"},      {"--rate", "fast"},
        {"--wave", "square"}, {"--fault", "melt"}, {"--count"},           {"--decimals", "x"},
        {"--bogus"},          {"--period", "0"},   {"--notation", "hex"},
    };
    for (const auto& args : bad) {
        EXPECT_THROW(ParseSimOptions(args), std::invalid_argument) << args[0];
    }
    EXPECT_NE(SimUsage().find("--fault"), std::string::npos);
}

namespace {

std::string joined(const std::vector<std::string>& pieces) {
    std::string s;
    for (const auto& p : pieces) {
        s += p;
    }
    return s;
}

} // namespace

TEST(SimLines, FormatsOneAndTwoChannelsInPlainAndExponentNotation) {
    SimOptions o;
    o.period = 4;
    LineGenerator plain(o);
    EXPECT_EQ(joined(plain.next()), "0.000\r\n");
    EXPECT_EQ(joined(plain.next()), "1.000\r\n");

    o.channels = 2;
    o.notation = SimNotation::Mixed;
    o.decimals = 2;
    LineGenerator two(o);
    EXPECT_EQ(joined(two.next()), "0.00;-0.50\r\n");
    EXPECT_EQ(joined(two.next()), "1.00e+00;0.00e+00\r\n");

    for (SimWave wave : {SimWave::Sine, SimWave::Ramp, SimWave::Noise, SimWave::Steps}) {
        SimOptions w;
        w.wave = wave;
        w.amplitude = 2;
        w.offset = 10;
        LineGenerator g(w);
        std::set<double> seen;
        for (int i = 0; i < 400; ++i) {
            const double v = g.value(0, i);
            ASSERT_GE(v, 8.0);
            ASSERT_LE(v, 12.0);
            seen.insert(v);
        }
        EXPECT_GE(seen.size(), 4u); // it moves
    }
}

TEST(SimLines, FaultsShapeTheLinesAsDocumented) {
    SimOptions clean;
    clean.faultEvery = 5;
    SimOptions o = clean;

    // Split: the pieces are the clean line, and every position occurs.
    o.faults = kFaultSplit;
    LineGenerator split(o), reference(clean);
    std::set<std::size_t> positions;
    for (int i = 0; i < 50; ++i) {
        const auto pieces = split.next();
        const std::string line = joined(reference.next());
        ASSERT_EQ(pieces.size(), 2u);
        EXPECT_EQ(pieces[0] + pieces[1], line);
        positions.insert(pieces[0].size());
    }
    for (std::size_t p = 1; p < 7; ++p) { // "0.000\r\n" and "-0.xxx\r\n"
        EXPECT_TRUE(positions.count(p)) << p;
    }

    const struct {
        unsigned fault;
        std::function<void(const std::string& faulty, const std::string& clean)> check;
    } cases[] = {
        {kFaultLoneCr, [](const std::string& f,
                          const std::string& c) { EXPECT_EQ(f, c.substr(0, c.size() - 1)); }},
        {kFaultNoTerminator, [](const std::string& f,
                                const std::string& c) { EXPECT_EQ(f, c.substr(0, c.size() - 2)); }},
        {kFaultOverRange,
         [](const std::string& f, const std::string&) { EXPECT_EQ(f, "1e39\r\n"); }},
        {kFaultGarbage,
         [](const std::string& f, const std::string& c) {
             ASSERT_GT(f.size(), c.size() + 2);
             EXPECT_EQ(f[0], '\0');
             EXPECT_EQ(f.substr(f.size() - c.size()), c);
         }},
    };
    for (const auto& c : cases) {
        o.faults = c.fault;
        LineGenerator faulty(o), ref(clean);
        for (int i = 1; i <= 20; ++i) {
            const std::string f = joined(faulty.next()), r = joined(ref.next());
            if (i % 5 == 0) {
                c.check(f, r);
            } else {
                EXPECT_EQ(f, r);
            }
        }
    }
}

namespace {

// Starts plotmira-sim with arguments; the ChildProcess ends it with SIGTERM unless it has ended.
ChildProcess startSim(std::vector<std::string> args) {
    args.insert(args.begin(), PLOTMIRA_SIM_PATH);
    return ChildProcess(std::move(args));
}

bool waitForPath(const std::filesystem::path& p) {
    for (int i = 0; i < 500 && !std::filesystem::is_symlink(p); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    return std::filesystem::is_symlink(p);
}

} // namespace

TEST(SimDevice, FeedsTheComponentExactlyWhatItGeneratesAndRemovesItsLink) {
    if (std::string(PLOTMIRA_SIM_PATH).empty()) {
        GTEST_SKIP() << "plotmira-sim not built";
    }
    PortFolder ports;
    const std::vector<std::string> simArgs = {
        "--channels", "2",       "--rate", "max",    "--fault", "split,garbage,burst", "--wave",
        "noise",      "--count", "20000",  "--seed", "9",       "--notation",          "mixed"};
    std::vector<std::string> args = simArgs;
    for (const char* a : {"--com", "9", "--ports", "", "--quiet"}) {
        args.emplace_back(a);
    }
    args[args.size() - 2] = ports.path().string();
    ChildProcess sim = startSim(args);
    ASSERT_TRUE(sim.started());
    ASSERT_TRUE(waitForPath(ports.path() / "COM9"));

    auto loop = MainLoop::create();
    TSerialComm comm;
    comm.SetMainThreadInvoker(loop->invoker());
    comm.SetComPortNo(9);
    std::string received;
    comm.OnAfterReceive = [&](TCommBaseIO*, const char* b, std::uint32_t n) {
        received.append(b, n);
    };
    comm.SetActive(true);

    LineGenerator expected(ParseSimOptions(simArgs));
    std::string all;
    while (expected.lines() < 20000) {
        all += joined(expected.next());
    }
    EXPECT_TRUE(loop->runUntil([&] { return received.size() >= all.size(); }, 30s));
    EXPECT_TRUE(received == all) << received.size() << " of " << all.size();
    // The device is done once the reader has taken everything (or, where its queue is hidden
    // from this user, once the reader has closed the port).
    comm.SetActive(false);
    EXPECT_EQ(sim.wait(), 0);
    EXPECT_FALSE(std::filesystem::exists(ports.path() / "COM9"));
}

TEST(SimDevice, WhileOpenDropsWhatFallsDueWhileThePortIsClosed) {
    if (std::string(PLOTMIRA_SIM_PATH).empty()) {
        GTEST_SKIP() << "plotmira-sim not built";
    }
    // A ramp numbers its lines: the first line a reader gets tells how many went unsent.
    const std::vector<std::string> simArgs = {"--wave",      "ramp",    "--period",   "1000000",
                                              "--rate",      "200",     "--decimals", "0",
                                              "--amplitude", "1000000", "--offset",   "1000000"};
    PortFolder ports;
    std::vector<std::string> args = simArgs;
    for (const char* a : {"--com", "3", "--while-open", "--quiet", "--ports"}) {
        args.emplace_back(a);
    }
    args.push_back(ports.path().string());
    ChildProcess sim = startSim(args);
    ASSERT_TRUE(sim.started());
    ASSERT_TRUE(waitForPath(ports.path() / "COM3"));
    std::this_thread::sleep_for(500ms); // about 100 lines fall due with the port closed

    LineGenerator generator(ParseSimOptions(simArgs));
    std::vector<std::string> lines;
    for (int i = 0; i < 2000; ++i) {
        lines.push_back(joined(generator.next()));
    }
    auto loop = MainLoop::create();
    TSerialComm comm;
    comm.SetMainThreadInvoker(loop->invoker());
    comm.SetComPortNo(3);
    std::string received;
    comm.OnAfterReceive = [&](TCommBaseIO*, const char* b, std::uint32_t n) {
        received.append(b, n);
    };
    comm.SetActive(true);
    ASSERT_TRUE(loop->runUntil([&] { return received.size() >= 60; }));
    comm.SetActive(false);
    const std::size_t end = received.find("\r\n");
    ASSERT_NE(end, std::string::npos);
    const auto first = std::find(lines.begin(), lines.end(), received.substr(0, end + 2));
    ASSERT_NE(first, lines.end()) << received;
    // What fell due before the open was dropped, not queued; from the first line on nothing is
    // missing.
    EXPECT_GE(first - lines.begin(), 20);
    std::string expected;
    for (auto it = first; it != lines.end() && expected.size() < received.size(); ++it) {
        expected += *it;
    }
    EXPECT_EQ(received, expected.substr(0, received.size()));
}

TEST(SimDevice, HangUpClosesTheComponentAndSigtermRemovesTheLink) {
    if (std::string(PLOTMIRA_SIM_PATH).empty()) {
        GTEST_SKIP() << "plotmira-sim not built";
    }
    PortFolder ports;
    {
        ChildProcess sim =
            startSim({"--com", "4", "--ports", ports.path().string(), "--rate", "2000", "--count",
                      "200", "--fault", "hangup", "--wait-reader", "--quiet"});
        ASSERT_TRUE(waitForPath(ports.path() / "COM4"));
        auto loop = MainLoop::create();
        TSerialComm comm;
        comm.SetMainThreadInvoker(loop->invoker());
        comm.SetComPortNo(4);
        std::size_t bytes = 0;
        comm.OnAfterReceive = [&](TCommBaseIO*, const char*, std::uint32_t n) { bytes += n; };
        comm.SetActive(true);
        EXPECT_TRUE(loop->runUntil([&] { return !comm.Active(); }, 20s));
        EXPECT_GT(bytes, 0u);
        EXPECT_EQ(sim.wait(), 0);
    }
    {
        ChildProcess sim =
            startSim({"--com", "6", "--ports", ports.path().string(), "--rate", "200", "--quiet"});
        ASSERT_TRUE(waitForPath(ports.path() / "COM6"));
        sim.signal(SIGTERM);
        EXPECT_EQ(sim.wait(), 0);
        EXPECT_FALSE(std::filesystem::is_symlink(ports.path() / "COM6"));
    }
}
