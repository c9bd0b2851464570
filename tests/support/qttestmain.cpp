// SPDX-License-Identifier: GPL-3.0-or-later
// Test entry point for tests that need a QApplication.
// gtest_discover_tests runs the binary at build time without the test environment, so the
// platform must default to offscreen here or the build aborts without a display.
#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
