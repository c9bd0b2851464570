// SPDX-License-Identifier: GPL-3.0-or-later
// plotmira-cli export and spectrum end to end: recordings made by plotmira-cli record from fed
// lines, exported as CSV or as their spectrum; the file errors and bad arguments with their exit
// codes.
#include "chart/core/chartitem.h"
#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kCli = PLOTMIRA_CLI_PATH;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

class ExportTest : public testing::Test {
protected:
    fs::path dir;

    void SetUp() override {
        char templ[] = "/tmp/plotmira-export-XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        dir = templ;
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs plotmira-cli with args and waits at most 30 s for it. Its standard output goes to
    // stdoutFd when one is given, else to a file read into Result::out.
    Result cli(const std::vector<std::string>& args, int stdoutFd = -1) {
        std::vector<std::string> all{kCli};
        all.insert(all.end(), args.begin(), args.end());
        const fs::path out = dir / "stdout.txt";
        ChildOptions options;
        if (stdoutFd >= 0) {
            options.stdoutFd = stdoutFd;
        } else {
            options.stdoutFile = out;
        }
        options.stderrFile = dir / "stderr.txt";
        Result r;
        ChildProcess child(std::move(all), options);
        if (child.started()) {
            r.status = child.waitFor(std::chrono::seconds(30));
            if (r.status == ChildProcess::kTimedOut) {
                ADD_FAILURE() << "plotmira-cli did not end";
            }
        }
        r.out = readFile(out);
        r.err = readFile(options.stderrFile);
        return r;
    }

    // Records the lines through plotmira-cli record and returns the session file.
    fs::path record(const std::string& lines, std::vector<std::string> settings) {
        const fs::path input = dir / "input.bin";
        const fs::path session = dir / "run.pmx";
        writeFile(input, lines);
        std::vector<std::string> args{"record", "--input", input, "--quiet", "-o", session};
        args.insert(args.end(), settings.begin(), settings.end());
        const Result r = cli(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return session;
    }

    std::string exportCsv(const fs::path& session) {
        const fs::path csv = dir / "run.csv";
        const Result r = cli({"export", session, "-o", csv});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        return readFile(csv);
    }
};

TEST_F(ExportTest, OneChannelRecordingExportsItsLines) {
    const fs::path session = record("1.5\r\n-2\r\n3.25\r\n", {});
    EXPECT_EQ(exportCsv(session), "sample,channel1\n1,1.5\n2,-2\n3,3.25\n");
}

TEST_F(ExportTest, TwoChannelRecordingExportsBothChannels) {
    std::string lines;
    std::string expected = "sample,channel1,channel2\n";
    for (int n = 1; n <= 3000; ++n) {
        lines += std::to_string(n) + ".25;" + std::to_string(-n) + "\r\n";
        expected +=
            std::to_string(n) + "," + std::to_string(n) + ".25," + std::to_string(-n) + "\n";
    }
    const fs::path session = record(lines, {"--channels", "2", "--block", "1000"});
    EXPECT_EQ(exportCsv(session), expected);
}

TEST_F(ExportTest, TrendRecordingExportsTheKeptWindow) {
    std::string lines;
    for (int n = 1; n <= 500; ++n) {
        lines += std::to_string(n) + "\r\n";
    }
    // X maximum 120: the window keeps 101 samples, so 400 to 500 remain.
    const fs::path session = record(lines, {"--trend", "--xmax", "120"});
    std::string expected = "sample,channel1\n";
    for (int n = 400; n <= 500; ++n) {
        expected += std::to_string(n) + "," + std::to_string(n) + "\n";
    }
    EXPECT_EQ(exportCsv(session), expected);
}

TEST_F(ExportTest, ForeignItemsAreSkippedAndCountedOnStandardError) {
    std::vector<ChartItem> items(4);
    std::memset(items.data(), 0, items.size() * sizeof(ChartItem));
    items[0].Kind = ikMoveTo;
    items[0].Layer = 1;
    items[0].Y = 2;
    items[1].Kind = 12; // a kind this program never makes
    items[1].Layer = 1;
    items[2].Kind = ikDrawTo;
    items[2].Layer = 9;
    items[3].Kind = ikDrawTo;
    items[3].Layer = 1;
    items[3].X = 2;
    items[3].Y = 4;
    const fs::path session = dir / "foreign.pmx";
    writeFile(session, std::string(reinterpret_cast<const char*>(items.data()),
                                   items.size() * sizeof(ChartItem)));
    const Result r = cli({"export", session, "-o", dir / "out.csv"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("2 items skipped"), std::string::npos) << r.err;
    EXPECT_EQ(readFile(dir / "out.csv"), "sample,channel1\n1,2\n2,4\n");
}

TEST_F(ExportTest, FileErrorsExitWithOneAndTheProgramsTexts) {
    const fs::path session = record("1\r\n", {});
    const fs::path missing = dir / "missing.pmx";
    Result r = cli({"export", missing, "-o", dir / "a.csv"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "plotmira-cli export: Datei \"" + missing.string() +
                         "\" kann nicht geöffnet werden. Das System kann die angegebene Datei "
                         "nicht finden\n");
    EXPECT_FALSE(fs::exists(dir / "a.csv"));

    const fs::path noFolder = dir / "no" / "out.csv";
    r = cli({"export", session, "-o", noFolder});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Datei \"" + noFolder.string() + "\" kann nicht erstellt werden."),
              std::string::npos)
        << r.err;

    r = cli({"export", dir, "-o", dir / "b.csv"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("kann nicht geöffnet werden"), std::string::npos) << r.err;

    // A FIFO nobody reads fails at once instead of blocking the export, with the text record
    // and render give.
    const fs::path fifo = dir / "fifo.csv";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    r = cli({"export", session, "-o", fifo});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "plotmira-cli export: Datei \"" + fifo.string() +
                         "\" kann nicht erstellt werden. Am anderen Ende der Pipe befindet sich "
                         "kein Prozess\n");

    // A pipe whose reader is gone: a message and status 1, not the signal's silent death.
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    ::close(pipeFds[0]);
    r = cli({"export", session, "-o", "/dev/stdout"}, pipeFds[1]);
    ::close(pipeFds[1]);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "plotmira-cli export: E/A-Fehler " + std::to_string(EPIPE) + "\n");
}

TEST_F(ExportTest, BadArgumentsExitWithTwoAndWriteNothing) {
    const fs::path session = record("1\r\n2\r\n", {});
    const std::string before = readFile(session);
    const std::string sameFile = "the output file is the session file '" + session.string() + "'";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"export"}, "missing session file"},
        {{"export", session}, "missing output file (-o OUT.csv)"},
        {{"export", session, "-o"}, "option -o needs a value"},
        {{"export", session, "-o", dir / "x.csv", "--bogus"}, "unknown option '--bogus'"},
        {{"export", session, session, "-o", dir / "x.csv"},
         "unexpected argument '" + session.string() + "'"},
        {{"export", "-o", dir / "x.csv"}, "missing session file"},
        {{"export", session, "-o", session}, sameFile}, // would overwrite the recording
        {{"export", session, "-o", (dir / "." / "run.pmx").string()}, sameFile}, // spelt otherwise
    };
    for (const auto& [args, text] : cases) {
        const Result r = cli(args);
        EXPECT_EQ(r.status, 2) << args.size();
        EXPECT_EQ(r.err, "plotmira-cli export: " + text + "\n");
    }
    EXPECT_FALSE(fs::exists(dir / "x.csv"));
    EXPECT_EQ(readFile(session), before);

    const Result help = cli({"export", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("sample,channel1"), std::string::npos);
}

