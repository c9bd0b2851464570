// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as it opens: names, texts, defaults, limits and the idle state.

#include "form1_testsupport.h"

#include "app/window/portcombobox.h"
#include "chart/control/plotchart.h"
#include "widgets/circularprogress.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include <map>

namespace {

using Layout = Form1Test;

TEST_F(Layout, WindowCaptionSizesAndFont) {
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("      P l o t m i r a"));
    EXPECT_EQ(Form->maximumSize(), QSize(2056, 2000));
    EXPECT_EQ(Form->font().family(), QStringLiteral("Tahoma"));
    EXPECT_EQ(Form->Label10->font().pixelSize(), 15);
}

// The client area (below the menu bar) opens at 786 x 526, which puts the chart, and so every
// exported bitmap, at 585 x 361. The 800 x 600 minimum is the outer window's, frame included,
// which the designed client area fills: the window cannot be made smaller than it opened.
TEST_F(Layout, OpensAtTheDesignedClientAreaWithTheChartAtItsDesignedSize) {
    const int menu = Form->menuBar()->height();
    EXPECT_EQ(QSize(Form->width(), Form->height() - menu), QSize(786, 526));
    EXPECT_EQ(Form->PlotChart1->size(), QSize(585, 361));

    QTemporaryDir dir;
    const QString bitmap = dir.filePath(QStringLiteral("bild.bmp"));
    Form->PlotChart1->ExportBitmap(QFile::encodeName(bitmap).toStdString(), true);
    QFile file(bitmap);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray header = file.read(26);
    ASSERT_EQ(header.size(), 26);
    const auto le32 = [&](int at) {
        return static_cast<int>(
            static_cast<quint8>(header[at]) | static_cast<quint8>(header[at + 1]) << 8 |
            static_cast<quint8>(header[at + 2]) << 16 | static_cast<quint8>(header[at + 3]) << 24);
    };
    EXPECT_EQ(le32(18), 585);
    EXPECT_EQ(le32(22), 361);

    Form->resize(500, 400);
    QCoreApplication::processEvents();
    EXPECT_EQ(QSize(Form->width(), Form->height() - menu), QSize(786, 526));
    EXPECT_EQ(Form->minimumSize(), QSize(786, 526 + menu));
}

// With two channels all three tabs stand side by side in the 191-pixel page control, whichever
// is chosen: none is clipped or scrolled out of view.
TEST_F(Layout, AllThreeTabsShowSideBySide) {
    QTest::mouseClick(Form->CH2RadioButton, Qt::LeftButton);
    QTabBar* bar = Form->PageControl1->tabBar();
    ASSERT_EQ(bar->count(), 3);
    ASSERT_TRUE(bar->isTabVisible(2));
    EXPECT_LE(bar->geometry().right(), Form->PageControl1->width() - 1);
    for (int chosen : {2, 0, 1, 2}) {
        Form->PageControl1->setCurrentIndex(chosen);
        QCoreApplication::processEvents();
        for (int i = 0; i < bar->count(); ++i) {
            const QRect tab = bar->tabRect(i);
            EXPECT_GE(tab.left(), 0) << "tab " << i << " with tab " << chosen << " chosen";
            EXPECT_LE(tab.right(), bar->width() - 1)
                << "tab " << i << " with tab " << chosen << " chosen";
            const QString caption = bar->tabText(i).trimmed();
            EXPECT_GE(tab.width(), bar->fontMetrics().horizontalAdvance(caption)) << i;
        }
        for (const QToolButton* scroll : bar->findChildren<QToolButton*>()) {
            EXPECT_FALSE(scroll->isVisible()) << "scroll arrows";
        }
    }
}

