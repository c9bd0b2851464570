// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window/formhilfe.h"

#include "app/window/windowplacement.h"

#include <QFrame>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStringList>

namespace {

struct Section {
    const char* Heading;
    const char* Body;
};

// The help text, section by section. The body lines are plain text without formatting.
constexpr Section kSections[] = {
    {"Übersicht",
     "Plotmira stellt serielle Daten, die über die COM-Schnittstelle des PCs empfangen\n"
     "werden, grafisch dar. Das Programm ist als Hilfsmittel bei der Entwicklung von\n"
     "Mikroprozessor-Anwendungen gedacht. Daten aus anderen Quellen, die sich an das\n"
     "unten beschriebene Format halten, können ebenso angezeigt werden."},
    {"Datenformat / Formatierungsvorgaben",
     "Ein Kanal:\n"
     "Die Daten werden als Text gesendet, abgeschlossen mit CR + LF (ASC 13 und ASC 10).\n"
     "Beispiel: 123.45<CR><LF>\n"
     "\n"
     "Zwei Kanäle:\n"
     "Die beiden Werte werden als Text gesendet, durch ein Semikolon getrennt und mit\n"
     "CR + LF (ASC 13 und ASC 10) abgeschlossen.\n"
     "Beispiel: 123.45;-6.7<CR><LF>"},
    {"X-Achse",
     "Mit \"Tics\" zählt die X-Achse die empfangenen Messwerte bzw. Messwertpaare.\n"
     "Mit \"Zeit\" zeigt sie die Sekunden seit Start (\"Zeit [s]\", Graph X max in\n"
     "Sekunden, Vorgabe 10). Jeder Messwert steht bei dem Zeitpunkt, zu dem der PC seine\n"
     "Zeile verarbeitet hat; Zeilen, die in einem Block ankommen, erhalten daher fast\n"
     "dieselbe Zeit. Im Trend-Modus zeigt die Grafik die letzten X max Sekunden.\n"
     "Datei / Daten-Export im CSV-Format schreibt die Messwerte der Grafik mit der\n"
     "Sample-Nummer bzw. der Zeit in Sekunden in der ersten Spalte."},
    {"Limitierungen ",
     "Die bei den aktuellen Einstellungen zulässigen Datenraten werden oben rechts im\n"
     "Fenster angezeigt. Damit die Grafik auch bei hohen Datenraten bedienbar bleibt,\n"
     "gibt es einen großen Puffer für die Schnittstelle und eine dynamische Anzeige: Je\n"
     "mehr Punkte vorhanden sind, desto länger wird der Abstand, bis neue Punkte\n"
     "erscheinen, zum Beispiel 200 Werte auf einmal. Die Anzeige kann daher mit\n"
     "wechselnder Geschwindigkeit laufen, es gehen dabei aber keine Werte verloren."},
    {"Bedienung",
     "Die Bedienung ist weitgehend selbsterklärend. Hier noch einige Hinweise:\n"
     "\n"
     "Die Bedeutung von Xmax\n"
     "Xmax legt den sichtbaren Bereich der X-Achse fest. Die Datenerfassung endet nicht\n"
     "bei Xmax: spätere Daten werden außerhalb des sichtbaren Bereichs gezeichnet und\n"
     "können mit Pan und Zoom in den sichtbaren Bereich geholt werden. Im Trend-Modus\n"
     "ist Xmax das tatsächliche Datenfenster; die ältesten Daten werden dabei entfernt.\n"
     "Im Normal-Modus werden bis zu 100.000 Punkte aufgezeichnet, im Trend-Modus ohne\n"
     "Begrenzung.\n"
     "\n"
     "Grafik Pan und Zoom\n"
     "Bei gedrückter linker Maustaste kann die Grafik verschoben (Pan) oder vergrößert\n"
     "(Zoom) werden.\n"
     "\n"
     "Reset\n"
     "Reset setzt die Achsen auf die eingegebenen Werte zurück. Geänderte Werte werden\n"
     "damit sofort auf die Grafik angewendet.\n"
     "\n"
     "Nach der Datenerfassung\n"
     "Nach der Datenerfassung kann die Grafik frei neu skaliert werden: Werte in den\n"
     "Feldern ändern und Reset drücken."},
};

} // namespace

QStringList TFormHilfe::SectionHeadings() {
    QStringList headings;
    for (const Section& section : kSections) {
        headings << QString::fromUtf8(section.Heading);
    }
    return headings;
}

QString TFormHilfe::HelpText() {
    QStringList parts;
    for (const Section& section : kSections) {
        const QString heading = QString::fromUtf8(section.Heading);
        parts << heading + '\n' + QString(heading.size(), '-') + '\n' +
                     QString::fromUtf8(section.Body);
    }
    return parts.join(QStringLiteral("\n\n\n"));
}

TFormHilfe::TFormHilfe(QWidget* mainWindow) : QWidget(mainWindow, Qt::Window) {
    setWindowTitle(QStringLiteral("     Hilfe"));
    setFont(QFont(QStringLiteral("MS Sans Serif")));
    setMinimumSize(400, 400);
    setMaximumSize(1600, 1000);
    resize(778, 603);

    Button1 = new QPushButton(QStringLiteral("Close"), this);
    Button1->setFixedSize(75, 25);
    connect(Button1, &QPushButton::clicked, this, &TFormHilfe::Button1Click);

    Panel1 = new QFrame(this);
    Panel1->setFrameShape(QFrame::Box);
    Panel1->setLineWidth(1);
    Panel1->setAutoFillBackground(true);
    QPalette panelPalette = Panel1->palette();
    panelPalette.setColor(QPalette::Window, Qt::white);
    Panel1->setPalette(panelPalette);

    RichEdit1 = new QPlainTextEdit(Panel1);
    RichEdit1->setFrameShape(QFrame::NoFrame);
    QFont textFont(QStringLiteral("Arial"));
    textFont.setPixelSize(17);
    RichEdit1->setFont(textFont);
    RichEdit1->setReadOnly(true);
    RichEdit1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Keep the selection visible when the view loses focus.
    QPalette textPalette = RichEdit1->palette();
    textPalette.setColor(QPalette::Inactive, QPalette::Highlight,
                         textPalette.color(QPalette::Active, QPalette::Highlight));
    textPalette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                         textPalette.color(QPalette::Active, QPalette::HighlightedText));
    textPalette.setColor(QPalette::Base, Qt::white);
    RichEdit1->setPalette(textPalette);
    RichEdit1->setPlainText(HelpText());

    layoutControls();
}

void TFormHilfe::Button1Click() {
    hide();
}

void TFormHilfe::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    CentreOverParentOnFirstShow(*this, m_placed, event);
}

void TFormHilfe::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutControls();
}

// Anchors as designed: the button keeps its distance to the top and right edges, the panel
// and the text view follow all four edges.
void TFormHilfe::layoutControls() {
    constexpr int kMargin = 8;
    Button1->move(width() - kMargin - Button1->width(), kMargin);
    const int panelTop = kMargin + Button1->height() + kMargin;
    Panel1->setGeometry(kMargin, panelTop, width() - 2 * kMargin, height() - panelTop - kMargin);
    const int border = Panel1->frameWidth();
    RichEdit1->setGeometry(border, border, Panel1->width() - 2 * border,
                           Panel1->height() - 2 * border);
}
