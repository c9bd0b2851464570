// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Shared fixture of the main window tests: a shown TForm1 whose message boxes, exception
// display, file dialogs and termination are recorded, and a pseudo-terminal standing in for the
// device on COM5 (through $PLOTMIRA_PORTS).

#include "app/pipeline/acquisition.h"
#include "app/pipeline/numbers.h"
#include "app/window/form1.h"
#include "app/window/messagedisplay.h"
#include "tests/support/pty.h"
#include "widgets/circularprogress.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtGlobal>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

// A pseudo-terminal (tests/support/pty.h) whose slave is linked as $PLOTMIRA_PORTS/COM<n>. The
// test writes to the master as the device would.
class FakeDevice {
public:
    // raw false: the line stays in the cooked mode of a fresh terminal.
    FakeDevice(const QString& portsDir, int comNo, bool raw = true)
        : m_pty(raw ? Pty::Line::Raw : Pty::Line::Cooked) {
        m_link = QDir(portsDir).filePath(QStringLiteral("COM%1").arg(comNo));
        if (symlink(m_pty.slavePath().c_str(), QFile::encodeName(m_link).constData()) != 0) {
            ADD_FAILURE() << "symlink failed";
            m_pty.hangUp();
        }
    }
    ~FakeDevice() { unlink(QFile::encodeName(m_link).constData()); }
    FakeDevice(const FakeDevice&) = delete;
    FakeDevice& operator=(const FakeDevice&) = delete;

    bool Ok() const { return m_pty.master() >= 0; }
    int Master() const { return m_pty.master(); }
    // The link $PLOTMIRA_PORTS/COM<n> to the slave.
    QString Link() const { return m_link; }

    // Runs the event loop while the pty is full or the port not yet open, so that the program
    // drains it: the program reads on this same thread. False when it stayed full for several
    // seconds (nobody reads) or the write failed.
    bool Write(const std::string& bytes) const {
        ptyio::WriteWait wait;
        wait.pause = [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 5); };
        wait.untilOpened = true;
        wait.stall = std::chrono::seconds(10);
        return m_pty.write(bytes, wait);
    }

private:
    Pty m_pty;
    QString m_link;
};

// The idle and acquiring rows of the window's state table.
inline void expectIdle(TForm1& form) {
    EXPECT_TRUE(form.StartButton->isEnabled());
    EXPECT_FALSE(form.StopButton->isEnabled());
    EXPECT_TRUE(form.ClearGraphButton->isEnabled());
    EXPECT_TRUE(form.ResetAxisButton->isEnabled());
    EXPECT_TRUE(form.TrendCheckBox->isEnabled());
    EXPECT_TRUE(form.GroupBox1->isEnabled());
    EXPECT_TRUE(form.PageControl1->isEnabled());
    EXPECT_TRUE(form.ZoomRadioButton->isEnabled());
    EXPECT_TRUE(form.NormalRadioButton->isEnabled());
    EXPECT_FALSE(form.CircularProgress->isEnabled());
    for (QAction* item : form.MenuItems) {
        EXPECT_TRUE(item->isEnabled());
    }
    EXPECT_FALSE(form.PortActive());
}

inline void expectAcquiringControls(TForm1& form) {
    EXPECT_FALSE(form.StartButton->isEnabled());
    EXPECT_TRUE(form.StopButton->isEnabled());
    EXPECT_FALSE(form.ClearGraphButton->isEnabled());
    EXPECT_FALSE(form.ResetAxisButton->isEnabled());
    EXPECT_FALSE(form.TrendCheckBox->isEnabled());
    EXPECT_FALSE(form.GroupBox1->isEnabled());
    EXPECT_FALSE(form.ComComboBox->isEnabled()); // a disabled group disables its children
    EXPECT_FALSE(form.PageControl1->isEnabled());
    EXPECT_FALSE(form.DatSkalEdit->isEnabled());
    EXPECT_TRUE(form.NormalRadioButton->isEnabled());
    EXPECT_TRUE(form.ShowGridCheckBox->isEnabled());
    EXPECT_TRUE(form.DoubleTicsCheckBox->isEnabled());
    EXPECT_TRUE(form.CircularProgress->isEnabled());
    for (QAction* item : form.MenuItems) {
        EXPECT_FALSE(item->isEnabled());
    }
}

class Form1Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_ports.isValid());
        setenv("PLOTMIRA_PORTS", QFile::encodeName(m_ports.path()).constData(), 1);
        numbers::SetDecimalSeparator(',');
        SetMessageSink([this](const QString& text) { Messages.push_back(text); });
        SetExceptionSink([this](const QString& text) { Exceptions.push_back(text); });
        Form = std::make_unique<TForm1>();
        Form->SetTerminateHandler([this] { ++TerminateCount; });
        Form->SetFileDialogRunner([this](const FileDialogRequest& request) {
            Requests.push_back(request);
            return NextFileName;
        });
        Form->show();
        QCoreApplication::processEvents();
    }

    void TearDown() override {
        Form.reset();
        SetMessageSink(nullptr);
        SetExceptionSink(nullptr);
        SetMessageBoxRunner(nullptr);
        numbers::SetDecimalSeparator('\0');
        unsetenv("PLOTMIRA_PORTS");
    }

    std::unique_ptr<FakeDevice> Device(int comNo = 5, bool raw = true) {
        return std::make_unique<FakeDevice>(m_ports.path(), comNo, raw);
    }

    // Pumps events until `done` holds or the time is up; true when it holds.
    static bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
        return QTest::qWaitFor(done, timeoutMs);
    }

    Acquisition& Acq() { return Form->Acq(); }

    std::unique_ptr<TForm1> Form;
    std::vector<QString> Messages;
    std::vector<QString> Exceptions;
    std::vector<FileDialogRequest> Requests;
    QString NextFileName;
    int TerminateCount = 0;

private:
    QTemporaryDir m_ports;
};
