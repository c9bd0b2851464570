// The serial component against pseudo-terminals: configuration rules, open failures, and the
// guarantees of the receive path (order, block sizes, closing from a handler, exceptions,
// unplugging, line errors through a substitute platform layer).

#include "serial/serialcomm.h"
#include "tests/serial/ptyfixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <random>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Everything the handlers saw, checked on the "main thread".
struct Recorder {
    std::string received;
    std::vector<std::uint32_t> blockSizes;
    std::vector<std::string> fatalErrors;
    std::vector<std::uint32_t> fatalCodes;
    std::vector<std::string> shown;
    std::vector<int> notifications;
    std::vector<std::uint32_t> commErrors;
    bool offMainThread = false;
    bool reentered = false;
    int depth = 0;
};

// A component wired to a recorder and a main loop, as the window wires it.
struct Rig {
    explicit Rig(std::shared_ptr<TCommPlatform> platform = nullptr) : comm(std::move(platform)) {
        comm.SetMainThreadInvoker(loop->invoker());
        comm.SetBufferInSize(32768);
        comm.SetStreamProtocol(spNone);
        comm.OnAfterReceive = [this](TCommBaseIO*, const char* buffer, std::uint32_t n) {
            if (std::this_thread::get_id() != loop->threadId()) {
                rec.offMainThread = true;
            }
            if (rec.depth++ > 0) {
                rec.reentered = true;
            }
            rec.received.append(buffer, n);
            rec.blockSizes.push_back(n);
            if (onBlock) {
                onBlock(n);
            }
            --rec.depth;
        };
        comm.OnFatalError = [this](TCommBaseIO*, std::uint32_t code, std::uint32_t,
                                   const std::string& msg, bool& raise) {
            rec.fatalCodes.push_back(code);
            rec.fatalErrors.push_back(msg);
            raise = raiseOnFatal;
        };
        comm.OnCommError = [this](TCommBaseIO*, std::uint32_t code, std::uint32_t sysError,
                                  TComStateFlags, bool& flush) {
            EXPECT_EQ(sysError, 0u);
            rec.commErrors.push_back(code);
            flush = flushOnCommError;
        };
        comm.SetShowException([this](const Exception& e) { rec.shown.push_back(e.Message()); });
        comm.ListenerList().Add(
            [this](void* data, TCommBaseIO* com, int code) {
                EXPECT_EQ(data, this);
                EXPECT_EQ(com, &comm);
                rec.notifications.push_back(code);
            },
            this);
    }

    bool waitFor(std::size_t bytes) {
        return loop->runUntil([&] { return rec.received.size() >= bytes; });
    }

    std::shared_ptr<MainLoop> loop = MainLoop::create();
    Recorder rec;
    std::function<void(std::uint32_t)> onBlock;
    bool raiseOnFatal = true;
    bool flushOnCommError = false;
    TSerialComm comm;
};

std::string randomBytes(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string bytes(n, '\0');
    for (auto& c : bytes) {
        c = static_cast<char>(gen() & 0xff);
    }
    return bytes;
}

} // namespace

