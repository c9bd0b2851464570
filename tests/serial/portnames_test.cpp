// SPDX-License-Identifier: GPL-3.0-or-later
// Device naming, the port list of the window and the German system texts of the open error.

#include "serial/portnames.h"
#include "serial/syserror.h"
#include "tests/serial/ptyfixture.h"

#include <gtest/gtest.h>

#include <cerrno>

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

TEST(SystemErrors, MapToTheTextsTheUserKnows) {
    const struct {
        int err;
        const char* text;
    } cases[] = {
        {ENOENT, "Das System kann die angegebene Datei nicht finden."},
        {ENODEV, "Das System kann die angegebene Datei nicht finden."},
        {EACCES, "Zugriff verweigert"},
        {EBUSY, "Zugriff verweigert"},
        {EWOULDBLOCK, "Zugriff verweigert"},
        {ENOTTY, "Unzulässige Funktion."},
        {EIO, "Ein an das System angeschlossenes Gerät funktioniert nicht."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(getSystemError(c.err), c.text) << c.err;
    }
    EXPECT_EQ(getSystemError(EXDEV).rfind("Systemfehler " + std::to_string(EXDEV), 0), 0u);
}
