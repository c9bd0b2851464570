// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/recordsignals.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

std::atomic<std::uint32_t> g_count{0};
pid_t g_mainThread = 0;

static_assert(std::atomic<std::uint32_t>::is_always_lock_free);

extern "C" void onEndSignal(int signal) {
    const int savedErrno = errno;
    // Raw system calls: async-signal-safe on every libc.
    const auto self = static_cast<pid_t>(::syscall(SYS_gettid));
    if (self != g_mainThread) {
        // Only the main thread can abandon its waiting write: hand the signal over.
        ::syscall(SYS_tgkill, ::getpid(), g_mainThread, signal);
    } else {
        g_count.fetch_add(1, std::memory_order_relaxed);
    }
    errno = savedErrno;
}

} // namespace

void InstallRecordSignals() {
    g_mainThread = static_cast<pid_t>(::syscall(SYS_gettid));
    struct sigaction action {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a waiting write returns with EINTR
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
    ::signal(SIGPIPE, SIG_IGN);
}

std::uint32_t RecordSignalCount() {
    return g_count.load(std::memory_order_relaxed);
}

bool WritableNow(int fd) {
    pollfd p{fd, POLLOUT, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLOUT) != 0;
}
