// SPDX-License-Identifier: GPL-3.0-or-later
// The per-line texts reach their labels together, about twenty times a second, and the newest
// text always arrives: at once after a quiet spell, else with a repaint of the window at least
// kRideNs after the last change, by itself kQuietNs after it, or at Flush.
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

namespace {

// Waits `ns` on the steady clock, handling events meanwhile.
void waitNs(std::int64_t ns) {
    const std::int64_t end = FramePacer::Now() + ns;
    while (FramePacer::Now() < end) {
        QTest::qWait(1);
    }
}

// Whether texts set now still fall within the quiet spell that began at `changed`: a machine
// that stalled the test for longer lets them go out at once, rightly.
bool withinQuietSpell(std::int64_t changed) {
    return FramePacer::Now() - changed < LiveTexts::kQuietNs - 1'000'000;
}

} // namespace

TEST(LiveTexts, FirstTextsAfterAQuietSpellAreShownAtOnceLaterOnesTogetherWhenTheirTimeComes) {
    Texts t;
    t.texts.Set(t.valueIndex, " 1,5");
    const std::int64_t changed = FramePacer::Now();
    EXPECT_EQ(t.value.text(), QStringLiteral(" 1,5"));
    // The other labels of the same line follow at once.
    t.texts.Set(t.panelIndex, "7");
    EXPECT_EQ(t.panel.text(), QStringLiteral("7"));
    waitNs(LiveTexts::kBurstNs);
    // Later texts wait, and only the newest goes out.
    t.texts.Set(t.valueIndex, " 2,5");
    t.texts.Set(t.valueIndex, " 3,5");
    t.texts.Set(t.panelIndex, "8");
    if (withinQuietSpell(changed)) {
        EXPECT_EQ(t.value.text(), QStringLiteral(" 1,5"));
        EXPECT_EQ(t.panel.text(), QStringLiteral("7"));
    }
    // Without a repaint to ride along, they go out together a quiet spell after the last change.
    waitNs(LiveTexts::kQuietNs + 20'000'000);
    EXPECT_EQ(t.value.text(), QStringLiteral(" 3,5"));
    EXPECT_EQ(t.panel.text(), QStringLiteral("8"));
    // A quiet spell later a text goes out at once again.
    waitNs(LiveTexts::kQuietNs);
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
    waitNs(LiveTexts::kQuietNs + 20'000'000);
    EXPECT_TRUE(t.value.text().isEmpty());

    // A waiting text that returns to the shown one leaves the label as it is: "3" comes soon
    // after the value changed, so it waits, and "2" takes it back before its time comes.
    t.texts.SetNow(t.panelIndex, "2");
    t.texts.Set(t.valueIndex, "d");
    const std::int64_t changed = FramePacer::Now();
    waitNs(LiveTexts::kBurstNs);
    t.texts.Set(t.panelIndex, "3");
    if (withinQuietSpell(changed)) {
        EXPECT_EQ(t.panel.text(), QStringLiteral("2"));
    }
    t.texts.Set(t.panelIndex, "2");
    waitNs(LiveTexts::kQuietNs + 20'000'000);
    EXPECT_EQ(t.panel.text(), QStringLiteral("2"));
    t.texts.Flush();
    EXPECT_EQ(t.panel.text(), QStringLiteral("2"));
    // SetNow sets the label even when its remembered text is the same (someone else wrote it).
    t.panel.setText(QStringLiteral("x"));
    t.texts.SetNow(t.panelIndex, "2");
    EXPECT_EQ(t.panel.text(), QStringLiteral("2"));
}

TEST(LiveTexts, WaitingTextsRideAlongARepaintOfTheirWindowOnceTheirTimeHasCome) {
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
    const std::int64_t changed = FramePacer::Now();
    waitNs(LiveTexts::kBurstNs);
    texts.Set(index, "2");
    if (withinQuietSpell(changed)) {
        EXPECT_EQ(value->text(), QStringLiteral("1"));
    }
    // A repaint soon after the last change does not take it along: the texts change about
    // twenty times a second, not with every frame.
    other->setText(QStringLiteral("x"));
    QCoreApplication::processEvents();
    if (FramePacer::Now() - changed < LiveTexts::kRideNs) {
        EXPECT_EQ(value->text(), QStringLiteral("1"));
    }
    // Once kRideNs have passed, whatever repaints the window brings the waiting text along,
    // before its own time (kQuietNs) is up.
    waitNs(changed + LiveTexts::kRideNs - FramePacer::Now());
    other->setText(QStringLiteral("y"));
    QCoreApplication::processEvents();
    if (FramePacer::Now() - changed < LiveTexts::kQuietNs) {
        EXPECT_EQ(value->text(), QStringLiteral("2"));
    }
    waitNs(LiveTexts::kQuietNs);
    EXPECT_EQ(value->text(), QStringLiteral("2"));
}

TEST(LiveTexts, WaitingNumbersAreMadeFromTheNewestAndATextReplacesThem) {
    Texts t;
    t.texts.SetNumber(t.valueIndex, NumberText::OneValue(1.5f, ','));
    const std::int64_t changed = FramePacer::Now();
    EXPECT_EQ(t.value.text(), QStringLiteral(" 1,5"));
    waitNs(LiveTexts::kBurstNs);
    t.texts.SetNumber(t.valueIndex, NumberText::OneValue(2.5f, ','));
    t.texts.SetNumber(t.valueIndex, NumberText::Values(3.5f, -4.0f, ','));
    t.texts.SetNumber(t.panelIndex, NumberText::Time(0.125f, ','));
    if (withinQuietSpell(changed)) {
        EXPECT_EQ(t.value.text(), QStringLiteral(" 1,5"));
    }
    t.texts.Flush();
    EXPECT_EQ(t.value.text(), QStringLiteral(" 3,5        -4"));
    EXPECT_EQ(t.panel.text(), QStringLiteral("00,13 ms Skal.+Grafik"));

    // A text set after a waiting number wins, also when the frame ends.
    t.texts.SetNumber(t.valueIndex, NumberText::OneValue(5.0f, ','));
    t.texts.SetNumber(t.valueIndex, NumberText::OneValue(6.0f, ','));
    t.texts.Set(t.valueIndex, "");
    waitNs(LiveTexts::kQuietNs + 20'000'000);
    EXPECT_TRUE(t.value.text().isEmpty());
}
