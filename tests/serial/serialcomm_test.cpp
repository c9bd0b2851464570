// SPDX-License-Identifier: GPL-3.0-or-later
// The serial component against pseudo-terminals: configuration rules, open failures, and the
// guarantees of the receive path (order, block sizes, closing from a handler, exceptions,
// unplugging, line errors through a substitute platform layer).

#include "serial/deviceaccess.h"
#include "serial/serialcomm.h"
#include "tests/serial/ptyfixture.h"
#include "tests/support/lineerrorplatform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <new>
#include <random>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
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
    std::vector<TCloseReason> closeReasons; // as OnClose reads them
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
        comm.OnClose = [this](TCommBaseIO*) { rec.closeReasons.push_back(comm.CloseReason()); };
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

namespace {

// A child process that holds path open until it is killed; stands in for a terminal program.
class HoldingProcess {
public:
    explicit HoldingProcess(const std::string& path) {
        int ready[2];
        if (::pipe(ready) != 0) {
            return;
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            // Only async-signal-safe calls after fork in a threaded process.
            const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            const char ok = fd >= 0 ? '1' : '0';
            [[maybe_unused]] const ssize_t n = ::write(ready[1], &ok, 1);
            for (;;) {
                ::pause();
            }
        }
        ::close(ready[1]);
        char ok = '0';
        m_holding = m_pid > 0 && ::read(ready[0], &ok, 1) == 1 && ok == '1';
        ::close(ready[0]);
    }
    ~HoldingProcess() { release(); }
    bool holding() const { return m_holding; }
    void release() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

private:
    pid_t m_pid = -1;
    bool m_holding = false;
};

bool exclusive(int fd) {
    int flag = 0;
    return ::ioctl(fd, TIOCGEXCL, &flag) == 0 && flag != 0;
}

} // namespace

TEST(SerialCommOpen, PortHeldByAnotherOpenOrProcessIsRefused) {
    const std::string refused = "Device \"COM5\" Open Error !!!\rZugriff verweigert";
    PortFolder ports;
    Pty pty;
    ports.link(5, pty.slavePath());
    Rig first, second;
    first.comm.SetComPortNo(5);
    second.comm.SetComPortNo(5);
    first.comm.SetActive(true);
    ASSERT_TRUE(first.comm.Active());
    // Later openers other than root are refused by the driver.
    EXPECT_TRUE(exclusive(first.comm.Handle()));
    EXPECT_THROW(second.comm.SetActive(true), ECommError);
    EXPECT_EQ(second.comm.LastErrorText(), refused);
    first.comm.SetActive(false);
    second.comm.SetActive(true);
    EXPECT_TRUE(second.comm.Active());
    second.comm.SetActive(false);

    // Another process (a terminal program, a second reader) that has the device open, whether
    // or not it locks it; root is refused too.
    {
        HoldingProcess other(pty.slavePath());
        ASSERT_TRUE(other.holding());
        EXPECT_THROW(first.comm.SetActive(true), ECommError);
        EXPECT_EQ(first.comm.LastErrorText(), refused);
        EXPECT_FALSE(first.comm.Active());
    }
    // Once it has gone, and after an earlier close, the device is free again.
    first.comm.SetActive(true);
    ASSERT_TRUE(first.comm.Active());
    first.comm.SetActive(false);
    const int fd = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(exclusive(fd));
    ::close(fd);
}