// ---- plotmira-cli spectrum --------------------------------------------------------------------

// The CSV's rows as numbers, after checking its header.
std::vector<std::vector<double>> csvRows(const std::string& csv, const std::string& header) {
    std::istringstream in(csv);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, header);
    std::vector<std::vector<double>> rows;
    while (std::getline(in, line)) {
        std::vector<double>& row = rows.emplace_back();
        std::istringstream fields(line);
        std::string field;
        while (std::getline(fields, field, ',')) {
            row.push_back(std::stod(field));
        }
    }
    return rows;
}

// Lines of a sine with `cycles` periods per `count` samples on an offset; a second channel
// with twice the cycles when channels is 2.
std::string sineLines(int count, double cycles, double amplitude, double offset, int channels) {
    std::string lines;
    char text[64];
    for (int n = 0; n < count; ++n) {
        const double phase = 2 * std::numbers::pi * cycles * n / count;
        const double v = offset + amplitude * std::sin(phase);
        if (channels == 2) {
            std::snprintf(text, sizeof text, "%.6f;%.6f\r\n", v, 0.5 * std::cos(2 * phase));
        } else {
            std::snprintf(text, sizeof text, "%.6f\r\n", v);
        }
        lines += text;
    }
    return lines;
}

TEST_F(ExportTest, SpectrumOfARecordedSineReadsItsAmplitudeAtItsFrequency) {
    const fs::path session = record(sineLines(1000, 50, 2.5, 1.0, 1), {});
    const fs::path csv = dir / "spectrum.csv";
    Result r = cli({"spectrum", session, "-o", csv, "--rate", "1000"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::vector<std::vector<double>> rows = csvRows(readFile(csv), "frequency,channel1");
    ASSERT_EQ(rows.size(), 501u);
    EXPECT_EQ(rows[50], (std::vector<double>{50.0, rows[50][1]}));
    EXPECT_NEAR(rows[50][1], 2.5, 1e-5); // the samples are single-precision values
    EXPECT_NEAR(rows[0][1], 0.0, 1e-5);  // mean subtracted
    EXPECT_EQ(rows[500][0], 500.0);

    r = cli({"spectrum", session, "-o", csv, "--keep-mean", "--db", "--window", "blackman"});
    ASSERT_EQ(r.status, 0) << r.err;
    rows = csvRows(readFile(csv), "frequency,channel1");
    EXPECT_EQ(rows[50][0], 0.05); // 1/Sample without a rate
    EXPECT_NEAR(rows[50][1], 20 * std::log10(2.5), 1e-4);
    EXPECT_NEAR(rows[0][1], 0.0, 1e-4); // the offset of 1 is 0 dB
}

TEST_F(ExportTest, SpectrumOfARangeOfATwoChannelRecording) {
    const fs::path session =
        record(sineLines(2000, 100, 1.0, 0.0, 2), {"--channels", "2", "--block", "500"});
    const fs::path csv = dir / "spectrum.csv";
    // Samples 1001 to 1512: the first half of the sine's second 1000 samples and a bit.
    const Result r = cli({"spectrum", session, "-o", csv, "--from", "1001", "--to", "1512.5",
                          "--window", "rect", "--rate", "+512"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::vector<double>> rows =
        csvRows(readFile(csv), "frequency,channel1,channel2");
    ASSERT_EQ(rows.size(), 257u);
    // 100 cycles per 2000 samples is 25.6 per 512: channel 1 peaks at bin 26, channel 2 at 51.
    const auto peak = [&rows](std::size_t column) {
        std::size_t best = 1;
        for (std::size_t k = 1; k < rows.size(); ++k) {
            if (rows[k][column] > rows[best][column]) {
                best = k;
            }
        }
        return best;
    };
    EXPECT_EQ(peak(1), 26u);
    EXPECT_EQ(peak(2), 51u);
    EXPECT_EQ(rows[26][0], 26.0);
}

TEST_F(ExportTest, SpectrumRefusesTooFewSamplesAndBadArguments) {
    const fs::path session = record(sineLines(100, 5, 1.0, 0.0, 1), {});
    const fs::path csv = dir / "s.csv";
    Result r = cli({"spectrum", session, "-o", csv, "--from", "10", "--to", "14"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "plotmira-cli spectrum: Zu wenige Samples für eine Fourier Analyse: 5 "
                     "(mindestens 8)\n");
    EXPECT_FALSE(fs::exists(csv));
    r = cli({"spectrum", dir / "missing.pmx", "-o", csv});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("kann nicht geöffnet werden"), std::string::npos) << r.err;

    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"spectrum", session}, "missing output file (-o OUT.csv)"},
        {{"spectrum", "-o", csv}, "missing session file"},
        {{"spectrum", session, "-o", csv, "--bogus"}, "unknown option '--bogus'"},
        {{"spectrum", session, "-o", csv, csv}, "unexpected argument '" + csv.string() + "'"},
        {{"spectrum", session, "-o", csv, "--window", "kaiser"},
         "unknown window 'kaiser' (rect, hann, hamming or blackman)"},
        {{"spectrum", session, "-o", csv, "--rate", "0"}, "the rate must be above 0"},
        {{"spectrum", session, "-o", csv, "--rate", "1,5"}, "invalid value '1,5' for --rate"},
        {{"spectrum", session, "-o", csv, "--rate", "inf"}, "invalid value 'inf' for --rate"},
        {{"spectrum", session, "-o", csv, "--from", "9", "--to", "8"}, "--from lies above --to"},
        {{"spectrum", session, "-o", csv, "--to"}, "option --to needs a value"},
        {{"spectrum", session, "-o", session},
         "the output file is the session file '" + session.string() + "'"},
    };
    for (const auto& [args, text] : cases) {
        r = cli(args);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_EQ(r.err, "plotmira-cli spectrum: " + text + "\n");
    }
    EXPECT_FALSE(fs::exists(csv));
    const Result help = cli({"spectrum", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("frequency,channel1"), std::string::npos);
}

} // namespace
