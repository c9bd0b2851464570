// SPDX-License-Identifier: GPL-3.0-or-later
// The per-line texts reach their labels at most once per display frame, and the newest text
// always arrives: at once after a quiet frame, else at the end of the frame, or at Flush.
#include "app/window/livetexts.h"

#include <QLabel>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

struct Texts {
    QLabel value;
    QLabel panel;
    LiveTexts texts;
    int valueIndex = texts.Add(&value);
    int panelIndex = texts.Add(&panel);
};

} // namespace

TEST(LiveTexts, FirstTextAfterAQuietFrameIsShownAtOnceLaterOnesAtTheEndOfTheFrame) {
    Texts t;
    t.texts.Set(t.valueIndex, " 1,5");
    EXPECT_EQ(t.value.text(), QStringLiteral(" 1,5"));
    // Within the frame: only the newest text, and only once the frame is over.
    t.texts.Set(t.valueIndex, " 2,5");
    t.texts.Set(t.valueIndex, " 3,5");
    EXPECT_EQ(t.value.text(), QStringLiteral(" 1,5"));
    // Each label has its own frame: the panel's first text goes out at once.
    t.texts.Set(t.panelIndex, "7");
    EXPECT_EQ(t.panel.text(), QStringLiteral("7"));
    QTest::qWait(3 * LiveTexts::kFrameNs / 1000000);
    EXPECT_EQ(t.value.text(), QStringLiteral(" 3,5"));
    EXPECT_EQ(t.panel.text(), QStringLiteral("7"));
    // A quiet frame later a text goes out at once again.
    t.texts.Set(t.valueIndex, " 4,5");
    EXPECT_EQ(t.value.text(), QStringLiteral(" 4,5"));
}

TEST(LiveTexts, FlushShowsWaitingTextsAndSetNowReplacesThem) {
    Texts t;
    t.texts.Set(t.valueIndex, "a");
    t.texts.Set(t.valueIndex, "b");
    t.texts.Set(t.panelIndex, "1");
    t.texts.Set(t.panelIndex, "2");
    t.texts.Flush();
    EXPECT_EQ(t.value.text(), QStringLiteral("b"));
    EXPECT_EQ(t.panel.text(), QStringLiteral("2"));

    // SetNow wins over a waiting text, also after the frame ends.
    t.texts.Set(t.valueIndex, "c");
    t.texts.SetNow(t.valueIndex, "");
    EXPECT_TRUE(t.value.text().isEmpty());
    QTest::qWait(3 * LiveTexts::kFrameNs / 1000000);
    EXPECT_TRUE(t.value.text().isEmpty());

    // A waiting text that returns to the shown one leaves the label as it is: "3" comes within
    // the frame that SetNow began, so it waits, and "2" takes it back before the frame ends.
    t.texts.SetNow(t.panelIndex, "2");
    t.texts.Set(t.panelIndex, "3");
    EXPECT_EQ(t.panel.text(), QStringLiteral("2"));
    t.texts.Set(t.panelIndex, "2");
    QTest::qWait(3 * LiveTexts::kFrameNs / 1000000);
    EXPECT_EQ(t.panel.text(), QStringLiteral("2"));
    t.texts.Flush();
    EXPECT_EQ(t.panel.text(), QStringLiteral("2"));
    // SetNow sets the label even when its remembered text is the same (someone else wrote it).
    t.panel.setText(QStringLiteral("x"));
    t.texts.SetNow(t.panelIndex, "2");
    EXPECT_EQ(t.panel.text(), QStringLiteral("2"));
}

TEST(LiveTexts, WaitingTextsGoOutWithAnyRepaintOfTheirWindow) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* value = new QLabel(&window);
    auto* other = new QLabel(&window);
    layout->addWidget(value);
    layout->addWidget(other);
    LiveTexts texts;
    const int index = texts.Add(value);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    texts.Set(index, "1");
    texts.Set(index, "2");
    EXPECT_EQ(value->text(), QStringLiteral("1"));
    // Once the frame is over, whatever repaints the window brings the waiting text along.
    const std::int64_t frame = FramePacer::Now() / FramePacer::kFrameNs;
    while (FramePacer::Now() / FramePacer::kFrameNs == frame) {
        QTest::qWait(1);
    }
    other->setText(QStringLiteral("x"));
    QCoreApplication::processEvents();
    EXPECT_EQ(value->text(), QStringLiteral("2"));
}

TEST(LiveTexts, NumbersWaitingForTheFrameAreMadeFromTheNewestAndATextReplacesThem) {
    Texts t;
    t.texts.SetNumber(t.valueIndex, NumberText::OneValue(1.5f, ','));
    EXPECT_EQ(t.value.text(), QStringLiteral(" 1,5"));
    t.texts.SetNumber(t.valueIndex, NumberText::OneValue(2.5f, ','));
    t.texts.SetNumber(t.valueIndex, NumberText::Values(3.5f, -4.0f, ','));
    t.texts.SetNumber(t.panelIndex, NumberText::Time(0.125f, ','));
    EXPECT_EQ(t.value.text(), QStringLiteral(" 1,5"));
    t.texts.Flush();
    EXPECT_EQ(t.value.text(), QStringLiteral(" 3,5        -4"));
    EXPECT_EQ(t.panel.text(), QStringLiteral("00,13 ms Skal.+Grafik"));

    // A text set after a waiting number wins, also when the frame ends.
    t.texts.SetNumber(t.valueIndex, NumberText::OneValue(5.0f, ','));
    t.texts.SetNumber(t.valueIndex, NumberText::OneValue(6.0f, ','));
    t.texts.Set(t.valueIndex, "");
    QTest::qWait(3 * LiveTexts::kFrameNs / 1000000);
    EXPECT_TRUE(t.value.text().isEmpty());
}