TEST(SerialCommOpen, AccessDeniedByTheDevicesGroupSaysHowToJoinIt) {
    const std::string hint =
        "Das Gerät gehört der Gruppe dialout: mit sudo usermod -aG dialout $USER beitreten und "
        "neu anmelden";
    const struct {
        const char* name;
        DeviceOwnership device;
        uid_t user;
        std::vector<gid_t> groups;
        std::string expected;
    } cases[] = {
        {"not in the group", {0, 20, S_IFCHR | 0660}, 1000, {1000, 24}, hint},
        {"in the group already", {0, 20, S_IFCHR | 0660}, 1000, {1000, 20}, ""},
        {"the owner", {1000, 20, S_IFCHR | 0060}, 1000, {1000}, ""},
        {"root", {1000, 20, S_IFCHR | 0660}, 0, {0}, ""},
        {"group may not write", {0, 20, S_IFCHR | 0640}, 1000, {1000}, ""},
        {"group may not read", {0, 20, S_IFCHR | 0620}, 1000, {1000}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AccessDeniedHint(c.device, c.user, c.groups, "dialout"), c.expected) << c.name;
    }

    // The whole message, from a real refusal: only root can act as a user who is refused.
    if (::geteuid() != 0) {
        GTEST_SKIP() << "a refused open needs another user, which only root can become";
    }
    PortFolder ports;
    ::chmod(ports.path().c_str(), 0755);
    const std::string device = (ports.path() / "ttyDenied").string();
    std::ofstream(device) << "";
    const gid_t gid = 4242;
    ASSERT_EQ(::chown(device.c_str(), 0, gid), 0);
    ASSERT_EQ(::chmod(device.c_str(), 0660), 0);
    const group* known = ::getgrgid(gid);
    const std::string name = known ? known->gr_name : std::to_string(gid);
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        std::string text = "no refusal";
        if (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0) {
            TSerialComm comm;
            comm.SetDeviceName(device);
            comm.OnFatalError = [](TCommBaseIO*, std::uint32_t, std::uint32_t, const std::string&,
                                   bool& raise) { raise = false; };
            comm.SetActive(true);
            text = comm.LastErrorText();
        }
        [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], text.data(), text.size());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(text, "Device \"" + device +
                        "\" Open Error !!!\rZugriff verweigert. Das Gerät gehört der Gruppe " +
                        name + ": mit sudo usermod -aG " + name +
                        " $USER beitreten und neu anmelden");
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
    // Closes that were asked for never read as a lost device.
    EXPECT_EQ(rig.rec.closeReasons, (std::vector<TCloseReason>{crRequested, crRequested}));
    EXPECT_EQ(rig.comm.CloseReason(), crRequested);

    // On a closed port a new number only stores and notifies.
    rig.comm.SetComPortNo(7);
    EXPECT_FALSE(rig.comm.Active());
    EXPECT_EQ(rig.rec.notifications.back(), 3);

    rig.comm.SetBufferInSize(100);
    rig.comm.SetActive(true);
    EXPECT_EQ(rig.comm.ReceiveBufferSize(), 8192u);
    rig.comm.PurgeAll();
}

TEST(SerialCommLifecycle, LineIsRawWhateverCharacterSizeTheDriverRefuses) {
    // A fresh terminal is cooked: CR would become LF and bytes would be echoed to the device.
    // (A pseudo-terminal keeps 8 bits whatever is asked, so only the refused size is of use.)
    {
        PortFolder ports;
        Pty pty(Pty::Line::Cooked);
        ports.link(5, pty.slavePath());
        Rig rig;
        rig.comm.SetComPortNo(5);
        rig.comm.SetByteSize(4);
        rig.comm.SetActive(true);
        termios t{};
        ASSERT_EQ(::tcgetattr(rig.comm.Handle(), &t), 0);
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(t.c_iflag & (ICRNL | IXON), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
        // 4 bits cannot be set: the previous size (8 on a fresh terminal) stays.
        EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t{CS8});
        ASSERT_TRUE(pty.write("1.5\r\n"));
        ASSERT_TRUE(rig.waitFor(5));
        EXPECT_EQ(rig.rec.received, "1.5\r\n");
    }
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
    // A block is at most what the device's input queue held when it was counted (a tty's queue
    // holds 4096 bytes): the pipeline stops on blocks that only a lost reader could see.
    for (auto n : rig.rec.blockSizes) {
        ASSERT_GT(n, 0u);
        ASSERT_LE(n, 4096u);
    }
}

namespace {

// A driver that hands out fewer bytes per read than its input count said (USB adapters do, while
// a pty never does): at most `limit` bytes a read.
class ShortReadPlatform : public TPosixCommPlatform {
public:
    long Read(int handle, void* buffer, std::size_t count) override {
        return TPosixCommPlatform::Read(handle, buffer, std::min(count, limit));
    }
    std::size_t limit = 7;
};

} // namespace