TEST(SerialCommProperties, DefaultsAndSetterRules) {
    TSerialComm comm;
    EXPECT_FALSE(comm.Active());
    EXPECT_EQ(comm.BaudRate(), 19200u);
    EXPECT_EQ(comm.ByteSize(), 8);
    EXPECT_EQ(comm.Parity(), pNone);
    EXPECT_EQ(comm.StopBits(), sbOne);
    EXPECT_EQ(comm.StreamProtocol(), spHardware);
    EXPECT_EQ(comm.ComPortNo(), 1);
    EXPECT_EQ(comm.ComPort(), cpCOM1);
    EXPECT_EQ(comm.BufferInSize(), 8192);
    EXPECT_EQ(comm.BufferOutSize(), 8192);
    EXPECT_TRUE(comm.UseMainThread());
    EXPECT_EQ(comm.TraceStates(), 0);
    EXPECT_EQ(comm.EventMask(), EV_RXCHAR);
    EXPECT_EQ(comm.PortName(), "COM1");

    const struct {
        std::uint8_t set, stored;
    } byteSizes[] = {{3, 8}, {9, 8}, {0, 8}, {4, 4}, {5, 5}, {7, 7}, {8, 8}};
    for (const auto& c : byteSizes) {
        comm.SetByteSize(c.set);
        EXPECT_EQ(comm.ByteSize(), c.stored) << "ByteSize " << int(c.set);
    }

    comm.SetComPortNo(12);
    EXPECT_EQ(comm.ComPort(), cpCOMxx);
    EXPECT_EQ(comm.PortName(), "COM12");
    comm.SetComPort(cpCOMxx);
    EXPECT_EQ(comm.ComPortNo(), 12);
    comm.SetComPort(cpCOM5);
    EXPECT_EQ(comm.ComPortNo(), 5);
    EXPECT_EQ(comm.ComPort(), cpCOM5);
    comm.SetComPortNo(0);
    EXPECT_EQ(comm.ComPort(), cpCOMxx);

    comm.SetTraceStates(TraceSet(tsRxFlag) | TraceSet(tsBreak) | TraceSet(tsEvent2));
    EXPECT_EQ(comm.EventMask(), EV_RXCHAR | EV_RXFLAG | EV_BREAK | EV_EVENT2);
}

TEST(SerialCommOpen, FailuresReportThroughFatalErrorThenRaise) {
    PortFolder ports;
    const std::string regularFile = (ports.path() / "notatty").string();
    std::ofstream(regularFile) << "x";
    const struct {
        std::uint16_t portNo;
        std::string device;
        std::string expected;
    } cases[] = {
        {0, "",
         "Device \"COM0\" Open Error !!!\rDas System kann die angegebene Datei nicht finden"},
        {3, "/nonexistent/ttyX",
         "Device \"/nonexistent/ttyX\" Open Error !!!\rDas System kann die angegebene Datei nicht "
         "finden"},
        {3, regularFile, "Device \"" + regularFile + "\" Open Error !!!\rUnzulässige Funktion"},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.comm.SetComPortNo(c.portNo);
        if (!c.device.empty()) {
            rig.comm.SetDeviceName(c.device);
        }
        try {
            rig.comm.SetActive(true);
            ADD_FAILURE() << "no exception for " << c.expected;
        } catch (const ECommError& e) {
            EXPECT_EQ(e.Message(), c.expected);
        }
        EXPECT_EQ(rig.rec.fatalErrors, std::vector<std::string>{c.expected});
        EXPECT_EQ(rig.rec.fatalCodes, std::vector<std::uint32_t>{1});
        EXPECT_EQ(rig.comm.LastErrorText(), c.expected);
        EXPECT_FALSE(rig.comm.Active());
        EXPECT_EQ(rig.comm.ReceiveBufferSize(), 0u);

        // A handler that clears RaiseException stops the exception.
        rig.raiseOnFatal = false;
        EXPECT_NO_THROW(rig.comm.SetActive(true));
        EXPECT_EQ(rig.rec.fatalErrors.size(), 2u);
        EXPECT_FALSE(rig.comm.Active());
    }
}

TEST(SerialCommOpen, PortHeldByAnotherOpenIsRefused) {
    PortFolder ports;
    Pty pty;
    ports.link(5, pty.slavePath());
    Rig first, second;
    first.comm.SetComPortNo(5);
    second.comm.SetComPortNo(5);
    first.comm.SetActive(true);
    ASSERT_TRUE(first.comm.Active());
    EXPECT_THROW(second.comm.SetActive(true), ECommError);
    EXPECT_EQ(second.comm.LastErrorText(), "Device \"COM5\" Open Error !!!\rZugriff verweigert");
    first.comm.SetActive(false);
    second.comm.SetActive(true);
    EXPECT_TRUE(second.comm.Active());
}

