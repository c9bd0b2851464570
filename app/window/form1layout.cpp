// SPDX-License-Identifier: GPL-3.0-or-later
// Building the main window's controls, menu and layout, and binding the handlers.

#include "app/window/form1.h"

#include "app/window/pagecontrol.h"
#include "app/window/portcombobox.h"
#include "app/window/windowplacement.h"

#include "chart/control/plotchart.h"
#include "widgets/circularprogress.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QValidator>

namespace {

// Accepts only texts made of the given characters, as the original number edits filter the
// keys. Whether the text is a valid number is decided when it is converted.
class CharacterFilter : public QValidator {
public:
    CharacterFilter(QString allowed, QObject* parent)
        : QValidator(parent), m_allowed(std::move(allowed)) {}

    State validate(QString& input, int&) const override {
        for (const QChar c : input) {
            if (!c.isDigit() && !m_allowed.contains(c)) {
                return Invalid;
            }
        }
        return Acceptable;
    }

private:
    QString m_allowed;
};

// The client area below the menu bar at design, and the chart's size in it.
constexpr int kClientWidth = 786;
constexpr int kClientHeight = 526;
constexpr int kChartHeight = 361;
constexpr int kBodyMargin = 2;
constexpr int kValuePanelSpacing = 2;
constexpr int kButtonWidth = 86;
constexpr int kButtonHeight = 34;
constexpr int kFloatFieldLength = 12;

template <typename T> T* named(T* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLabel* fieldLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setContentsMargins(0, 4, 0, 0);
    return label;
}

} // namespace

