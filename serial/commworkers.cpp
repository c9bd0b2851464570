// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/commworkers.h"

#include "serial/arrivalpace.h"
#include "serial/serialcomm.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

// While bytes stay unread (no consumer, or a line error left them queued) poll would report
// them again at once; the worker then looks for new arrivals at this interval instead.
constexpr int kUnreadRecheckMs = 10;

void signalFd(int fd) {
    const std::uint64_t one = 1;
    // Only fails when the counter would overflow, which leaves it readable anyway.
    [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
}

// While arrivals gather (see ArrivalPace), the next event waits up to kGatherMs for more, or
// until kGatherBytes are queued: it looks after 1 ms and then sleeps as long as the queue takes
// to fill at the rate it just saw. A fast stream keeps the queue filled and waits for nothing.
constexpr int kGatherMs = static_cast<int>(ArrivalPace::kGatherTime.count());
constexpr long kGatherBytes = 1024;

// An event that delivered a full tty read queue (a tty hands out at most 4095 bytes per read) came
// from a device that outruns the reader. Right after such a read the queue is often empty for a
// moment while the next bytes are on their way: the stream must not wait to gather (the device
// side fills up and stalls meanwhile), and its next event is best handed over as soon as bytes
// arrive, without the round trip through the comm-event worker. The look waits at most kLookMs.
constexpr std::uint32_t kFastStreamBytes = 4095;
constexpr int kLookMs = 1;

bool fastStream(const TCommLink& link) {
    return link.lastDelivered.load() >= kFastStreamBytes && link.leftUnread.load() == 0;
}

// Returns what was queued when the wait began.
long gatherArrivals(TCommLink& link) {
    long queued = link.platform->InputCount(link.handle);
    const long first = queued;
    if (fastStream(link)) {
        return first;
    }
    int waited = 0;
    int step = 1;
    while (queued >= 0 && queued < kGatherBytes && waited < kGatherMs) {
        pollfd stop{link.stopFd, POLLIN, 0};
        if (::poll(&stop, 1, step) != 0) {
            return first; // stopping ends the wait at once
        }
        waited += step;
        const long now = link.platform->InputCount(link.handle);
        const long perMs = (now - queued) / step;
        queued = now;
        step = perMs > 0
                   ? static_cast<int>(std::clamp<long>((kGatherBytes - now) / perMs, 1, kGatherMs))
                   : kGatherMs;
        step = std::min(step, kGatherMs - waited);
    }
    return first;
}

// Waits until the message worker acknowledged the event or stopping began.
void waitForAck(TCommLink& link) {
    pollfd fds[2] = {{link.ackFd, POLLIN, 0}, {link.stopFd, POLLIN, 0}};
    for (;;) {
        const int r = ::poll(fds, 2, -1);
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r > 0 && (fds[0].revents & POLLIN)) {
            std::uint64_t value;
            [[maybe_unused]] const ssize_t n = ::read(link.ackFd, &value, sizeof value);
        }
        return;
    }
}

} // namespace

TCommLink::TCommLink(std::shared_ptr<TCommPlatform> platform_, int handle_,
                     std::function<void(std::function<void()>)> invoker_, TCustomComm* component_)
    : platform(std::move(platform_)), handle(handle_), invoker(std::move(invoker_)),
      component(component_), stopFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      ackFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

TCommLink::~TCommLink() {
    if (stopFd >= 0) {
        ::close(stopFd);
    }
    if (ackFd >= 0) {
        ::close(ackFd);
    }
}

void TCommLink::post(TCommMessage message) {
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(message);
    }
    m_cv.notify_one();
}

TCommMessage TCommLink::take() {
    std::unique_lock lock(m_mutex);
    m_cv.wait(lock, [this] { return !m_queue.empty(); });
    const TCommMessage message = m_queue.front();
    m_queue.pop_front();
    return message;
}

void TCommLink::signalStop() {
    signalFd(stopFd);
}

void TCommLink::signalAck() {
    signalFd(ackFd);
}

