// SPDX-License-Identifier: GPL-3.0-or-later
// Device naming and the port list of the window.

#include "serial/portnames.h"
#include "tests/serial/ptyfixture.h"

#include <gtest/gtest.h>

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
