// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TFormHilfe: the help window. Created once at program start and only shown and hidden; it
// keeps its size, position and scroll position between showings.

#include <QWidget>

class QFrame;
class QPlainTextEdit;
class QPushButton;

class TFormHilfe : public QWidget {
    Q_OBJECT
public:
    // mainWindow: the window it opens centred on (first showing) and stays above; may be null.
    explicit TFormHilfe(QWidget* mainWindow = nullptr);

    // The help text: five sections, each heading underlined by hyphens, two empty lines
    // between sections.
    static QString HelpText();
    // Section headings in their order in the text.
    static QStringList SectionHeadings();

    QPushButton* Button1 = nullptr;      // "Close", top right
    QFrame* Panel1 = nullptr;            // white frame below the button
    QPlainTextEdit* RichEdit1 = nullptr; // read-only view of the help text

public slots:
    // Hides the window.
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutControls();
    bool m_placed = false;
};
