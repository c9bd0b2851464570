// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// SIGTERM, SIGINT and SIGHUP (a logout, a closed terminal, a service manager's stop) turned into
// one call on the main thread, so that the window ends as "Beenden" does: acquisition stopped and
// the port closed (which also clears its exclusive flag) instead of dying with the port held.
//
// The handler only writes the signal number into a pipe (async-signal-safe); a socket notifier
// on the main thread's event loop reads it and calls onSignal(signal). While an object lives it
// owns the three signals; its destruction restores the dispositions and the object found at
// construction, so objects must end in the reverse order of their making.

#include <QObject>
#include <csignal>
#include <functional>

class QSocketNotifier;

class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(std::function<void(int signal)> onSignal, QObject* parent = nullptr);
    ~QuitSignals() override;
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

    // The signals handled.
    static constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

private:
    void readSignals();

    std::function<void(int)> m_onSignal;
    int m_pipe[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
    struct sigaction m_previous[3]{};
    int m_previousWriteFd = -1;
    bool m_installed = false;
};