TEST(SerialCommReceive, ShortReadsDeliverExactlyTheBytesRead) {
    PortFolder ports;
    Pty pty;
    ports.link(5, pty.slavePath());
    auto platform = std::make_shared<ShortReadPlatform>();
    Rig rig(platform);
    rig.comm.SetComPortNo(5);
    rig.comm.SetActive(true);
    // Less than a pty holds, so that it is all queued before the first event.
    const std::string data = randomBytes(3000, 11);
    ASSERT_TRUE(pty.write(data));
    ASSERT_TRUE(rig.waitFor(data.size())) << rig.rec.received.size() << " of " << data.size();
    rig.loop->runFor(20ms);
    // Nothing of the buffer beyond what a read filled reaches the handler.
    EXPECT_TRUE(rig.rec.received == data) << rig.rec.received.size() << " of " << data.size();
    for (auto n : rig.rec.blockSizes) {
        ASSERT_LE(n, platform->limit);
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
    enum Kind { Program, Standard, OutOfMemory };
    const struct {
        const char* name;
        bool raise;
        Kind kind;
        const char* text;
        std::size_t shown;
    } cases[] = {
        {"program exception, shown", true, Program, "'1,2x' ist kein gültiger Gleitkommawert", 1},
        {"program exception, handler declines", false, Program,
         "'1,2x' ist kein gültiger Gleitkommawert", 0},
        {"standard exception, shown", true, Standard, "kaputt", 1},
        {"out of memory, in German", true, OutOfMemory, "Zu wenig Arbeitsspeicher", 1},
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
                if (c.kind == Standard) {
                    throw std::runtime_error("kaputt");
                }
                if (c.kind == OutOfMemory) {
                    throw std::bad_alloc();
                }
                throw EConvertError("'1,2x' ist kein gültiger Gleitkommawert");
            }
        };
        const std::string text = c.text;
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
    // Unplugged while idle, and in the middle of a stream fast enough that the message worker
    // hands events over by itself: what arrived is an intact prefix either way.
    for (bool streaming : {false, true}) {
        SCOPED_TRACE(streaming ? "streaming" : "idle");
        PortFolder ports;
        auto pty = std::make_unique<Pty>();
        ports.link(5, pty->slavePath());
        Rig rig;
        rig.comm.SetComPortNo(5);
        rig.comm.SetActive(true);
        std::string sent = "before";
        ASSERT_TRUE(pty->write(sent));
        ASSERT_TRUE(rig.waitFor(sent.size()));
        rig.rec.notifications.clear();

        std::thread writer;
        if (streaming) {
            sent += randomBytes(400000, 3);
            writer = std::thread([&] {
                pty->write(std::string_view(sent).substr(6));
                pty->hangUp();
            });
        } else {
            pty->hangUp();
        }
        EXPECT_TRUE(rig.loop->runUntil([&] { return !rig.comm.Active(); }));
        if (writer.joinable()) {
            writer.join();
        }
        EXPECT_EQ(rig.rec.notifications, std::vector<int>{1});
        EXPECT_EQ(rig.rec.closeReasons, std::vector<TCloseReason>{crDeviceLost});
        EXPECT_TRUE(rig.rec.fatalErrors.empty());
        ASSERT_LE(rig.rec.received.size(), sent.size());
        EXPECT_TRUE(sent.compare(0, rig.rec.received.size(), rig.rec.received) == 0);
        EXPECT_GE(rig.rec.received.size(), streaming ? 100000u : sent.size());
        rig.comm.SetActive(false); // the window's later Stop finds it closed
        EXPECT_EQ(rig.comm.CloseReason(), crDeviceLost);

        pty = std::make_unique<Pty>();
        ports.link(5, pty->slavePath());
        rig.comm.SetActive(true);
        EXPECT_EQ(rig.comm.CloseReason(), crNone);
        const std::size_t before = rig.rec.received.size();
        ASSERT_TRUE(pty->write("after"));
        EXPECT_TRUE(rig.waitFor(before + 5));
        EXPECT_EQ(rig.rec.received.substr(before), "after");
    }
}

TEST(SerialCommReceive, LineErrorsReachOnCommErrorAndTheBytesGoWithTheNextEvent) {
    for (bool flush : {false, true}) {
        SCOPED_TRACE(flush ? "handler flushes" : "handler keeps the bytes");
        PortFolder ports;
        Pty pty;
        ports.link(5, pty.slavePath());
        auto platform = std::make_shared<LineErrorPlatform>();
        Rig rig(platform);
        rig.flushOnCommError = flush;
        std::string receivedAtError = "none";
        rig.comm.OnCommError = [&](TCommBaseIO*, std::uint32_t code, std::uint32_t, TComStateFlags,
                                   bool& flFlashBuffers) {
            rig.rec.commErrors.push_back(code);
            receivedAtError = rig.rec.received;
            flFlashBuffers = flush;
        };
        rig.comm.SetComPortNo(5);
        rig.comm.SetActive(true);

        platform->pending = CE_FRAME | CE_RXPARITY;
        ASSERT_TRUE(pty.write("abc"));
        ASSERT_TRUE(rig.loop->runUntil([&] { return !rig.rec.commErrors.empty(); }));
        EXPECT_EQ(rig.rec.commErrors, std::vector<std::uint32_t>{CE_FRAME | CE_RXPARITY});
        // Nothing is read for the error's event; the bytes it left queued follow without
        // waiting for a new arrival, unless the handler purged them.
        EXPECT_EQ(receivedAtError, "");
        if (!flush) {
            EXPECT_TRUE(rig.waitFor(3));
        } else {
            rig.loop->runFor(50ms);
        }
        EXPECT_EQ(rig.rec.received, flush ? "" : "abc");

        ASSERT_TRUE(pty.write("d"));
        ASSERT_TRUE(
            rig.loop->runUntil([&] { return rig.rec.received.find('d') != std::string::npos; }));
        rig.loop->runFor(20ms);
        EXPECT_EQ(rig.rec.received, flush ? "d" : "abcd");
    }
}