TEST(SerialCommLifecycle, OpenCloseReopenAndListenerCodes) {
    PortFolder ports;
    Pty a, b;
    ports.link(7, a.slavePath());
    ports.link(8, b.slavePath());
    Rig rig;
    rig.comm.SetComPortNo(7);
    rig.rec.notifications.clear();

    rig.comm.SetActive(true);
    rig.comm.SetActive(true); // no reopen
    EXPECT_EQ(rig.rec.notifications, (std::vector<int>{2}));
    EXPECT_EQ(rig.comm.ReceiveBufferSize(), 32768u);

    // Baud rates outside the classic table apply at once, without reopening.
    for (std::uint32_t baud : {110u, 14400u, 56000u, 128000u, 256000u, 115200u}) {
        rig.comm.SetBaudRate(baud);
        EXPECT_EQ(GetBaudRate(rig.comm.Handle()), baud);
    }
    EXPECT_EQ(rig.rec.notifications, (std::vector<int>{2}));

    // A new number closes and reopens: data on the new device arrives.
    rig.comm.SetComPortNo(8);
    EXPECT_TRUE(rig.comm.Active());
    EXPECT_EQ(rig.rec.notifications, (std::vector<int>{2, 1, 2, 3}));
    ASSERT_TRUE(b.write("on eight\r\n"));
    ASSERT_TRUE(rig.waitFor(10));
    EXPECT_EQ(rig.rec.received, "on eight\r\n");

    rig.comm.SetActive(false);
    rig.comm.SetActive(false); // closes once
    EXPECT_EQ(rig.rec.notifications, (std::vector<int>{2, 1, 2, 3, 1}));
    EXPECT_EQ(rig.comm.ReceiveBufferSize(), 0u);

    // On a closed port a new number only stores and notifies.
    rig.comm.SetComPortNo(7);
    EXPECT_FALSE(rig.comm.Active());
    EXPECT_EQ(rig.rec.notifications.back(), 3);

    rig.comm.SetBufferInSize(100);
    rig.comm.SetActive(true);
    EXPECT_EQ(rig.comm.ReceiveBufferSize(), 8192u);
    rig.comm.PurgeAll();
}

TEST(SerialCommReceive, BytesArriveIntactInOrderOnTheMainThread) {
    // Binary noise with NUL bytes, in writes of every size from 1 byte to well above the pty's
    // queue, while the main thread is slow now and then so that blocks pile up.
    PortFolder ports;
    Pty pty;
    ports.link(5, pty.slavePath());
    Rig rig;
    rig.comm.SetComPortNo(5);
    rig.comm.SetBufferInSize(0); // smallest buffer: 8192 bytes
    rig.comm.SetActive(true);
    int blocks = 0;
    rig.onBlock = [&](std::uint32_t) {
        if (++blocks % 50 == 0) {
            std::this_thread::sleep_for(2ms);
        }
    };
    const std::string data = randomBytes(600000, 42);
    std::thread writer([&] {
        std::mt19937 gen(7);
        std::size_t pos = 0;
        while (pos < data.size()) {
            const std::size_t n = std::min<std::size_t>(data.size() - pos, 1 + gen() % 20000);
            pty.write(std::string_view(data).substr(pos, n));
            pos += n;
        }
    });
    const bool complete = rig.waitFor(data.size());
    writer.join();
    ASSERT_TRUE(complete) << rig.rec.received.size() << " of " << data.size();
    EXPECT_TRUE(rig.rec.received == data);
    EXPECT_FALSE(rig.rec.offMainThread);
    EXPECT_FALSE(rig.rec.reentered);
    for (auto n : rig.rec.blockSizes) {
        ASSERT_GT(n, 0u);
        ASSERT_LE(n, rig.comm.ReceiveBufferSize());
    }
}

