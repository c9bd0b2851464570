// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window/quitsignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The write end for the handler; -1 while no object lives.
volatile std::sig_atomic_t g_writeFd = -1;

extern "C" void onQuitSignal(int signal) {
    const int savedErrno = errno;
    const int fd = g_writeFd;
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signal);
        // A full pipe already holds a pending quit: losing this byte loses nothing.
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

QuitSignals::QuitSignals(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), m_onSignal(std::move(onSignal)) {
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_pipe[0] = m_pipe[1] = -1;
        return; // the signals keep their default action: the program ends as before
    }
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::readSignals);
    m_previousWriteFd = g_writeFd;
    g_writeFd = m_pipe[1];
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        ::sigaction(kSignals[i], &action, &m_previous[i]);
    }
    m_installed = true;
}

QuitSignals::~QuitSignals() {
    if (m_installed) {
        for (std::size_t i = 0; i < std::size(kSignals); ++i) {
            ::sigaction(kSignals[i], &m_previous[i], nullptr);
        }
    }
    if (m_installed) {
        g_writeFd = m_previousWriteFd;
    }
    delete m_notifier;
    for (int fd : m_pipe) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void QuitSignals::readSignals() {
    unsigned char bytes[16];
    ssize_t n = 0;
    int last = 0;
    while ((n = ::read(m_pipe[0], bytes, sizeof bytes)) > 0) {
        last = bytes[n - 1];
    }
    // Several signals in a row ask for the same thing once.
    if (last != 0 && m_onSignal) {
        m_onSignal(last);
    }
}
