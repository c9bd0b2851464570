// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A thread that computes spectra off the caller's thread, one at a time.
//
// Submit hands over a copy of the samples and the settings; while a computation is running a
// further Submit is refused (the caller comes back with newer samples later), so work never
// queues up behind a slow machine. The result, or the failure's text, goes to the callback on
// the worker thread; the callback must not call back into the worker. Busy() turns false just
// before the callback runs, so whoever the callback informs can submit the next job at once (it
// starts when the callback has returned). The destructor waits for a running computation and
// its callback.

#include "app/analysis/spectrum.h"
#include "app/analysis/spectruminput.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

struct SpectrumJob {
    SpectrumInput Input;
    SpectrumSettings Settings;
    std::uint64_t Tag = 0; // handed back with the result
};

struct SpectrumOutcome {
    std::uint64_t Tag = 0;
    std::shared_ptr<const SpectrumInput> Input; // the job's samples, handed back
    std::shared_ptr<const Spectrum> Result;     // null when the computation failed
    std::string Error;                          // the failure's text
};

class SpectrumWorker {
public:
    using Callback = std::function<void(SpectrumOutcome)>;

    explicit SpectrumWorker(Callback done);
    ~SpectrumWorker();
    SpectrumWorker(const SpectrumWorker&) = delete;
    SpectrumWorker& operator=(const SpectrumWorker&) = delete;

    // Starts the job when idle and returns true; returns false and drops it while busy.
    bool Submit(SpectrumJob job);
    bool Busy() const;

private:
    void run();

    Callback m_done;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<SpectrumJob> m_job;
    bool m_busy = false;
    bool m_stop = false;
    SpectrumAnalyzer m_analyzer; // used on the worker thread only
    std::thread m_thread;        // last: starts after the members it uses
};
