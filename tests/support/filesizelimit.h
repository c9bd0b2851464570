// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A file that stops growing midway, for tests of outputs that fail part-way: while a
// FileSizeLimit lives, no file of this process grows beyond `bytes` (RLIMIT_FSIZE), and a write
// past it fails with EFBIG as on a full disk, instead of raising SIGXFSZ. Both are restored
// afterwards. Process-wide: use it while no other thread of the test writes files.

#include <csignal>
#include <sys/resource.h>

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        m_active = ::getrlimit(RLIMIT_FSIZE, &m_old) == 0;
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_active = m_active && ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        if (m_active) {
            ::setrlimit(RLIMIT_FSIZE, &m_old);
        }
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    // False when the limit could not be set (the test should then say so and stop).
    bool Active() const { return m_active; }

private:
    rlimit m_old{};
    bool m_active = false;
    void (*m_oldHandler)(int) = SIG_DFL;
};
