// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/analysis/spectrumworker.h"

#include "base/exception.h"

#include <exception>
#include <vector>

SpectrumWorker::SpectrumWorker(Callback done)
    : m_done(std::move(done)), m_thread([this] { run(); }) {}

SpectrumWorker::~SpectrumWorker() {
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

bool SpectrumWorker::Submit(SpectrumJob job) {
    {
        const std::lock_guard lock(m_mutex);
        if (m_busy || m_stop) {
            return false;
        }
        m_busy = true;
        m_job = std::move(job);
    }
    m_wake.notify_one();
    return true;
}

bool SpectrumWorker::Busy() const {
    const std::lock_guard lock(m_mutex);
    return m_busy;
}

void SpectrumWorker::run() {
    while (true) {
        SpectrumJob job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || m_job.has_value(); });
            if (!m_job) {
                return; // stopping with nothing to do
            }
            job = std::move(*m_job);
            m_job.reset();
        }
        SpectrumOutcome outcome;
        outcome.Tag = job.Tag;
        try {
            outcome.Input = std::make_shared<const SpectrumInput>(std::move(job.Input));
            std::vector<std::span<const double>> channels(outcome.Input->Channels.begin(),
                                                          outcome.Input->Channels.end());
            outcome.Result = std::make_shared<const Spectrum>(m_analyzer.Compute(
                std::span<const std::span<const double>>(channels), job.Settings));
        } catch (const std::exception& e) {
            outcome.Error = ExceptionMessage(e);
        }
        {
            const std::lock_guard lock(m_mutex);
            m_busy = false;
        }
        m_done(std::move(outcome));
    }
}