TEST(SerialCommReceive, HandlerClosingThePortGetsNoFurtherCall) {
    PortFolder ports;
    Pty pty;
    ports.link(5, pty.slavePath());
    Rig rig;
    rig.comm.SetComPortNo(5);
    rig.comm.SetActive(true);
    int calls = 0;
    int callsAfterClose = 0;
    rig.onBlock = [&](std::uint32_t) {
        if (!rig.comm.Active()) {
            ++callsAfterClose;
        }
        if (++calls == 3) {
            rig.comm.SetActive(false);
        }
    };
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        while (!stop && pty.write(std::string(100, 'x'))) {
            std::this_thread::sleep_for(1ms);
        }
    });
    EXPECT_TRUE(rig.loop->runUntil([&] { return calls >= 3; }));
    rig.loop->runFor(100ms);
    stop = true;
    writer.join();
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(callsAfterClose, 0);
    EXPECT_FALSE(rig.comm.Active());
    EXPECT_EQ(rig.rec.notifications.back(), 1);

    // And it opens again and receives.
    rig.onBlock = nullptr;
    rig.rec.received.clear();
    rig.comm.SetActive(true);
    ASSERT_TRUE(pty.write("again"));
    EXPECT_TRUE(
        rig.loop->runUntil([&] { return rig.rec.received.find("again") != std::string::npos; }));
}