void TForm1::buildLayout() {
    setWindowTitle(QStringLiteral("      P l o t m i r a"));
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11); // fixed pixel sizes: texts are not rescaled for the screen's density
    setFont(font);
    setMaximumSize(2056, 2000);

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("ClientArea"));
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    buildToolPanel();
    outer->addWidget(ToolPanel);

    auto* body = new QHBoxLayout();
    body->setContentsMargins(kBodyMargin, kBodyMargin, kBodyMargin, kBodyMargin);
    body->setSpacing(6);
    buildPageControl();
    body->addWidget(PageControl1, 0, Qt::AlignTop);

    auto* right = new QVBoxLayout();
    right->setSpacing(kValuePanelSpacing);
    buildValuePanel();
    QWidget* valuePanel = Label10->parentWidget();
    right->addWidget(valuePanel);
    PlotChart1 = named(new TPlotChart(central), "PlotChart1");
    PlotChart1->ApplyFormChartSettings();
    PlotChart1->SetMouseAction(maPan);
    PlotChart1->SetMouseCursorFixed(true); // the pointing hand stays whatever the mode
    PlotChart1->setCursor(Qt::PointingHandCursor);
    PlotChart1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    PlotChart1->setMinimumSize(200, 150);
    right->addWidget(PlotChart1, 1);
    body->addLayout(right, 1);
    outer->addLayout(body, 1);
    setCentralWidget(central);

    StatusBar = named(new QStatusBar(this), "StatusBar");
    for (std::size_t i = 0; i < StatusPanels.size(); ++i) {
        auto* panel = new QLabel(StatusBar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        // One line of text is as high whatever it says: with the size fixed, the texts that
        // change with every line do not make the window lay itself out again.
        panel->setFixedSize(200, panel->sizeHint().height());
        StatusBar->addWidget(panel);
        StatusPanels[i] = panel;
    }
    setStatusBar(StatusBar);

    buildMenu();

    // The value panel takes what the chart leaves of the designed client height, so that the
    // chart, and every bitmap exported from it, is 585 × 361 in the designed client area.
    valuePanel->setFixedHeight(kClientHeight - ToolPanel->height() - 2 * kBodyMargin -
                               kValuePanelSpacing - kChartHeight - StatusBar->sizeHint().height());

    // The window opens with the designed client area below the menu bar at (409, 237). The
    // designed minimum, 800 × 600, is the outer window's, frame, caption and menu included,
    // which that client area fills exactly; the frame is the window manager's here, so the
    // client area itself is the smallest the window becomes. On a screen too small for that
    // (a laptop, a scaled desktop) the window moves, and if need be shrinks down to what its
    // controls need, so that all of it is visible.
    const QSize client(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    PlaceOnScreen(*this, QPoint(409, 237), client, minimumSizeHint());
}

void TForm1::buildToolPanel() {
    ToolPanel = named(new QWidget(this), "ToolPanel");
    ToolPanel->setFixedHeight(39);
    auto* row = new QHBoxLayout(ToolPanel);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(2);
    const auto button = [this, row](const char* name, const char* text) {
        auto* b = named(new QPushButton(QString::fromUtf8(text), ToolPanel), name);
        b->setFixedSize(kButtonWidth, kButtonHeight);
        row->addWidget(b);
        return b;
    };
    StartButton = button("StartButton", "Start");
    StopButton = button("StopButton", "Stop");
    ClearGraphButton = button("ClearGraphButton", " Clear");
    ResetAxisButton = button("ResetAxisButton", "Reset");
    row->addSpacing(16);
    CircularProgress = named(new TCircularProgress(ToolPanel), "CircularProgress");
    CircularProgress->setFixedSize(30, 30);
    CircularProgress->SetInterval(50);
    CircularProgress->setEnabled(false);
    row->addWidget(CircularProgress);
    row->addSpacing(16);
    Label11 = named(new QLabel(ToolPanel), "Label11");
    row->addWidget(Label11);
    row->addStretch(1);
}

void TForm1::buildPageControl() {
    PageControl1 = named(new PageControl(this), "PageControl1");
    PageControl1->setFixedSize(191, 439);

    // Tab sheet COM.
    SheetCOM = named(new QWidget(PageControl1), "SheetCOM");
    auto* com = new QVBoxLayout(SheetCOM);
    com->setContentsMargins(3, 3, 3, 3);
    com->setSpacing(3);
    GroupBox1 =
        named(new QGroupBox(QStringLiteral("  Serielle Schnittstelle  "), SheetCOM), "GroupBox1");
    auto* g1 = new QGridLayout(GroupBox1);
    g1->setContentsMargins(4, 4, 4, 4);
    g1->setVerticalSpacing(3);
    Label2 = named(new QLabel(QStringLiteral("Com Port"), GroupBox1), "Label2");
    // "0" to "20", then the serial devices present; a device path may also be typed. The list
    // stays as offered: a typed text is used, not added to it.
    ComComboBox = named(new PortComboBox(GroupBox1), "ComComboBox");
    ComComboBox->setEditable(true);
    ComComboBox->setInsertPolicy(QComboBox::NoInsert);
    ComComboBox->setMaxVisibleItems(21);
    ComComboBox->setCurrentIndex(ComComboBox->findText(QStringLiteral("5")));
    Label1 = named(new QLabel(QStringLiteral(" Baudrate"), GroupBox1), "Label1");
    BaudComboBox = named(new QComboBox(GroupBox1), "BaudComboBox");
    BaudComboBox->setEditable(true);
    BaudComboBox->setInsertPolicy(QComboBox::NoInsert);
    BaudComboBox->setMaxVisibleItems(16);
    for (const char* rate : {"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200",
                             "38400", "56000", "57600", "115200", "128000", "256000"}) {
        BaudComboBox->addItem(QString::fromLatin1(rate));
    }
    BaudComboBox->setCurrentIndex(BaudComboBox->findText(QStringLiteral("115200")));
    g1->addWidget(Label2, 0, 0);
    g1->addWidget(ComComboBox, 0, 1);
    g1->addWidget(Label1, 1, 0);
    g1->addWidget(BaudComboBox, 1, 1);
    Label20 = named(new QLabel(QString::fromUtf8("Data 8 / Stop 1 / noFlowc \n\nNumerische Daten "
                                                 "als\nStrings, Ende CR+LF\n\n2 Kanäle mit "
                                                 "Semicolon\ngetrennt, Ende CR+LF"),
                               GroupBox1),
                    "Label20");
    g1->addWidget(Label20, 2, 0, 1, 2);

    GroupBox4 = named(new QGroupBox(QStringLiteral("  Anzahl Kanäle  "), GroupBox1), "GroupBox4");
    auto* g4 = new QHBoxLayout(GroupBox4);
    g4->setContentsMargins(4, 2, 4, 2);
    Ch1RadioButton = named(new QRadioButton(QStringLiteral("1 Ch"), GroupBox4), "Ch1RadioButton");
    CH2RadioButton = named(new QRadioButton(QStringLiteral("2 Ch's"), GroupBox4), "CH2RadioButton");
    Ch1RadioButton->setChecked(true);
    g4->addWidget(Ch1RadioButton);
    g4->addWidget(CH2RadioButton);
    g1->addWidget(GroupBox4, 3, 0, 1, 2);

    GroupBox5 = named(new QGroupBox(QStringLiteral("  X-Achse"), GroupBox1), "GroupBox5");
    auto* g5 = new QHBoxLayout(GroupBox5);
    g5->setContentsMargins(4, 2, 4, 2);
    RadioButton1 = named(new QRadioButton(QStringLiteral("Tics"), GroupBox5), "RadioButton1");
    RadioButton2 = named(new QRadioButton(QStringLiteral("Zeit"), GroupBox5), "RadioButton2");
    RadioButton1->setChecked(true);
    g5->addWidget(RadioButton1);
    g5->addWidget(RadioButton2);
    g1->addWidget(GroupBox5, 4, 0, 1, 2);

    GroupBox6 = named(new QGroupBox(QStringLiteral(" Dynam.Graph. "), GroupBox1), "GroupBox6");
    auto* g6 = new QHBoxLayout(GroupBox6);
    g6->setContentsMargins(4, 2, 4, 2);
    DynGraphCheckBox = named(new QCheckBox(QStringLiteral("Ein"), GroupBox6), "DynGraphCheckBox");
    DynGraphCheckBox->setChecked(true);
    InfoButton = named(new QPushButton(QStringLiteral("Info"), GroupBox6), "InfoButton");
    g6->addWidget(DynGraphCheckBox);
    g6->addWidget(InfoButton);
    g1->addWidget(GroupBox6, 5, 0, 1, 2);
    com->addWidget(GroupBox1);

    com->addWidget(fieldLabel(QStringLiteral("Projekt Name"), SheetCOM));
    ProjektNameEdit = named(new QLineEdit(SheetCOM), "ProjektNameEdit");
    ProjektNameEdit->setMaxLength(30);
    com->addWidget(ProjektNameEdit);
    com->addStretch(1);
    PageControl1->addTab(SheetCOM, QStringLiteral("  COM   "));

    // Tab sheets of the two channels.
    const QString unsignedFloat = QStringLiteral(",.");
    const QString signedFloat = QStringLiteral(",.-");
    struct Field {
        QLineEdit** edit;
        const char* name;
        const char* label;
        const char* text;
        QString allowed;
        int maxLength;
    };
    const auto sheet = [this](const char* name, const char* caption, const char* groupCaption,
                              std::initializer_list<Field> fields) {
        auto* page = named(new QWidget(PageControl1), name);
        auto* column = new QVBoxLayout(page);
        column->setContentsMargins(3, 3, 3, 3);
        auto* group = new QGroupBox(QString::fromUtf8(groupCaption), page);
        auto* inner = new QVBoxLayout(group);
        inner->setContentsMargins(6, 2, 6, 6);
        inner->setSpacing(1);
        for (const Field& f : fields) {
            inner->addWidget(fieldLabel(QString::fromUtf8(f.label), group));
            auto* edit = named(new QLineEdit(QString::fromUtf8(f.text), group), f.name);
            edit->setMaxLength(f.maxLength);
            if (!f.allowed.isNull()) {
                edit->setValidator(new CharacterFilter(f.allowed, edit));
            }
            inner->addWidget(edit);
            *f.edit = edit;
        }
        inner->addSpacing(8);
        inner->addWidget(new QLabel(QStringLiteral("Dezimaltrennung = Komma"), group));
        column->addWidget(group);
        column->addStretch(1);
        PageControl1->addTab(page, QString::fromUtf8(caption));
        return page;
    };
    const QString digitsOnly = QStringLiteral("");
    SheetKanal1 =
        sheet("SheetKanal1", "  CH 1   ", "  Kanal 1 (blau) ",
              {{&DatSkalEdit, "DatSkalEdit", "Skalierungsfaktor", "1,000000000", unsignedFloat,
                kFloatFieldLength},
               {&DatOffsetEdit, "DatOffsetEdit", "Offset nach Skalierung", "0,000000000",
                signedFloat, kFloatFieldLength},
               {&GraphYmaxEdit, "GraphYmaxEdit", "Graph Y max", "10,000000000", unsignedFloat,
                kFloatFieldLength},
               {&GraphYminEdit, "GraphYminEdit", "Graph Y min", "0,000000000", signedFloat,
                kFloatFieldLength},
               {&GraphXmaxEdit, "GraphXmaxEdit", "Graph X max", "1000", digitsOnly, 32767},
               {&Ch1NameEdit, "Ch1NameEdit", "CH 1  Bezeichnung", "", QString(), 10}});
    SheetKanal2 = sheet("SheetKanal2", "  CH 2   ", "  Kanal 2 (rot) ",
                        {{&DatSkal2Edit, "DatSkal2Edit", "Skalierungsfaktor", "1,000000000",
                          unsignedFloat, kFloatFieldLength},
                         {&DatOffset2Edit, "DatOffset2Edit", "Offset nach Skalierung",
                          "0,000000000", signedFloat, kFloatFieldLength},
                         {&GraphY2maxEdit, "GraphY2maxEdit", "Graph Y max", "10,000000000",
                          unsignedFloat, kFloatFieldLength},
                         {&GraphY2minEdit, "GraphY2minEdit", "Graph Y min", "0,000000000",
                          signedFloat, kFloatFieldLength},
                         {&Ch2NameEdit, "Ch2NameEdit", "CH 2  Bezeichnung", "", QString(), 10}});
}

void TForm1::buildValuePanel() {
    auto* panel = named(new QWidget(this), "ValuePanel");
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(2, 2, 2, 2);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);
    Label13 = named(new QLabel(QStringLiteral("Rohdaten:\nCH1 + CH2"), panel), "Label13");
    Label10 = named(new QLabel(panel), "Label10");
    Label10->setFixedSize(449, 22);
    QFont valueFont(QStringLiteral("Tahoma"));
    valueFont.setPixelSize(15);
    Label10->setFont(valueFont);
    Label10->setAutoFillBackground(true);
    QPalette cream = Label10->palette();
    cream.setColor(QPalette::Window, QColor(0xFF, 0xFB, 0xF0)); // clCream
    cream.setColor(QPalette::WindowText, Qt::black);
    Label10->setPalette(cream);
    grid->addWidget(Label13, 0, 0);
    grid->addWidget(Label10, 0, 1, Qt::AlignLeft | Qt::AlignVCenter);

    auto* row = new QHBoxLayout();
    row->setSpacing(18);
    NormalRadioButton =
        named(new QRadioButton(QStringLiteral("Normal"), panel), "NormalRadioButton");
    NormalRadioButton->setChecked(true);
    ZoomRadioButton = named(new QRadioButton(QStringLiteral("Zoom"), panel), "ZoomRadioButton");
    ShowGridCheckBox =
        named(new QCheckBox(QStringLiteral(" Show Grid"), panel), "ShowGridCheckBox");
    ShowGridCheckBox->setChecked(true);
    DoubleTicsCheckBox =
        named(new QCheckBox(QStringLiteral("DoubleTics"), panel), "DoubleTicsCheckBox");
    TrendCheckBox = named(new QCheckBox(QStringLiteral("Trend"), panel), "TrendCheckBox");
    for (QWidget* w :
         std::initializer_list<QWidget*>{NormalRadioButton, ZoomRadioButton, ShowGridCheckBox,
                                         DoubleTicsCheckBox, TrendCheckBox}) {
        row->addWidget(w);
    }
    row->addStretch(1);
    grid->addLayout(row, 1, 0, 1, 3);
    // In the spare height: shown only while a filter is active, so nothing else moves.
    FilterLabel = named(new QLabel(panel), "FilterLabel");
    FilterLabel->setTextFormat(Qt::RichText);
    FilterLabel->hide();
    grid->addWidget(FilterLabel, 2, 0, 1, 3, Qt::AlignLeft | Qt::AlignTop);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(2, 1); // spare height below the controls
}

