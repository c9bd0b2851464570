// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The port drop-down: an editable combo box whose list is read again each time it opens, so a
// serial adapter plugged in after start is offered without restarting the program.

#include <QComboBox>
#include <functional>
#include <string>
#include <vector>

class PortComboBox : public QComboBox {
    Q_OBJECT
public:
    // Lists the port texts to offer, in order.
    using PortLister = std::function<std::vector<std::string>()>;

    // Starts with the list `lister` returns (ListPortTexts when empty).
    explicit PortComboBox(QWidget* parent = nullptr, PortLister lister = {});

    // Replaces the listing function (tests hand in their own); an empty one restores
    // ListPortTexts. The list is read anew when the drop-down opens next.
    void SetPortLister(PortLister lister);

    // Reads the list again. The shown text stays as it is; the current item is the entry that
    // matches it, if any.
    void RefreshPorts();

    void showPopup() override;

private:
    PortLister m_lister;
};
