// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TOneInstance: the single-instance guard. The first running copy of the program (per user and
// executable file name) claims a small shared-memory block and listens for later copies; a
// later copy hands over to it, so the running copy comes to the front and the new one ends.
//
// Use from main(), after the QApplication exists and before any window is created:
//
//     TOneInstance guard;
//     if (!guard.IsFirstInstance()) {
//         guard.HandOver();
//         return 0;
//     }
//     TForm1 form;
//     guard.SetMainWindow(&form); // or connect AnotherInstanceStarted yourself

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>

class QLocalServer;
class QLocalSocket;

// The shared block, without Qt. Its 16 bytes hold the first copy's process id at offset 0
// (native 32-bit integer); bytes 4..15 stay 0. The block is created with mode 0600, so each
// user has its own. The holder keeps an exclusive lock on it for its lifetime: the kernel
// drops that lock when the process ends in any way, so a block left behind by a crash is free
// again and the next start takes it over.
namespace instanceblock {

constexpr std::size_t kBlockSize = 16;

// Object name of the block: "/" + upper-cased file name (ASCII letters only; no folder) + "." +
// user id, e.g. "/PLOTMIRA.1000".
std::string BlockName(std::string_view executableFileName, uid_t uid);

enum class ClaimResult {
    Claimed,  // we are the first copy and hold the block
    Occupied, // a running copy holds the block
    Failed    // shared memory unusable (errno left in Claim::Error)
};

// A claim on a block. Destroying a holding claim releases the lock and removes the block name,
// so a copy started afterwards becomes the new first copy.
class Claim {
public:
    Claim() = default;
    Claim(const Claim&) = delete;
    Claim& operator=(const Claim&) = delete;
    Claim(Claim&& other) noexcept;
    Claim& operator=(Claim&& other) noexcept;
    ~Claim();

    ClaimResult Result = ClaimResult::Failed;
    // Process id recorded in the block: our own after Claimed, the holder's after Occupied
    // (0 if it could not be read).
    pid_t RecordedPid = 0;
    int Error = 0;

    // Releases a held block now (also done by the destructor).
    void Release();

private:
    friend Claim ClaimBlock(const std::string& name);
    int m_fd = -1;
    std::string m_name;
};

// Opens or creates the block and tries to become its holder. Never blocks.
Claim ClaimBlock(const std::string& name);

// Reads the process id recorded in the named block, or 0 when there is none.
pid_t ReadRecordedPid(const std::string& name);

} // namespace instanceblock

class TOneInstance : public QObject {
    Q_OBJECT
public:
    // name: base of the block and hand-over names; empty means the upper-cased file name of the
    // running executable. Tests pass a unique name so they never meet a real running copy.
    // A program holds at most one guard: constructing a second while one exists throws
    // Exception("TOneInstance:\rAlready one TOneInstance control in this project!").
    explicit TOneInstance(QObject* parent = nullptr, const QString& name = QString());
    ~TOneInstance() override;

    // Claims the block on the first call and answers from then on. True for the first copy
    // (which then also listens for hand-overs) and whenever shared memory is unusable, so the
    // guard never stops a start. Requires a QCoreApplication.
    bool IsFirstInstance();

    // For a later copy: asks the running copy to come to the front. Retries the connection for
    // a short while (the first copy may be starting up); returns true when the running copy
    // acknowledged the request. The caller then ends the program.
    bool HandOver(int timeoutMs = 3000);

    // Window to restore, raise and activate when another copy starts (may be null).
    void SetMainWindow(QWidget* window) { m_mainWindow = window; }

    // Restores a minimised window, shows, raises and activates it.
    static void BringToFront(QWidget* window);

    // Names in use: the shared block ("/NAME.uid") and the local hand-over server ("NAME.uid").
    const std::string& BlockName() const { return m_blockName; }
    const QString& ServerName() const { return m_serverName; }

signals:
    // Another copy of the program was started and has handed over to this one. Emitted after
    // the main window (if set) was brought to the front.
    void AnotherInstanceStarted();

private:
    void startServer();
    void onNewConnection();
    void onSocketReadable(QLocalSocket* socket);

    std::string m_blockName;
    QString m_serverName;
    std::unique_ptr<instanceblock::Claim> m_claim;
    bool m_decided = false;
    bool m_first = true;
    QLocalServer* m_server = nullptr;
    QPointer<QWidget> m_mainWindow;
};
