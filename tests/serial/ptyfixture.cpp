// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/serial/ptyfixture.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

PortFolder::PortFolder() {
    char templ[] = "/tmp/plotmira-test-ports.XXXXXX";
    if (!::mkdtemp(templ)) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_path = templ;
    if (const char* old = std::getenv("PLOTMIRA_PORTS")) {
        m_hadOldValue = true;
        m_oldValue = old;
    }
    ::setenv("PLOTMIRA_PORTS", m_path.c_str(), 1);
}

PortFolder::~PortFolder() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
    if (m_hadOldValue) {
        ::setenv("PLOTMIRA_PORTS", m_oldValue.c_str(), 1);
    } else {
        ::unsetenv("PLOTMIRA_PORTS");
    }
}

void PortFolder::link(unsigned n, const std::string& target) {
    const auto name = m_path / ("COM" + std::to_string(n));
    std::error_code ec;
    std::filesystem::remove(name, ec);
    std::filesystem::create_symlink(target, name);
}

MainLoop::~MainLoop() {
    close();
}

TMainThreadInvoker MainLoop::invoker() {
    std::weak_ptr<MainLoop> weak = weak_from_this();
    return [weak](std::function<void()> call) {
        if (auto self = weak.lock()) {
            self->invoke(std::move(call));
        }
    };
}

void MainLoop::invoke(std::function<void()> call) {
    auto task = std::make_shared<Task>();
    task->call = std::move(call);
    std::unique_lock lock(m_mutex);
    if (m_closed) {
        return;
    }
    m_tasks.push_back(task);
    m_cv.notify_all();
    m_cv.wait(lock, [&] { return task->done || m_closed; });
}

bool MainLoop::runOne(std::chrono::steady_clock::time_point deadline) {
    std::shared_ptr<Task> task;
    {
        std::unique_lock lock(m_mutex);
        if (!m_cv.wait_until(lock, deadline, [&] { return !m_tasks.empty() || m_closed; }) ||
            m_tasks.empty()) {
            return false;
        }
        task = m_tasks.front();
        m_tasks.pop_front();
    }
    task->call();
    {
        std::lock_guard lock(m_mutex);
        task->done = true;
    }
    m_cv.notify_all();
    return true;
}

bool MainLoop::runUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        // Short slices so that a predicate that turns true without a task is seen promptly.
        runOne(std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(5)));
    }
    return true;
}

void MainLoop::runFor(std::chrono::milliseconds time) {
    const auto deadline = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < deadline) {
        runOne(deadline);
    }
}

void MainLoop::close() {
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_tasks.clear();
    }
    m_cv.notify_all();
}