void TForm1::buildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    // "&" marks the mnemonic (Alt+D opens "Datei", then S saves); the shown texts stay as they
    // are. The key shortcuts are the usual ones of desktop programs.
    const auto entry = [](QMenu* menu, const char* name, const char* text,
                          QKeySequence shortcut = {}) {
        QAction* action = menu->addAction(QString::fromUtf8(text));
        action->setObjectName(QLatin1String(name));
        action->setShortcut(shortcut);
        return action;
    };
    Datei1 = named(bar->addMenu(QStringLiteral("&Datei")), "Datei1");
    Grafikdrucken1 = entry(Datei1, "Grafikdrucken1", "&Grafik speichern als Bitmap (.bmp)");
    ErfassungSpeichern =
        entry(Datei1, "ErfassungSpeichern", "Sitzung &speichern", Qt::CTRL | Qt::Key_S);
    Erfassungladen = entry(Datei1, "Erfassungladen", "Sitzung &laden", Qt::CTRL | Qt::Key_O);
    DatenExportimCSVFormat1 =
        entry(Datei1, "DatenExportimCSVFormat1", "Daten-&Export im CSV-Format");
    Einstellungen1 = entry(Datei1, "Einstellungen1", "&Beenden", Qt::CTRL | Qt::Key_Q);
    Mathematik1 = named(bar->addMenu(QStringLiteral("&Mathematik")), "Mathematik1");
    FourierAnalyse1 = entry(Mathematik1, "FourierAnalyse1", "&Fourier Analyse");
    RealtimeFourierAnalyse1 =
        entry(Mathematik1, "RealtimeFourierAnalyse1", "&Realtime Fourier Analyse");
    DigitalesFilter1 = entry(Mathematik1, "DigitalesFilter1", "&Digitales Filter");
    Hilfe1 = bar->addAction(QStringLiteral("&Hilfe"));
    Hilfe1->setObjectName(QStringLiteral("Hilfe1"));
    Info1 = bar->addAction(QStringLiteral("&Info"));
    Info1->setObjectName(QStringLiteral("Info1"));
    MenuItems = {Datei1->menuAction(), Mathematik1->menuAction(), Hilfe1, Info1};

    // A shortcut reaches its entry also while the entry's menu is disabled (during a run): the
    // menu's entries keep their shortcuts only while the menu can be opened.
    for (QMenu* menu : {Datei1, Mathematik1}) {
        connect(menu->menuAction(), &QAction::enabledChanged, menu, [menu](bool enabled) {
            for (QAction* action : menu->actions()) {
                const QVariant kept = action->property("menuShortcut");
                if (!enabled && !action->shortcut().isEmpty()) {
                    action->setProperty("menuShortcut", action->shortcut());
                    action->setShortcut({});
                } else if (enabled && kept.isValid()) {
                    action->setShortcut(kept.value<QKeySequence>());
                    action->setProperty("menuShortcut", {});
                }
            }
        });
    }
    // F10 opens the first menu, as in other desktop programs.
    auto* f10 = new QShortcut(Qt::Key_F10, this);
    connect(f10, &QShortcut::activated, this, [this] {
        if (Datei1->menuAction()->isEnabled()) {
            menuBar()->setActiveAction(Datei1->menuAction());
        }
    });
}

