// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window/portcombobox.h"

#include "serial/portnames.h"

#include <QSignalBlocker>

PortComboBox::PortComboBox(QWidget* parent, PortLister lister)
    : QComboBox(parent), m_lister(std::move(lister)) {
    RefreshPorts();
}

void PortComboBox::SetPortLister(PortLister lister) {
    m_lister = std::move(lister);
}

void PortComboBox::RefreshPorts() {
    const std::vector<std::string> ports = m_lister ? m_lister() : ListPortTexts();
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(ports.size()));
    for (const std::string& port : ports) {
        texts << QString::fromStdString(port);
    }
    QStringList current;
    for (int i = 0; i < count(); ++i) {
        current << itemText(i);
    }
    if (texts == current) {
        return;
    }
    // Rebuilding the list must not change what the user typed or chose, nor look like a choice.
    const QString shown = currentText();
    const QSignalBlocker block(this);
    clear();
    addItems(texts);
    setCurrentIndex(findText(shown, Qt::MatchExactly));
    if (isEditable()) {
        setEditText(shown);
    }
}

void PortComboBox::showPopup() {
    RefreshPorts();
    QComboBox::showPopup();
}
