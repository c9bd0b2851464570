// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/exception.h"

#include <gtest/gtest.h>

// The floating-point faults carry the program's fixed German texts, and every exception is
// caught by the one catch point through the common base.
TEST(ExceptionTexts, FloatingPointFaultsCarryTheirGermanTexts) {
    EXPECT_STREQ(EOverflow().what(), "Gleitkommaüberlauf");
    EXPECT_STREQ(EZeroDivide().what(), "Gleitkommadivision durch Null");
    EXPECT_STREQ(EInvalidOp().what(), "Ungültige Gleitkommaoperation");
}

TEST(ExceptionTexts, StreamErrorsAreCaughtAsException) {
    try {
        throw EWriteError("Stream-Schreibfehler");
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Stream-Schreibfehler");
        return;
    }
    FAIL() << "EWriteError was not caught as Exception";
}
