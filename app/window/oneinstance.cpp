// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window/oneinstance.h"

#include "base/exception.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QWidget>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace instanceblock {

std::string BlockName(std::string_view executableFileName, uid_t uid) {
    const auto slash = executableFileName.rfind('/');
    if (slash != std::string_view::npos) {
        executableFileName.remove_prefix(slash + 1);
    }
    std::string name = "/";
    for (const char c : executableFileName) {
        name += (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
    }
    name += '.';
    name += std::to_string(uid);
    return name;
}

Claim::Claim(Claim&& other) noexcept
    : Result(other.Result), RecordedPid(other.RecordedPid), Error(other.Error),
      m_fd(std::exchange(other.m_fd, -1)), m_name(std::move(other.m_name)) {}

Claim& Claim::operator=(Claim&& other) noexcept {
    if (this != &other) {
        Release();
        Result = other.Result;
        RecordedPid = other.RecordedPid;
        Error = other.Error;
        m_fd = std::exchange(other.m_fd, -1);
        m_name = std::move(other.m_name);
    }
    return *this;
}

Claim::~Claim() {
    Release();
}

void Claim::Release() {
    if (m_fd < 0) {
        return;
    }
    // Unlink while still holding the lock, so no later start can lock the old object.
    if (Result == ClaimResult::Claimed) {
        shm_unlink(m_name.c_str());
    }
    close(m_fd);
    m_fd = -1;
}

namespace {

pid_t readPid(int fd) {
    std::int32_t pid = 0;
    if (pread(fd, &pid, sizeof pid, 0) != ssize_t(sizeof pid)) {
        return 0;
    }
    return pid_t(pid);
}

// True when the name still denotes the object open on fd: a holder that just ended unlinks
// the name, and locking that orphaned object would make two first copies.
bool nameStillRefersTo(const std::string& name, int fd) {
    struct stat own {};
    if (fstat(fd, &own) != 0) {
        return false;
    }
    const int again = shm_open(name.c_str(), O_RDONLY, 0);
    if (again < 0) {
        return false;
    }
    struct stat other {};
    const bool same =
        fstat(again, &other) == 0 && other.st_ino == own.st_ino && other.st_dev == own.st_dev;
    close(again);
    return same;
}

} // namespace

Claim ClaimBlock(const std::string& name) {
    Claim claim;
    claim.m_name = name;
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = shm_open(name.c_str(), O_RDWR | O_CREAT, 0600);
        if (fd < 0) {
            claim.Error = errno;
            return claim;
        }
        struct stat st {};
        if (fstat(fd, &st) != 0 || st.st_uid != geteuid()) {
            // Somebody else's object under our name: do not trust it, run unguarded.
            claim.Error = errno != 0 ? errno : EACCES;
            close(fd);
            return claim;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            if (err == EWOULDBLOCK) {
                claim.Result = ClaimResult::Occupied;
                claim.RecordedPid = readPid(fd);
            } else {
                claim.Error = err;
            }
            close(fd);
            return claim;
        }
        if (!nameStillRefersTo(name, fd)) {
            close(fd);
            continue;
        }
        std::array<unsigned char, kBlockSize> block{};
        const auto pid = std::int32_t(getpid());
        std::memcpy(block.data(), &pid, sizeof pid);
        if (ftruncate(fd, off_t(kBlockSize)) != 0 ||
            pwrite(fd, block.data(), block.size(), 0) != ssize_t(block.size())) {
            claim.Error = errno;
            close(fd);
            return claim;
        }
        claim.Result = ClaimResult::Claimed;
        claim.RecordedPid = pid_t(pid);
        claim.m_fd = fd;
        return claim;
    }
    claim.Error = EAGAIN;
    return claim;
}

pid_t ReadRecordedPid(const std::string& name) {
    const int fd = shm_open(name.c_str(), O_RDONLY, 0);
    if (fd < 0) {
        return 0;
    }
    const pid_t pid = readPid(fd);
    close(fd);
    return pid;
}

} // namespace instanceblock

namespace {

bool s_guardExists = false;

constexpr QByteArrayView kActivateRequest = "activate\n";
constexpr QByteArrayView kActivateAnswer = "ok\n";
constexpr qint64 kMaxRequestLength = 64;

QString executableFileName() {
    if (QCoreApplication::instance() != nullptr) {
        return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    }
    return QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget().section('/', -1);
}

} // namespace

TOneInstance::TOneInstance(QObject* parent, const QString& name) : QObject(parent) {
    if (s_guardExists) {
        throw Exception("TOneInstance:\rAlready one TOneInstance control in this project!");
    }
    s_guardExists = true;
    const QString base = name.isEmpty() ? executableFileName() : name;
    m_blockName = instanceblock::BlockName(base.toStdString(), geteuid());
    m_serverName = QString::fromStdString(m_blockName.substr(1));
}

TOneInstance::~TOneInstance() {
    if (m_server != nullptr) {
        m_server->close();
    }
    s_guardExists = false;
}

bool TOneInstance::IsFirstInstance() {
    if (!m_decided) {
        m_decided = true;
        m_claim = std::make_unique<instanceblock::Claim>(instanceblock::ClaimBlock(m_blockName));
        m_first = m_claim->Result != instanceblock::ClaimResult::Occupied;
        if (m_claim->Result == instanceblock::ClaimResult::Claimed) {
            startServer();
        }
    }
    return m_first;
}

void TOneInstance::startServer() {
    // We hold the block, so a socket left under this name belongs to a copy that is gone.
    QLocalServer::removeServer(m_serverName);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &TOneInstance::onNewConnection);
    m_server->listen(m_serverName);
}

void TOneInstance::onNewConnection() {
    while (m_server->hasPendingConnections()) {
        QLocalSocket* socket = m_server->nextPendingConnection();
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this,
                [this, socket] { onSocketReadable(socket); });
        if (socket->bytesAvailable() > 0) {
            onSocketReadable(socket);
        }
    }
}

void TOneInstance::onSocketReadable(QLocalSocket* socket) {
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kMaxRequestLength) {
            socket->abort();
        }
        return;
    }
    const QByteArray request = socket->readLine(kMaxRequestLength + 1);
    if (request != kActivateRequest) {
        socket->abort();
        return;
    }
    BringToFront(m_mainWindow);
    socket->write(kActivateAnswer.data(), kActivateAnswer.size());
    socket->flush();
    socket->disconnectFromServer();
    emit AnotherInstanceStarted();
}

bool TOneInstance::HandOver(int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    const auto remaining = [&] { return int(std::max<qint64>(0, timeoutMs - clock.elapsed())); };
    do {
        QLocalSocket socket;
        socket.connectToServer(m_serverName);
        if (socket.waitForConnected(remaining())) {
            socket.write(kActivateRequest.data(), kActivateRequest.size());
            if (!socket.waitForBytesWritten(remaining())) {
                return false;
            }
            while (!socket.canReadLine()) {
                if (!socket.waitForReadyRead(remaining())) {
                    return false;
                }
            }
            return socket.readLine(kMaxRequestLength) == kActivateAnswer;
        }
        // The running copy may not be listening yet: it claims the block first.
        QThread::msleep(20);
    } while (remaining() > 0);
    return false;
}

void TOneInstance::BringToFront(QWidget* window) {
    if (window == nullptr) {
        return;
    }
    if (window->isMinimized()) {
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    }
    window->show();
    window->raise();
    window->activateWindow();
}
