// SPDX-License-Identifier: GPL-3.0-or-later
// The info window: its texts, its title bar without buttons and its only way out, the "Close"
// button.

#include "app/window/forminfo.h"
#include "app/window/windowdecorations.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

TEST(FormInfo, ShowsNameVersionAndClosesByItsButton) {
    QWidget mainWindow;
    TFormInfo form(&mainWindow);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("  Info"));
    EXPECT_EQ(form.Label1->text(), QStringLiteral("Plotmira"));
    EXPECT_TRUE(form.Label1->font().bold());
    EXPECT_TRUE(form.Label3->text().startsWith(QStringLiteral("Version 0.6.5\n\n")));
    EXPECT_EQ(form.Button1->text(), QStringLiteral("Close"));
    EXPECT_EQ(form.size(), QSize(252, 323));
    EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "fixed border";

    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowSystemMenuHint);

    // Window managers draw the buttons and the window menu the Motif hints allow: the window
    // may only be moved, and shows a frame and its caption.
    const auto hints = MotifHintsWithoutButtons();
    constexpr std::uint32_t functions = 1U << 0;
    constexpr std::uint32_t decorations = 1U << 1;
    EXPECT_EQ(hints[0], functions | decorations);
    EXPECT_EQ(hints[1], 1U << 2) << "move only: no close, minimise, maximise or resize";
    EXPECT_EQ(hints[2], (1U << 1) | (1U << 3)) << "frame and caption: no menu and no buttons";

    form.show();
    EXPECT_TRUE(form.isVisible());
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    form.show();
    EXPECT_TRUE(form.isVisible()) << "hidden, not destroyed";
}

} // namespace
