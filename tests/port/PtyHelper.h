#pragma once
// Test helpers for the serial port tests: the far end of a pseudo-terminal
// standing in for the logger, a private port directory, and waiting on a
// condition with a deadline.
#include "platform/PortDirectory.h"
#include "tests/Deadline.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace zelt::test {

// Runs the event loop until cond() holds or timeoutMs (at normal speed,
// stretched for this build) passed; returns cond().
template <class Cond>
bool waitUntil(Cond cond, int timeoutMs = 5000)
{
    timeoutMs = deadline(timeoutMs);
    QElapsedTimer timer;
    timer.start();
    while (!cond()) {
        if (timer.elapsed() >= timeoutMs)
            return cond();
        QEventLoop loop;
        QTimer::singleShot(2, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// The master side of a pseudo-terminal: what the logger would be. Its slave
// is the device the port opens.
class Pty {
public:
    Pty()
    {
        fd_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0 || grantpt(fd_) != 0 || unlockpt(fd_) != 0) {
            closeMaster();
            return;
        }
        if (const char* name = ptsname(fd_))
            slave_ = QString::fromLocal8Bit(name);
    }
    ~Pty() { closeMaster(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool ok() const { return fd_ >= 0 && !slave_.isEmpty(); }
    QString slavePath() const { return slave_; }

    // Queues bytes for the port; pump() moves them.
    void send(const QByteArray& bytes) { out_ += bytes; pump(); }
    bool allSent() { pump(); return out_.isEmpty(); }

    // Everything the port wrote so far.
    QByteArray received() { pump(); return in_; }
    QByteArray takeReceived() { pump(); QByteArray r; r.swap(in_); return r; }

    // True once no one holds the slave side open any more (a read of the
    // master then fails with EIO).
    bool slaveClosed() { pump(); return hangup_; }

    // The logger goes away.
    void closeMaster()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

    void pump()
    {
        if (fd_ < 0)
            return;
        while (!out_.isEmpty()) {
            const ssize_t n = ::write(fd_, out_.constData(), static_cast<size_t>(out_.size()));
            if (n <= 0)
                break;
            out_.remove(0, n);
        }
        char buf[4096];
        while (true) {
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n > 0) {
                hangup_ = false;
                in_.append(buf, n);
                continue;
            }
            if (n < 0 && errno == EIO)
                hangup_ = true;
            break;
        }
    }

private:
    int fd_ = -1;
    QString slave_;
    QByteArray out_;
    QByteArray in_;
    bool hangup_ = false;
};

// Gives each test its own port directory, so registrations stay private.
class PortDirFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        qputenv("ZELT_PORT_DIR", dir_.path().toLocal8Bit());
    }
    void TearDown() override { qunsetenv("ZELT_PORT_DIR"); }

    void registerDevice(int comNumber, const QString& device)
    {
        std::string error;
        ASSERT_TRUE(registerPort(comNumber, device.toStdString(), &error)) << error;
    }

    QTemporaryDir dir_;
};

}  // namespace zelt::test
