// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A program started as a child process, for the end-to-end tests and the benchmarks that drive
// plotmira-cli, plotmira-sim or the window: its standard output and error go where the caller
// says (inherited, a file, a descriptor), and it is waited for with or without a time limit.
//
// A child that still runs when its ChildProcess goes (a failed assertion left the test early) is
// ended with SIGTERM, given a few seconds to tidy up (the simulator removes its port link), then
// killed; it is always reaped, so no test leaves a process behind.
//
// Plain POSIX, no test framework: the benchmarks use this header too. Starting uses posix_spawn,
// which is safe in a threaded process (no code of ours runs between fork and exec).

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

struct ChildOptions {
    // Standard output: into this file (created or truncated) when set, else onto stdoutFd when
    // that is >= 0, else inherited.
    std::string stdoutFile;
    int stdoutFd = -1;
    // Standard error: into this file when set, else onto standard output when stderrToStdout,
    // else inherited.
    std::string stderrFile;
    bool stderrToStdout = false;
    // Look args[0] up in PATH when it holds no slash.
    bool searchPath = false;
    // The child's environment as NAME=value entries; unset: this process's environment.
    std::optional<std::vector<std::string>> environment;
};

class ChildProcess {
public:
    // Exit status a wait reports for a child that did not end in time.
    static constexpr int kTimedOut = -1;

    ChildProcess() = default;
    // Starts args[0] with args; started() tells whether it could be started.
    explicit ChildProcess(std::vector<std::string> args, const ChildOptions& options = {}) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        constexpr int kFlags = O_WRONLY | O_CREAT | O_TRUNC;
        if (!options.stdoutFile.empty()) {
            posix_spawn_file_actions_addopen(&actions, 1, options.stdoutFile.c_str(), kFlags, 0644);
        } else if (options.stdoutFd >= 0) {
            posix_spawn_file_actions_adddup2(&actions, options.stdoutFd, 1);
        }
        if (!options.stderrFile.empty()) {
            posix_spawn_file_actions_addopen(&actions, 2, options.stderrFile.c_str(), kFlags, 0644);
        } else if (options.stderrToStdout) {
            posix_spawn_file_actions_adddup2(&actions, 1, 2);
        }
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        std::vector<std::string> env = options.environment.value_or(std::vector<std::string>{});
        std::vector<char*> envp;
        for (std::string& e : env) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);
        char** const childEnv = options.environment ? envp.data() : environ;
        const int rc = args.empty() ? EINVAL
                       : options.searchPath
                           ? posix_spawnp(&m_pid, argv[0], &actions, nullptr, argv.data(), childEnv)
                           : posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), childEnv);
        if (rc != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ChildProcess() { end(); }
    ChildProcess(ChildProcess&& other) noexcept : m_pid(std::exchange(other.m_pid, -1)) {}
    ChildProcess& operator=(ChildProcess&& other) noexcept {
        if (this != &other) {
            end();
            m_pid = std::exchange(other.m_pid, -1);
        }
        return *this;
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // True from a successful start until the child has been waited for.
    bool started() const { return m_pid > 0; }
    // The child's process id; -1 when it was not started or has been waited for.
    pid_t pid() const { return m_pid; }

    // Sends sig to the child; false when there is no child (never signals anything else).
    bool signal(int sig) const { return m_pid > 0 && ::kill(m_pid, sig) == 0; }

    // Waits until the child ends; returns its exit status, or 128 + the signal that ended it.
    int wait() {
        if (m_pid <= 0) {
            return kTimedOut;
        }
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
        return decode(status);
    }

    // Waits at most limit for the child to end; returns as wait() does, or kTimedOut when it was
    // still running (it is then killed and reaped).
    int waitFor(std::chrono::steady_clock::duration limit) {
        if (m_pid <= 0) {
            return kTimedOut;
        }
        const auto end = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (std::chrono::steady_clock::now() < end) {
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return decode(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        signal(SIGKILL);
        wait();
        return kTimedOut;
    }

    // Ends a child that still runs: SIGTERM, at most grace to end, then SIGKILL; always reaps it.
    void end(std::chrono::steady_clock::duration grace = std::chrono::seconds(5)) {
        if (m_pid > 0) {
            signal(SIGTERM);
            waitFor(grace);
        }
    }

private:
    static int decode(int status) {
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    pid_t m_pid = -1;
};