void RunCommThread(std::shared_ptr<TCommLink> link) {
    TCommPlatform& platform = *link->platform;
    ArrivalPace pace;
    while (!link->terminated.load()) {
        const std::uint32_t unread = link->leftUnread.load();
        TWaitResult result;
        if (unread == 0) {
            result = platform.Wait(link->handle, true, link->stopFd, -1);
        } else {
            result = platform.Wait(link->handle, false, link->stopFd, kUnreadRecheckMs);
            if (result == TWaitResult::Timeout || result == TWaitResult::Input) {
                const long count = platform.InputCount(link->handle);
                if (count < 0) {
                    result = TWaitResult::Failure;
                } else if (static_cast<std::uint32_t>(count) == unread) {
                    continue;
                } else {
                    result = TWaitResult::Input;
                }
            }
        }
        if (link->terminated.load()) {
            break;
        }
        switch (result) {
        case TWaitResult::Woken:
            // Not told to terminate: the message worker has ended on its own and signalled
            // stopping for good. Nobody would take further events, and waiting again would
            // return at once for ever.
            return;
        case TWaitResult::Timeout:
            continue;
        case TWaitResult::Failure:
            link->post({TCommMessage::DeviceFailure, 0});
            return;
        case TWaitResult::Input: {
            const long first = pace.Arrived(ArrivalPace::Clock::now()) ? gatherArrivals(*link) : 0;
            link->post({TCommMessage::ComEvent, EV_RXCHAR});
            waitForAck(*link);
            pace.HandedOff(first, link->lastDelivered.load(), fastStream(*link),
                           link->leftUnread.load() == 0 && platform.InputCount(link->handle) > 0);
            break;
        }
        }
    }
}

namespace {

// Runs call on the component; false when the invoker returned without running it (the main
// thread will never run it), which ends the worker.
bool deliver(const std::shared_ptr<TCommLink>& link, std::function<void(TCustomComm&)> call) {
    if (link->invoker) {
        // The check runs on the main thread, where StopThreads sets the flag: once the port
        // closed (or the component went away) the call does nothing.
        auto ran = std::make_shared<std::atomic<bool>>(false);
        link->invoker([link, call, ran] {
            ran->store(true);
            if (!link->terminated.load()) {
                call(*link->component);
            }
        });
        return ran->load();
    }
    std::lock_guard lock(link->directCallMutex);
    if (link->terminated.load()) {
        return true;
    }
    try {
        call(*link->component);
    } catch (...) {
        // Nowhere to pass it on this worker; the port stays as the handler left it.
    }
    return true;
}

// Whether bytes arrive within kLookMs; false at once when stopping begins (the handle may be
// closed then).
bool inputQueued(TCommLink& link) {
    std::lock_guard lock(link.lookMutex);
    return !link.terminated.load() &&
           link.platform->Wait(link.handle, true, link.stopFd, kLookMs) == TWaitResult::Input;
}

} // namespace

void RunMsgThread(std::shared_ptr<TCommLink> link) {
    for (;;) {
        const TCommMessage message = link->take();
        if (link->terminated.load() || message.kind == TCommMessage::Quit) {
            break;
        }
        if (message.kind == TCommMessage::ComEvent) {
            TCommLink* const l = link.get();
            bool ran = true;
            do {
                ran = deliver(link, [l, mask = message.mask](TCustomComm& c) {
                    const TCustomComm::TCommEventResult r = c.ProcessCommEvent(mask);
                    l->leftUnread.store(r.unread);
                    l->lastDelivered.store(r.delivered);
                });
            } while (ran && fastStream(*link) && inputQueued(*link));
            if (!ran) {
                break;
            }
            link->signalAck();
        } else {
            deliver(link, [](TCustomComm& c) { c.ShutdownPort(false, crDeviceLost); });
            break;
        }
    }
    // Whatever ended this run, the comm-event worker must not wait for an acknowledgement.
    link->signalStop();
}
