// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The two receive workers of TCustomComm and the small state block they share with it. Internal
// to serial/: the component creates them in StartThreads and signals them in StopThreads.
//
// TCommLink outlives the component when a worker still holds it; the workers reach the component
// only through calls that first check `terminated` on the thread that runs the component, and
// StopThreads sets `terminated` on that same thread before the component can go away.

#include "serial/commplatform.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class TCustomComm;

struct TCommMessage {
    enum Kind { ComEvent, DeviceFailure, Quit };
    Kind kind = ComEvent;
    std::uint32_t mask = 0;
};

struct TCommLink {
    TCommLink(std::shared_ptr<TCommPlatform> platform, int handle,
              std::function<void(std::function<void()>)> invoker, TCustomComm* component);
    ~TCommLink();
    TCommLink(const TCommLink&) = delete;
    TCommLink& operator=(const TCommLink&) = delete;

    // False when the eventfds could not be created.
    bool valid() const { return stopFd >= 0 && ackFd >= 0; }

    void post(TCommMessage message);
    TCommMessage take();
    // Wakes every wait of both workers for good.
    void signalStop();
    void signalAck();

    const std::shared_ptr<TCommPlatform> platform;
    const int handle; // the comm-event worker's copy of the component's handle
    const std::function<void(std::function<void()>)> invoker; // empty: run on the worker
    TCustomComm* const component;

    std::atomic<bool> terminated{false};
    // Input count left unread by the last processed event (0: all read, poll again at once).
    std::atomic<std::uint32_t> leftUnread{0};
    // Bytes the last processed event delivered: tells a fast stream from a trickle.
    std::atomic<std::uint32_t> lastDelivered{0};
    // Held around the message worker's look at the device; closing sets `terminated` and then
    // takes it, so that no look touches a closed (or reused) handle.
    std::mutex lookMutex;
    // Held around a component call made directly on the message worker (no invoker), so that a
    // closing thread can wait for it to end; recursive because a handler may close the port.
    std::recursive_mutex directCallMutex;
    int stopFd = -1;
    int ackFd = -1;

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<TCommMessage> m_queue;
};

// Waits for the device and posts comm events; posts DeviceFailure on a hang-up and ends.
// After each posted event it waits until the message worker has processed it, since poll reports
// queued bytes until they are read.
void RunCommThread(std::shared_ptr<TCommLink> link);

// Hands each comm event to the main thread (or runs it itself without an invoker). After an event
// of a fast stream it looks at the device itself and hands the next event over at once while
// bytes are queued, before it acknowledges.
void RunMsgThread(std::shared_ptr<TCommLink> link);