TEST_F(Layout, EveryControlCarriesItsDesignerName) {
    const char* names[] = {"StartButton",
                           "StopButton",
                           "ClearGraphButton",
                           "ResetAxisButton",
                           "CircularProgress",
                           "Label11",
                           "PageControl1",
                           "SheetCOM",
                           "SheetKanal1",
                           "SheetKanal2",
                           "GroupBox1",
                           "ComComboBox",
                           "BaudComboBox",
                           "Label1",
                           "Label2",
                           "Label20",
                           "GroupBox4",
                           "Ch1RadioButton",
                           "CH2RadioButton",
                           "GroupBox5",
                           "RadioButton1",
                           "RadioButton2",
                           "GroupBox6",
                           "DynGraphCheckBox",
                           "InfoButton",
                           "ProjektNameEdit",
                           "DatSkalEdit",
                           "DatOffsetEdit",
                           "GraphYmaxEdit",
                           "GraphYminEdit",
                           "GraphXmaxEdit",
                           "Ch1NameEdit",
                           "DatSkal2Edit",
                           "DatOffset2Edit",
                           "GraphY2maxEdit",
                           "GraphY2minEdit",
                           "Ch2NameEdit",
                           "Label13",
                           "Label10",
                           "NormalRadioButton",
                           "ZoomRadioButton",
                           "ShowGridCheckBox",
                           "DoubleTicsCheckBox",
                           "TrendCheckBox",
                           "PlotChart1",
                           "StatusBar",
                           "MainMenu1"};
    for (const char* name : names) {
        EXPECT_NE(Form->findChild<QObject*>(QLatin1String(name)), nullptr) << name;
    }
    for (const char* name : {"Grafikdrucken1", "ErfassungSpeichern", "Erfassungladen",
                             "DatenExportimCSVFormat1", "Einstellungen1", "FourierAnalyse1",
                             "RealtimeFourierAnalyse1", "DigitalesFilter1", "Hilfe1", "Info1"}) {
        EXPECT_NE(Form->findChild<QAction*>(QLatin1String(name)), nullptr) << name;
    }
}

TEST_F(Layout, ButtonsCheckBoxesAndLabelsShowTheirTexts) {
    const std::vector<std::pair<QAbstractButton*, const char*>> buttons = {
        {Form->StartButton, "Start"},           {Form->StopButton, "Stop"},
        {Form->ClearGraphButton, " Clear"},     {Form->ResetAxisButton, "Reset"},
        {Form->Ch1RadioButton, "1 Ch"},         {Form->CH2RadioButton, "2 Ch's"},
        {Form->RadioButton1, "Tics"},           {Form->RadioButton2, "Zeit"},
        {Form->DynGraphCheckBox, "Ein"},        {Form->InfoButton, "Info"},
        {Form->NormalRadioButton, "Normal"},    {Form->ZoomRadioButton, "Zoom"},
        {Form->ShowGridCheckBox, " Show Grid"}, {Form->DoubleTicsCheckBox, "DoubleTics"},
        {Form->TrendCheckBox, "Trend"}};
    for (const auto& [button, text] : buttons) {
        EXPECT_EQ(button->text(), QString::fromUtf8(text)) << text;
    }
    EXPECT_EQ(Form->StartButton->size(), QSize(86, 34));
    EXPECT_EQ(Form->CircularProgress->size(), QSize(30, 30));
    EXPECT_EQ(Form->GroupBox1->title(), QStringLiteral("  Serielle Schnittstelle  "));
    EXPECT_EQ(Form->GroupBox4->title(), QString::fromUtf8("  Anzahl Kanäle  "));
    EXPECT_EQ(Form->GroupBox5->title(), QStringLiteral("  X-Achse"));
    EXPECT_EQ(Form->GroupBox6->title(), QStringLiteral(" Dynam.Graph. "));
    EXPECT_EQ(Form->Label13->text(), QStringLiteral("Rohdaten:\nCH1 + CH2"));
    EXPECT_TRUE(Form->Label20->text().startsWith(QStringLiteral("Data 8 / Stop 1 / noFlowc")));
    EXPECT_EQ(Form->Label10->size(), QSize(449, 22));
    EXPECT_EQ(Form->PageControl1->tabText(0), QStringLiteral("  COM   "));
    EXPECT_EQ(Form->PageControl1->tabText(1), QStringLiteral("  CH 1   "));
    EXPECT_EQ(Form->PageControl1->tabText(2), QStringLiteral("  CH 2   "));
}

