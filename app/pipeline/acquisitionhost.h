// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the sample pipeline needs of its main window: the live value label, the three status
// panels, the port's open state, the Stop action, the main menu, the message pump and the
// message box. The window implements it by forwarding to its controls; tests and plotmira-cli
// implement it without any window.

#include "app/pipeline/numbertext.h"

#include <string>

class AcquisitionHost {
public:
    virtual ~AcquisitionHost() = default;

    // Label10: the scaled value or values of the newest line.
    virtual void SetLabel10(const std::string& text) = 0;
    // Panel 0, 1 or 2 of the status bar: sample count, block size, processing time.
    virtual void SetStatusPanel(int index, const std::string& text) = 0;
    // The same for a text of numbers, which a host may make only when it shows it; what is shown
    // in the end is the text of the newest call either way.
    virtual void SetLabel10Number(const NumberText& text) { SetLabel10(text.Make()); }
    virtual void SetStatusPanelNumber(int index, const NumberText& text) {
        SetStatusPanel(index, text.Make());
    }

    // The serial component's Active property: whether the port is still open. SetPortActive(false)
    // closes the port; after it the received block must not be read any more.
    virtual bool PortActive() const = 0;
    virtual void SetPortActive(bool active) = 0;

    // The Stop button's click action: returns the window to idle (closes the port first).
    virtual void StopButtonClick() = 0;
    // Enables the four top-level menu items, so that the recorded graph can be saved.
    virtual void EnableMainMenu() = 0;
    // Runs the message pump once: processes all pending window messages, then returns. A Stop
    // or a close of the window may run inside it.
    virtual void ProcessMessages() = 0;
    // The modal message box (empty title, information icon, OK); returns when it is confirmed.
    virtual void ShowMessage(const std::string& text) = 0;
};
