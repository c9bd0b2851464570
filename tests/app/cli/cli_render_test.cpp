// SPDX-License-Identifier: GPL-3.0-or-later
// plotmira-cli render as a process: exit codes, messages and the written bitmap.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Result {
    int status = -1;
    std::string output; // stdout and stderr
};

// `environment`: further VAR=value settings for the process.
Result runCli(const std::string& arguments, const std::string& environment = "") {
    Result result;
    const std::string command = std::string("QT_QPA_PLATFORM=offscreen ") + environment + " " +
                                PLOTMIRA_CLI_PATH + " render " + arguments + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    std::array<char, 512> buffer{};
    while (std::fgets(buffer.data(), buffer.size(), pipe) != nullptr) {
        result.output += buffer.data();
    }
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// Pixels of the 24-bit bitmap at path in the session's item colour (blue).
int bluePixels(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (b.size() < 54) {
        return -1;
    }
    const auto byte = [&b](std::size_t i) { return static_cast<unsigned char>(b[i]); };
    const std::size_t width = byte(18) | byte(19) << 8;
    const std::size_t height = byte(22) | byte(23) << 8;
    const std::size_t row = (width * 3 + 3) & ~std::size_t{3};
    int blue = 0;
    for (std::size_t y = 0; y < height; ++y) {
        for (std::size_t x = 0; x < width; ++x) {
            const std::size_t at = 54 + y * row + x * 3;
            blue += at + 2 < b.size() && byte(at) == 0xFF && byte(at + 1) == 0 && byte(at + 2) == 0;
        }
    }
    return blue;
}

class CliRender : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::string(PLOTMIRA_CLI_PATH).empty()) {
            GTEST_SKIP() << "plotmira-cli is not built";
        }
        char pattern[] = "/tmp/plotmira-render-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
        // One move-to and a draw-to, layer 1, blue.
        std::ofstream session(m_dir + "/run.pmx", std::ios::binary);
        for (int kind : {8, 3}) {
            unsigned char record[104] = {};
            const double x = kind == 8 ? 0.0 : 1000.0;
            const double y = kind == 8 ? 0.0 : 10.0;
            std::memcpy(record, &x, 8);
            std::memcpy(record + 8, &y, 8);
            record[32] = 0;
            record[34] = 0xFF;
            record[56] = 1;
            record[61] = static_cast<unsigned char>(kind);
            record[64] = 1;
            session.write(reinterpret_cast<const char*>(record), sizeof record);
        }
    }
    void TearDown() override {
        if (!m_dir.empty()) {
            std::filesystem::remove_all(m_dir);
        }
    }
    std::string m_dir;
};

} // namespace

TEST_F(CliRender, WritesBitmapOfDesignSizeUnderTheExportName) {
    const Result r = runCli(m_dir + "/run.pmx -o " + m_dir + "/picture.v1.png");
    ASSERT_EQ(r.status, 0) << r.output;
    std::ifstream in(m_dir + "/picture.bmp", std::ios::binary);
    ASSERT_TRUE(in.good());
    unsigned char header[54] = {};
    in.read(reinterpret_cast<char*>(header), sizeof header);
    EXPECT_EQ(header[0], 'B');
    EXPECT_EQ(header[1], 'M');
    EXPECT_EQ(header[18] | header[19] << 8, 585);
    EXPECT_EQ(header[22] | header[23] << 8, 361);
    EXPECT_EQ(header[28], 24);
    EXPECT_EQ(bluePixels(m_dir + "/picture.bmp"), 0); // black on white
}

TEST_F(CliRender, OptionsChangeThePicture) {
    ASSERT_EQ(runCli(m_dir + "/run.pmx -o " + m_dir +
                     "/a.bmp --size 700x400 --channels 2 "
                     "--grid off --color --caption Test --range 1:0,0,500,5 "
                     "--range 2:0,-5,1000,20")
                  .status,
              0);
    EXPECT_EQ(std::filesystem::file_size(m_dir + "/a.bmp"), 54u + 2100u * 400u);
    EXPECT_GT(bluePixels(m_dir + "/a.bmp"), 100); // the item keeps its colour
}

// A German user's locale writes "0,5"; the range still reads "0.5" (the "," separates values).
TEST_F(CliRender, RangeReadsADecimalPointUnderAnyLocale) {
    for (const char* environment : {"LC_ALL=C", "LC_ALL=de_DE.UTF-8"}) {
        const Result r = runCli(m_dir + "/run.pmx -o " + m_dir +
                                    "/a.bmp --range 1:0.5,-2.5,+999.5,1e1 --range 2:0,0,1,1.5",
                                environment);
        EXPECT_EQ(r.status, 0) << environment << ": " << r.output;
    }
    for (const char* bad :
         {"1:0,0,1,1.5x", "1:0,0,1,+-1", "1:0,0,1,inf", "1:0,0,1,", "1:0,0,1,1e999"}) {
        EXPECT_EQ(runCli(m_dir + "/run.pmx -o " + m_dir + "/a.bmp --range " + bad).status, 2)
            << bad;
    }
}

TEST_F(CliRender, BadArgumentsExitTwoAndFailuresExitOne) {
    const std::string session = m_dir + "/run.pmx";
    const std::string cases[] = {
        "",
        session,
        session + " -o x.bmp --size 0x5",
        session + " -o x.bmp --range 17:0,0,1,1",
        session + " -o x.bmp --range 1:0,0,1",
        session + " -o x.bmp --grid maybe",
        session + " -o x.bmp --channels 3",
        session + " -o x.bmp --bogus",
    };
    for (const std::string& args : cases) {
        const Result r = runCli(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.output.find("plotmira-cli render: "), std::string::npos) << args;
    }
    const Result missing = runCli(m_dir + "/none.pmx -o " + m_dir + "/x.bmp");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("kann nicht geöffnet werden"), std::string::npos)
        << missing.output;
    const Result unwritable = runCli(session + " -o " + m_dir + "/no/dir/x.bmp");
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.output.find("kann nicht erstellt werden"), std::string::npos)
        << unwritable.output;
    EXPECT_EQ(runCli("--help").status, 0);
}