void TForm1::connectHandlers() {
    const auto onClick = [this](QPushButton* button, void (TForm1::*handler)()) {
        connect(button, &QPushButton::clicked, this, [this, handler] { runGuarded(handler); });
    };
    onClick(StartButton, &TForm1::StartButtonClick);
    onClick(StopButton, &TForm1::StopButtonClick);
    onClick(ClearGraphButton, &TForm1::ClearGraphButtonClick);
    onClick(ResetAxisButton, &TForm1::ResetAxisButtonClick);
    onClick(InfoButton, &TForm1::InfoButtonClick);

    // Check boxes act on every change of their state, radio buttons when they become checked.
    const auto onToggle = [this](QAbstractButton* button, void (TForm1::*handler)(),
                                 bool onlyWhenChecked) {
        m_clickHandlers[button] = handler;
        connect(button, &QAbstractButton::toggled, this,
                [this, handler, onlyWhenChecked](bool checked) {
                    if (checked || !onlyWhenChecked) {
                        runGuarded(handler);
                    }
                });
    };
    onToggle(ShowGridCheckBox, &TForm1::ShowGridCheckBoxClick, false);
    onToggle(DoubleTicsCheckBox, &TForm1::DoubleTicsCheckBoxClick, false);
    onToggle(TrendCheckBox, &TForm1::TrendCheckBoxClick, false);
    onToggle(DynGraphCheckBox, &TForm1::DynGraphCheckBoxClick, false);
    onToggle(NormalRadioButton, &TForm1::NormalRadioButtonClick, true);
    onToggle(ZoomRadioButton, &TForm1::ZoomRadioButtonClick, true);
    onToggle(Ch1RadioButton, &TForm1::Ch1RadioButtonClick, true);
    onToggle(CH2RadioButton, &TForm1::CH2RadioButtonClick, true);
    onToggle(RadioButton1, &TForm1::RadioButton1Click, true);
    onToggle(RadioButton2, &TForm1::RadioButton2Click, true);

    const auto onTrigger = [this](QAction* action, void (TForm1::*handler)()) {
        connect(action, &QAction::triggered, this, [this, handler] { runGuarded(handler); });
    };
    onTrigger(Grafikdrucken1, &TForm1::GrafikSpeichernBMPClick);
    onTrigger(ErfassungSpeichern, &TForm1::ErfassungSpeichernClick);
    onTrigger(Erfassungladen, &TForm1::ErfassungladenClick);
    onTrigger(DatenExportimCSVFormat1, &TForm1::DatenExportimCSVFormat1Click);
    onTrigger(FourierAnalyse1, &TForm1::FourierAnalyse1Click);
    onTrigger(RealtimeFourierAnalyse1, &TForm1::RealtimeFourierAnalyse1Click);
    onTrigger(DigitalesFilter1, &TForm1::DigitalesFilter1Click);
    onTrigger(Einstellungen1, &TForm1::Einstellungen1Click);
    onTrigger(Hilfe1, &TForm1::Hilfe1Click);
    onTrigger(Info1, &TForm1::Info1Click);
}