TEST(SerialCommReceive, HandlerExceptionsReachFatalErrorThenTheExceptionDisplay) {
    const struct {
        const char* name;
        bool raise;
        bool stdException;
        std::size_t shown;
    } cases[] = {
        {"program exception, shown", true, false, 1},
        {"program exception, handler declines", false, false, 0},
        {"standard exception, shown", true, true, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PortFolder ports;
        Pty pty;
        ports.link(5, pty.slavePath());
        Rig rig;
        rig.raiseOnFatal = c.raise;
        rig.comm.SetComPortNo(5);
        rig.comm.SetActive(true);
        bool thrown = false;
        rig.onBlock = [&](std::uint32_t) {
            if (!thrown) {
                thrown = true;
                if (c.stdException) {
                    throw std::runtime_error("kaputt");
                }
                throw EConvertError("'1,2x' ist kein gültiger Gleitkommawert");
            }
        };
        const std::string text =
            c.stdException ? "kaputt" : "'1,2x' ist kein gültiger Gleitkommawert";
        ASSERT_TRUE(pty.write("first"));
        ASSERT_TRUE(rig.loop->runUntil([&] { return !rig.rec.fatalErrors.empty(); }));
        EXPECT_EQ(rig.rec.fatalErrors, std::vector<std::string>{text});
        EXPECT_EQ(rig.rec.fatalCodes, std::vector<std::uint32_t>{1});
        EXPECT_EQ(rig.rec.shown.size(), c.shown);
        if (c.shown) {
            EXPECT_EQ(rig.rec.shown[0], text);
        }
        // The component does not close the port itself; later blocks still arrive.
        EXPECT_TRUE(rig.comm.Active());
        ASSERT_TRUE(pty.write("second"));
        EXPECT_TRUE(rig.loop->runUntil(
            [&] { return rig.rec.received.find("second") != std::string::npos; }));
    }
}

TEST(SerialCommReceive, UnpluggedDeviceClosesThePortAndItOpensAgain) {
    PortFolder ports;
    auto pty = std::make_unique<Pty>();
    ports.link(5, pty->slavePath());
    Rig rig;
    rig.comm.SetComPortNo(5);
    rig.comm.SetActive(true);
    ASSERT_TRUE(pty->write("before"));
    ASSERT_TRUE(rig.waitFor(6));
    rig.rec.notifications.clear();

    pty->hangUp();
    EXPECT_TRUE(rig.loop->runUntil([&] { return !rig.comm.Active(); }));
    EXPECT_EQ(rig.rec.notifications, std::vector<int>{1});
    EXPECT_TRUE(rig.rec.fatalErrors.empty());
    EXPECT_EQ(rig.rec.received, "before");
    rig.comm.SetActive(false); // the window's later Stop finds it closed

    pty = std::make_unique<Pty>();
    ports.link(5, pty->slavePath());
    rig.comm.SetActive(true);
    ASSERT_TRUE(pty->write("after"));
    EXPECT_TRUE(rig.waitFor(11));
    EXPECT_EQ(rig.rec.received, "beforeafter");
}

namespace {

// Line errors cannot be produced on a pty: this layer adds them to the next status query.
class LineErrorPlatform : public TPosixCommPlatform {
public:
    bool ClearCommError(int handle, std::uint32_t& errors, TComStat* stat) override {
        const bool ok = TPosixCommPlatform::ClearCommError(handle, errors, stat);
        errors |= pending.exchange(0);
        return ok;
    }
    std::atomic<std::uint32_t> pending{0};
};

} // namespace

TEST(SerialCommReceive, LineErrorsReachOnCommErrorAndLeaveTheBytesQueued) {
    for (bool flush : {false, true}) {
        SCOPED_TRACE(flush ? "handler flushes" : "handler keeps the bytes");
        PortFolder ports;
        Pty pty;
        ports.link(5, pty.slavePath());
        auto platform = std::make_shared<LineErrorPlatform>();
        Rig rig(platform);
        rig.flushOnCommError = flush;
        rig.comm.SetComPortNo(5);
        rig.comm.SetActive(true);

        platform->pending = CE_FRAME | CE_RXPARITY;
        ASSERT_TRUE(pty.write("abc"));
        ASSERT_TRUE(rig.loop->runUntil([&] { return !rig.rec.commErrors.empty(); }));
        EXPECT_EQ(rig.rec.commErrors, std::vector<std::uint32_t>{CE_FRAME | CE_RXPARITY});
        // Nothing is read for that event, nor before the next arrival.
        rig.loop->runFor(50ms);
        EXPECT_EQ(rig.rec.received, "");

        ASSERT_TRUE(pty.write("d"));
        ASSERT_TRUE(rig.loop->runUntil([&] { return !rig.rec.received.empty(); }));
        rig.loop->runFor(20ms);
        EXPECT_EQ(rig.rec.received, flush ? "d" : "abcd");
    }
}

TEST(SerialCommReceive, WithoutAConsumerNothingIsReadUntilOneIsAssigned) {
    PortFolder ports;
    Pty pty;
    ports.link(5, pty.slavePath());
    Rig rig;
    auto handler = std::move(rig.comm.OnAfterReceive);
    rig.comm.OnAfterReceive = nullptr;
    rig.comm.SetComPortNo(5);
    rig.comm.SetActive(true);
    ASSERT_TRUE(pty.write("kept"));
    rig.loop->runFor(60ms);
    EXPECT_EQ(rig.rec.received, "");
    rig.comm.OnAfterReceive = std::move(handler);
    ASSERT_TRUE(pty.write("!"));
    ASSERT_TRUE(rig.waitFor(5));
    EXPECT_EQ(rig.rec.received, "kept!");
}

TEST(SerialCommShutdown, DestroyedOrClosedWhileStreamingWithoutHangOrCrash) {
    // The worker may be blocked handing an event to a main thread that is busy closing or
    // destroying the component; with and without an invoker.
    for (bool withInvoker : {true, false}) {
        SCOPED_TRACE(withInvoker ? "invoker" : "direct");
        PortFolder ports;
        Pty pty;
        ports.link(5, pty.slavePath());
        std::atomic<bool> stop{false};
        std::atomic<std::size_t> total{0};
        std::thread writer([&] {
            const std::string chunk = randomBytes(3000, 1);
            while (!stop && pty.write(chunk)) {
            }
        });
        for (int round = 0; round < 20; ++round) {
            auto loop = MainLoop::create();
            auto comm = std::make_unique<TSerialComm>();
            if (withInvoker) {
                comm->SetMainThreadInvoker(loop->invoker());
            }
            comm->SetComPortNo(5);
            comm->OnAfterReceive = [&](TCommBaseIO*, const char*, std::uint32_t n) { total += n; };
            comm->SetActive(true);
            loop->runFor(std::chrono::milliseconds(round % 4));
            if (round % 2 == 0) {
                comm->SetActive(false);
            }
            comm.reset();
            loop->runFor(1ms);
        }
        stop = true;
        // The writer may be waiting on a full pty: drain it by opening the port once more.
        TSerialComm drain;
        drain.SetComPortNo(5);
        drain.OnAfterReceive = [](TCommBaseIO*, const char*, std::uint32_t) {};
        drain.SetActive(true);
        writer.join();
        EXPECT_GT(total.load(), 0u);
    }
}