TEST_F(Layout, FieldsHaveTheirDefaultsAndLimits) {
    struct Field {
        QLineEdit* edit;
        const char* text;
        int maxLength;
    };
    const Field fields[] = {{Form->DatSkalEdit, "1,000000000", 12},
                            {Form->DatSkal2Edit, "1,000000000", 12},
                            {Form->DatOffsetEdit, "0,000000000", 12},
                            {Form->DatOffset2Edit, "0,000000000", 12},
                            {Form->GraphYmaxEdit, "10,000000000", 12},
                            {Form->GraphY2maxEdit, "10,000000000", 12},
                            {Form->GraphYminEdit, "0,000000000", 12},
                            {Form->GraphY2minEdit, "0,000000000", 12},
                            {Form->Ch1NameEdit, "", 10},
                            {Form->Ch2NameEdit, "", 10},
                            {Form->ProjektNameEdit, "", 30}};
    for (const Field& f : fields) {
        EXPECT_EQ(f.edit->text(), QString::fromUtf8(f.text)) << f.edit->objectName().toStdString();
        EXPECT_EQ(f.edit->maxLength(), f.maxLength) << f.edit->objectName().toStdString();
    }
    EXPECT_EQ(Form->GraphXmaxEdit->text(), QStringLiteral("1000"));
    EXPECT_EQ(Form->ComComboBox->currentText(), QStringLiteral("5"));
    EXPECT_EQ(Form->BaudComboBox->currentText(), QStringLiteral("115200"));
    EXPECT_TRUE(Form->ComComboBox->isEditable());
    EXPECT_TRUE(Form->BaudComboBox->isEditable());
}

// The shown value is the list's current item, so the opened list highlights it; a value typed
// and confirmed with Return is used but never added to the offered list.
TEST_F(Layout, PortAndBaudListsStayAsOfferedAndShowTheirCurrentItem) {
    EXPECT_EQ(Form->ComComboBox->currentIndex(), Form->ComComboBox->findText(QStringLiteral("5")));
    EXPECT_GE(Form->ComComboBox->currentIndex(), 5);
    EXPECT_EQ(Form->BaudComboBox->currentIndex(), 12);
    for (QComboBox* combo : {static_cast<QComboBox*>(Form->ComComboBox), Form->BaudComboBox}) {
        const int count = combo->count();
        const QString name = combo->objectName();
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), QStringLiteral("12345"));
        QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
        EXPECT_EQ(combo->count(), count) << name.toStdString();
        EXPECT_EQ(combo->currentText(), QStringLiteral("12345")) << name.toStdString();
        EXPECT_EQ(combo->findText(QStringLiteral("12345")), -1) << name.toStdString();

        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), QStringLiteral("300"));
        QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
        EXPECT_EQ(combo->count(), count) << name.toStdString();
        EXPECT_EQ(combo->currentText(), QStringLiteral("300")) << name.toStdString();
    }
    EXPECT_EQ(Form->BaudComboBox->currentIndex(), 1);
}

// What typing into a field keeps: the fields filter characters like the original's number edits.
TEST_F(Layout, FieldsAcceptOnlyTheirCharacters) {
    struct Case {
        QLineEdit* edit;
        const char* typed;
        const char* kept;
    };
    const Case cases[] = {{Form->DatSkalEdit, "2,5x-", "2,5"},
                          {Form->DatSkalEdit, "1.25", "1.25"},
                          {Form->DatOffsetEdit, "-0,5a", "-0,5"},
                          {Form->GraphYmaxEdit, "12-3", "123"},
                          {Form->GraphYminEdit, "-4.5", "-4.5"},
                          {Form->GraphXmaxEdit, "20,00", "2000"},
                          {Form->Ch1NameEdit, "Temperatur1x", "Temperatur"}};
    for (const Case& c : cases) {
        c.edit->clear();
        c.edit->setFocus();
        QTest::keyClicks(c.edit, QString::fromUtf8(c.typed));
        EXPECT_EQ(c.edit->text(), QString::fromUtf8(c.kept)) << c.typed;
    }
}