TEST(SerialCommReceive, LineErrorWhileTheInputQueueIsFullDoesNotStopDelivery) {
    // The queue cannot grow while it is full, so an error event that left it for a later change
    // of the count would never be followed by another read.
    PortFolder ports;
    Pty pty;
    ports.link(5, pty.slavePath());
    auto platform = std::make_shared<LineErrorPlatform>();
    Rig rig(platform);
    rig.comm.SetComPortNo(5);
    rig.comm.SetActive(true);
    const std::string data = randomBytes(40000, 3);
    // The main thread takes no event until the writer is held back by a full queue.
    std::thread writer([&] { pty.write(data); });
    int queued = 0;
    for (int i = 0; i < 1000 && queued < 4095; ++i) {
        std::this_thread::sleep_for(10ms);
        ::ioctl(rig.comm.Handle(), FIONREAD, &queued);
    }
    EXPECT_EQ(queued, 4095);
    platform->pending = CE_FRAME;
    const bool complete = rig.waitFor(data.size());
    if (!complete) {
        // Release the writer through a reader that takes the rest.
        rig.comm.SetActive(false);
        TSerialComm drain;
        drain.SetComPortNo(5);
        drain.OnAfterReceive = [](TCommBaseIO*, const char*, std::uint32_t) {};
        drain.SetActive(true);
        writer.join();
    } else {
        writer.join();
    }
    ASSERT_TRUE(complete) << rig.rec.received.size() << " of " << data.size();
    EXPECT_EQ(rig.rec.commErrors, std::vector<std::uint32_t>{CE_FRAME});
    EXPECT_TRUE(rig.rec.received == data);
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

TEST(SerialCommReceive, SlowDeviceLinesComeAsTheirOwnBlocksAFastDevicesAreGathered) {
    // A paced writer of 7-byte lines, as a device: at 200 lines/s each line is handed over on
    // its own, so the window shows it without delay; at 5 000 lines/s arrivals are gathered
    // into blocks of many lines, sparing a hand-off per line.
    const std::string line = "1.234\r\n";
    const auto run = [&](int linesPerSecond, int count) {
        PortFolder ports;
        Pty pty;
        ports.link(5, pty.slavePath());
        Rig rig;
        rig.comm.SetComPortNo(5);
        rig.comm.SetActive(true);
        std::thread writer([&] {
            const auto period = std::chrono::nanoseconds(1'000'000'000 / linesPerSecond);
            auto due = std::chrono::steady_clock::now();
            for (int i = 0; i < count; ++i) {
                std::this_thread::sleep_until(due);
                pty.write(line);
                due += period;
            }
        });
        const bool complete = rig.waitFor(line.size() * count);
        writer.join();
        EXPECT_TRUE(complete) << rig.rec.received.size();
        return rig.rec.blockSizes;
    };

    const std::vector<std::uint32_t> slow = run(200, 60);
    const auto single = std::count(slow.begin(), slow.end(), line.size());
    // Gathering every arrival made most blocks several lines; a loaded machine may now and then run
    // two lines together still.
    EXPECT_GE(single * 2, static_cast<long>(slow.size()))
        << testing::PrintToString(slow) << " of " << slow.size();

    const std::vector<std::uint32_t> fast = run(5000, 1000);
    EXPECT_LE(fast.size() * 4, 1000u) << "hand-offs for 1000 lines";
}

namespace {

class WaitCountingPlatform : public TPosixCommPlatform {
public:
    TWaitResult Wait(int handle, bool watchInput, int wakeFd, int timeoutMs) override {
        ++waits;
        return TPosixCommPlatform::Wait(handle, watchInput, wakeFd, timeoutMs);
    }
    std::atomic<long> waits{0};
};

} // namespace

TEST(SerialCommShutdown, CommEventWorkerRestsOnceTheMessageWorkerHasEnded) {
    PortFolder ports;
    Pty pty;
    ports.link(5, pty.slavePath());
    auto platform = std::make_shared<WaitCountingPlatform>();
    Rig rig(platform);
    rig.comm.SetComPortNo(5);
    rig.comm.SetActive(true);
    // The main thread's loop is gone: the invoker returns without running the hand-off, so the
    // message worker ends on its own at the next event.
    rig.loop->close();
    ASSERT_TRUE(pty.write("x"));
    std::this_thread::sleep_for(100ms);
    const long before = platform->waits.load();
    std::this_thread::sleep_for(100ms);
    EXPECT_LE(platform->waits.load() - before, 2) << "the comm-event worker keeps waking up";
    rig.comm.SetActive(false);
    EXPECT_FALSE(rig.comm.Active());
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
