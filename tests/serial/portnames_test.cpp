// SPDX-License-Identifier: GPL-3.0-or-later
// Device naming and the port list of the window.

#include "serial/portnames.h"
#include "tests/serial/ptyfixture.h"

#include <gtest/gtest.h>

#include <string>

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

    const auto texts = ListPortTexts();
    ASSERT_GE(texts.size(), 21u);
    for (int n = 0; n <= 20; ++n) {
        EXPECT_EQ(texts[n], std::to_string(n));
    }
    for (std::size_t i = 21; i < texts.size(); ++i) {
        EXPECT_TRUE(IsDevicePathText(texts[i])) << texts[i];
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