TEST_F(Layout, PortListOffersDevicesThenZeroToTwentyAndBaudRatesInOrder) {
    const int count = Form->ComComboBox->count();
    ASSERT_GE(count, 21);
    for (int i = 0; i < count - 21; ++i) {
        EXPECT_TRUE(Form->ComComboBox->itemText(i).startsWith(QLatin1Char('/')));
    }
    for (int n = 0; n <= 20; ++n) {
        EXPECT_EQ(Form->ComComboBox->itemText(count - 21 + n), QString::number(n));
    }
    QStringList rates;
    for (int i = 0; i < Form->BaudComboBox->count(); ++i) {
        rates << Form->BaudComboBox->itemText(i);
    }
    EXPECT_EQ(rates.join(QLatin1Char(' ')),
              QStringLiteral("110 300 600 1200 2400 4800 9600 14400 19200 38400 56000 57600 "
                             "115200 128000 256000"));
}

// An adapter plugged in after start is offered the next time the list opens, as the first
// entry; the shown text stays as typed or chosen.
TEST_F(Layout, PortListIsReadAgainEachTimeItOpens) {
    std::vector<std::string> devices = {"/dev/ttyACM0"};
    Form->ComComboBox->SetPortLister([&devices] {
        std::vector<std::string> texts = devices;
        for (int n = 0; n <= 20; ++n) {
            texts.push_back(std::to_string(n));
        }
        return texts;
    });
    const auto offered = [this] {
        QStringList texts;
        for (int i = 0; i < Form->ComComboBox->count() - 21; ++i) {
            texts << Form->ComComboBox->itemText(i);
        }
        return texts;
    };

    Form->ComComboBox->showPopup();
    Form->ComComboBox->hidePopup();
    EXPECT_EQ(offered(), QStringList({QStringLiteral("/dev/ttyACM0")}));
    EXPECT_EQ(Form->ComComboBox->currentText(), QStringLiteral("5"));
    EXPECT_EQ(Form->ComComboBox->currentIndex(), 6);

    devices.push_back("/dev/ttyUSB0");
    Form->ComComboBox->setCurrentIndex(0);
    Form->ComComboBox->showPopup();
    Form->ComComboBox->hidePopup();
    EXPECT_EQ(offered(),
              QStringList({QStringLiteral("/dev/ttyACM0"), QStringLiteral("/dev/ttyUSB0")}));
    EXPECT_EQ(Form->ComComboBox->currentText(), QStringLiteral("/dev/ttyACM0"));
    EXPECT_EQ(Form->ComComboBox->currentIndex(), 0);

    // The chosen adapter is unplugged: its path stays in the field, the list drops it.
    devices.erase(devices.begin());
    Form->ComComboBox->showPopup();
    Form->ComComboBox->hidePopup();
    EXPECT_EQ(offered(), QStringList({QStringLiteral("/dev/ttyUSB0")}));
    EXPECT_EQ(Form->ComComboBox->currentText(), QStringLiteral("/dev/ttyACM0"));
    EXPECT_EQ(Form->ComComboBox->count(), 22);
}

