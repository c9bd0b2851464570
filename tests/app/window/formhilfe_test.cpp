// SPDX-License-Identifier: GPL-3.0-or-later
// The help window: the text's sections in order and the window's show/hide behaviour.

#include "app/window/formhilfe.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {

TEST(FormHilfe, TextHasFiveUnderlinedSectionsInOrder) {
    const QStringList expected = {
        QStringLiteral("Übersicht"), QStringLiteral("Datenformat / Formatierungsvorgaben"),
        QStringLiteral("X-Achse"), QStringLiteral("Limitierungen "), QStringLiteral("Bedienung")};
    EXPECT_EQ(TFormHilfe::SectionHeadings(), expected);

    TFormHilfe form;
    const QString text = form.RichEdit1->toPlainText();
    const QStringList lines = text.split('\n');
    // A heading is a line followed by a line of hyphens of the same length.
    QStringList headings;
    QList<int> headingLines;
    for (int i = 0; i + 1 < lines.size(); ++i) {
        const QString& next = lines[i + 1];
        if (!lines[i].isEmpty() && next.size() == lines[i].size() &&
            next == QString(next.size(), '-')) {
            headings << lines[i];
            headingLines << i;
        }
    }
    EXPECT_EQ(headings, expected);
    ASSERT_EQ(headingLines.size(), 5);
    EXPECT_EQ(headingLines[0], 0) << "the text starts with the first heading";
    for (int k = 1; k < headingLines.size(); ++k) {
        const int h = headingLines[k];
        // Exactly two empty lines before each later heading, text before them.
        EXPECT_TRUE(lines[h - 1].isEmpty() && lines[h - 2].isEmpty()) << headings[k].toStdString();
        EXPECT_FALSE(lines[h - 3].isEmpty()) << headings[k].toStdString();
    }
    // Statements the sections must carry.
    for (const char* needle :
         {"ASC 13 und ASC 10", "Semikolon", "Zeit [s]", "keine Werte verloren",
          "Die Bedeutung von Xmax", "Grafik Pan und Zoom", "Nach der Datenerfassung", "100.000"}) {
        EXPECT_TRUE(text.contains(QString::fromUtf8(needle))) << needle;
    }
}

TEST(FormHilfe, ReadOnlyViewKeepsPositionAcrossHideAndShow) {
    QWidget mainWindow;
    mainWindow.setGeometry(100, 100, 1000, 800);
    TFormHilfe form(&mainWindow);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("     Hilfe"));
    EXPECT_EQ(form.size(), QSize(778, 603));
    EXPECT_EQ(form.minimumSize(), QSize(400, 400));
    EXPECT_EQ(form.maximumSize(), QSize(1600, 1000));
    EXPECT_TRUE(form.RichEdit1->isReadOnly());
    EXPECT_EQ(form.RichEdit1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

    form.show();
    form.resize(500, 450);
    // Anchors: the button stays at the top right, the view fills the rest.
    EXPECT_EQ(form.Button1->geometry().right(), form.width() - 1 - 8);
    EXPECT_LT(form.RichEdit1->height(), form.height());
    EXPECT_GT(form.RichEdit1->height(), form.height() - 60);

    QCoreApplication::processEvents();
    form.RichEdit1->verticalScrollBar()->setValue(5);
    QCoreApplication::processEvents();
    const int scrolled = form.RichEdit1->verticalScrollBar()->value();
    ASSERT_GT(scrolled, 0);
    const QPoint position = form.pos();
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    form.close();
    EXPECT_FALSE(form.isVisible());
    form.show();
    EXPECT_EQ(form.pos(), position);
    EXPECT_EQ(form.size(), QSize(500, 450));
    QCoreApplication::processEvents();
    EXPECT_EQ(form.RichEdit1->verticalScrollBar()->value(), scrolled);
}

} // namespace
