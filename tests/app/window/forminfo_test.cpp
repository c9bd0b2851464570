// The info window: its texts and its only way out, the "Close" button.

#include "app/window/forminfo.h"

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

    form.show();
    EXPECT_TRUE(form.isVisible());
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    form.show();
    EXPECT_TRUE(form.isVisible()) << "hidden, not destroyed";
}

} // namespace