// The menus show their designed texts; "&" marks each item's key (Alt+D, then S), and the
// usual shortcuts reach the session commands and "Beenden".
TEST_F(Layout, MainMenuHasFourItemsWithTheirEntriesKeysAndShortcuts) {
    const auto texts = [](const QList<QAction*>& actions) {
        QStringList shown, keys;
        for (QAction* a : actions) {
            QString text = a->text();
            const qsizetype amp = text.indexOf(QLatin1Char('&'));
            keys << (amp >= 0 ? text.mid(amp + 1, 1) : QString());
            shown << text.remove(QLatin1Char('&'));
        }
        return std::pair{shown, keys.join(QString())};
    };
    const QList<QAction*> top = Form->menuBar()->actions();
    ASSERT_EQ(top.size(), 4);
    EXPECT_EQ(texts(top),
              std::pair(QStringList({QStringLiteral("Datei"), QStringLiteral("Mathematik"),
                                     QStringLiteral("Hilfe"), QStringLiteral("Info")}),
                        QStringLiteral("DMHI")));
    EXPECT_EQ(
        texts(Form->Datei1->actions()),
        std::pair(
            QStringList({QStringLiteral("Grafik speichern als Bitmap (.bmp)"),
                         QStringLiteral("Sitzung speichern"), QStringLiteral("Sitzung laden"),
                         QStringLiteral("Daten-Export im CSV-Format"), QStringLiteral("Beenden")}),
            QStringLiteral("GslEB")));
    EXPECT_EQ(texts(Form->Mathematik1->actions()),
              std::pair(QStringList({QStringLiteral("Fourier Analyse"),
                                     QStringLiteral("Realtime Fourier Analyse"),
                                     QStringLiteral("Digitales Filter")}),
                        QStringLiteral("FRD")));

    std::map<QString, QString> shortcuts;
    for (QMenu* menu : {Form->Datei1, Form->Mathematik1}) {
        for (QAction* a : menu->actions()) {
            if (!a->shortcut().isEmpty()) {
                shortcuts[a->objectName()] = a->shortcut().toString(QKeySequence::PortableText);
            }
        }
    }
    EXPECT_EQ(shortcuts, (std::map<QString, QString>{
                             {QStringLiteral("ErfassungSpeichern"), QStringLiteral("Ctrl+S")},
                             {QStringLiteral("Erfassungladen"), QStringLiteral("Ctrl+O")},
                             {QStringLiteral("Einstellungen1"), QStringLiteral("Ctrl+Q")}}));
}

TEST_F(Layout, StatusBarHasThreePanelsOfWidth200) {
    for (QLabel* panel : Form->StatusPanels) {
        EXPECT_EQ(panel->width(), 200);
        EXPECT_EQ(panel->parentWidget(), Form->StatusBar);
    }
}

TEST_F(Layout, ShowLeavesTheWindowIdleWithTheOneChannelSettings) {
    EXPECT_FALSE(Form->IsAcquiring());
    EXPECT_TRUE(Form->StartButton->isEnabled());
    EXPECT_FALSE(Form->StopButton->isEnabled());
    EXPECT_FALSE(Form->CircularProgress->isEnabled());
    EXPECT_EQ(Form->PageControl1->currentWidget(), Form->SheetCOM);
    EXPECT_FALSE(Form->PageControl1->isTabVisible(2));
    EXPECT_EQ(Form->Label11->text(),
              QStringLiteral("Normal: max 2000 Samples/s, max 100.000 Samples\nTrend:  max 200 "
                             "Samples/s   beliebig lange"));
    EXPECT_EQ(Acq().ChannelCount, 1);
    EXPECT_EQ(Acq().MemoryMax, 100000);
    EXPECT_TRUE(Acq().DynGraph);
    EXPECT_FALSE(Acq().TrendMode);
    EXPECT_TRUE(Form->NormalRadioButton->isChecked());
    EXPECT_TRUE(Form->ShowGridCheckBox->isChecked());
    EXPECT_EQ(Form->ChartMouseAction(), maPan);
    EXPECT_DOUBLE_EQ(Form->PlotChart1->Scale1X().RangeHigh(), 1000.0);
    EXPECT_DOUBLE_EQ(Form->PlotChart1->Scale1Y().RangeHigh(), 10.0);
    EXPECT_DOUBLE_EQ(Form->PlotChart1->Scale2Y().RangeHigh(), 10.0);
    EXPECT_TRUE(Form->PlotChart1->LayerMouseControl(1));
    EXPECT_TRUE(Form->PlotChart1->LayerMouseControl(2));
    EXPECT_EQ(Form->PlotChart1->MarginLeft(), 80);
    for (QAction* item : Form->MenuItems) {
        EXPECT_TRUE(item->isEnabled());
    }
}

} // namespace
