// SPDX-License-Identifier: GPL-3.0-or-later
// Device naming and the port list of the window.

#include "serial/portnames.h"
#include "tests/serial/ptyfixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

TEST(PortNames, ComNumbersMapToLinksOrConventionalDevices) {
    {
        PortFolder ports;
        ports.link(5, "/dev/null");
        EXPECT_EQ(ComDevicePath(5), (ports.path() / "COM5").string());
        EXPECT_EQ(ComDevicePath(6), "/dev/ttyS5"); // no link for COM6
        EXPECT_EQ(ComDevicePath(0), "");
    }
    ::unsetenv("PLOTMIRA_PORTS");
    EXPECT_EQ(ComDevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(ComDevicePath(20), "/dev/ttyS19");

    EXPECT_TRUE(IsDevicePathText("/dev/ttyACM0"));
    EXPECT_FALSE(IsDevicePathText("5"));
    EXPECT_FALSE(IsDevicePathText(""));

    // The devices present first (a board just plugged in is the first entry), each group in
    // natural order, then the numbers.
    {
        const std::filesystem::path root = std::filesystem::path(::testing::TempDir()) /
                                           ("portlist-" + std::to_string(::getpid()));
        std::filesystem::create_directories(root / "dev/serial/by-id");
        for (const char* device : {"dev/ttyUSB0", "dev/ttyACM10", "dev/ttyACM2", "dev/ttyS0",
                                   "dev/serial/by-id/usb-Board_1234-if00"}) {
            std::ofstream(root / device).put('\n');
        }
        const std::string r = root.string();
        std::vector<std::string> expected = {r + "/dev/serial/by-id/usb-Board_1234-if00",
                                             r + "/dev/ttyACM2", r + "/dev/ttyACM10",
                                             r + "/dev/ttyUSB0"};
        for (int n = 0; n <= 20; ++n) {
            expected.push_back(std::to_string(n));
        }
        EXPECT_EQ(ListPortTexts(r), expected);
        std::filesystem::remove_all(root);
    }
    const auto texts = ListPortTexts();
    ASSERT_GE(texts.size(), 21u);
    const std::size_t devices = texts.size() - 21;
    for (std::size_t i = 0; i < devices; ++i) {
        EXPECT_TRUE(IsDevicePathText(texts[i])) << texts[i];
    }
    for (int n = 0; n <= 20; ++n) {
        EXPECT_EQ(texts[devices + n], std::to_string(n));
    }
}

// A port name reaches terminals and message boxes: control characters in it are shown escaped,
// so that a typed or linked escape sequence cannot drive the terminal or hide text.
TEST(PortNames, ControlCharactersAreShownEscaped) {
    const struct {
        std::string name;
        std::string shown;
    } cases[] = {
        {"/dev/ttyACM0", "/dev/ttyACM0"},
        {"/dev/tty\x1b[2J", "/dev/tty\\x1B[2J"},
        {"a\tb\nc\rd\x7f", "a\\x09b\\x0Ac\\x0Dd\\x7F"},
        {std::string("nul\0end", 7), "nul\\x00end"},
        {"back\\slash", "back\\\\slash"},
        {"c1\xc2\x9b"
         "31m",
         "c1\\xC2\\x9B31m"},
        {"by-id/usb-\xc3\xa4\xc2\xa0", "by-id/usb-\xc3\xa4\xc2\xa0"}, // printable UTF-8 stays
        {"end\xc2", "end\xc2"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EscapedPortName(c.name), c.shown) << c.shown;
    }
}
