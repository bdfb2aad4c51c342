// The real serial port against pseudo-terminals: the test holds the master
// side (the logger) and registers the slave side as a COM number.
#include "link/QtComPort.h"

#include "PtyHelper.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <termios.h>

namespace zelt {
namespace {

using test::Pty;
using test::waitUntil;

class QtComPortTest : public test::PortDirFixture {
protected:
    void SetUp() override
    {
        PortDirFixture::SetUp();
        ASSERT_TRUE(pty.ok());
        registerDevice(77, pty.slavePath());
        port.setComNumber(77);
    }

    // Reads everything waiting, as receive handlers do.
    QByteArray drain()
    {
        QByteArray got;
        while (port.CharReady())
            got += port.GetChar();
        return got;
    }

    Pty pty;
    QtComPort port{[](const std::vector<SerialDeviceInfo>&) -> std::optional<int> {
        ADD_FAILURE() << "the chooser is only for port number 0";
        return std::nullopt;
    }};
};

std::string portErrorText(const std::function<void()>& action)
{
    try {
        action();
    } catch (const PortError& e) {
        return e.what();
    }
    return "(no PortError)";
}

TEST_F(QtComPortTest, StartsClosedOnComOne)
{
    QtComPort fresh;
    EXPECT_EQ(fresh.ComNumber(), 1);
    EXPECT_FALSE(fresh.Open());
    EXPECT_FALSE(fresh.CharReady());
    EXPECT_EQ(fresh.InBuffUsed(), 0);
    EXPECT_FALSE(fresh.Open()) << "CharReady must not open the port";
}

TEST_F(QtComPortTest, OpeningTwiceOpensOnceAndClosingAClosedPortDoesNothing)
{
    // Closing a port that was never opened.
    port.setOpen(false);
    EXPECT_FALSE(port.Open());

    port.setOpen(true);
    ASSERT_TRUE(port.Open());
    EXPECT_EQ(port.devicePath(), pty.slavePath());

    pty.send("abc");
    ASSERT_TRUE(waitUntil([&] { return port.InBuffUsed() == 3; }));
    // A second open must not reopen: a reopen would discard the waiting bytes.
    port.setOpen(true);
    EXPECT_TRUE(port.Open());
    EXPECT_EQ(port.InBuffUsed(), 3);
    EXPECT_EQ(drain(), QByteArray("abc"));

    const int errorsBefore = port.errorReports();
    port.setOpen(false);
    EXPECT_FALSE(port.Open());
    port.setOpen(false);
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(port.errorReports(), errorsBefore) << "closing a closed port touched the device";
    EXPECT_TRUE(waitUntil([&] { return pty.slaveClosed(); }));
}

// The line as the logger needs it: 115200 baud, 8 data bits, no parity, one
// stop bit, no flow control of either kind, raw bytes (no line editing, no
// echo: the enquiry byte and every other byte pass as they are), DTR asked
// for and RTS not. The terminal settings are read back from the device.
TEST_F(QtComPortTest, OpenedDeviceIsSetTo115200EightNoneOneWithoutFlowControl)
{
    port.setOpen(true);
    ASSERT_TRUE(port.Open());
    const int fd = ::open(pty.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios t{};
    const int got = tcgetattr(fd, &t);
    ::close(fd);
    ASSERT_EQ(got, 0);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B115200));
    EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B115200));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & PARENB, 0u) << "parity";
    EXPECT_EQ(t.c_cflag & CSTOPB, 0u) << "two stop bits";
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u) << "hardware flow control";
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY), 0u) << "XON/XOFF flow control";
    EXPECT_NE(t.c_cflag & CREAD, 0u) << "receiver off";
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u) << "line editing, echo or signals";
    EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP), 0u) << "bytes changed on the way in";
    EXPECT_EQ(t.c_oflag & OPOST, 0u) << "bytes changed on the way out";
    EXPECT_TRUE(port.modemLinesAsked().dataTerminalReady);
    EXPECT_FALSE(port.modemLinesAsked().requestToSend);
}

TEST_F(QtComPortTest, EveryByteValueTravelsUnchangedBothWays)
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    // Line-discipline characters in runs, as a terminal would react to them.
    const QByteArray controls("\r\n\r\x03\x04\x11\x13\x1a\x7f\xff\0\n", 12);

    QByteArray got;
    port.OnTriggerAvail = [&](quint16) { got += drain(); };

    port.PutString(all + controls);
    EXPECT_TRUE(port.Open()) << "PutString opens a closed port";
    ASSERT_TRUE(waitUntil([&] { return pty.received().size() >= all.size() + controls.size(); }));
    EXPECT_EQ(pty.received(), all + controls);

    pty.send(all + controls);
    ASSERT_TRUE(waitUntil([&] { return got.size() >= all.size() + controls.size(); }));
    EXPECT_EQ(got, all + controls);
}

TEST_F(QtComPortTest, PutCharAndGetCharOpenAClosedPort)
{
    port.PutChar('Z');
    EXPECT_TRUE(port.Open());
    ASSERT_TRUE(waitUntil([&] { return pty.received() == "Z"; }));

    port.setOpen(false);
    EXPECT_EQ(port.GetChar(), '\0') << "nothing is waiting on a freshly opened port";
    EXPECT_TRUE(port.Open());
}

TEST_F(QtComPortTest, UntakenBytesAreNotifiedAgainWithTheTotalWhenMoreArrive)
{
    std::vector<quint16> counts;
    port.OnTriggerAvail = [&](quint16 n) { counts.push_back(n); };
    port.setOpen(true);

    pty.send("abc");
    ASSERT_TRUE(waitUntil([&] { return counts.size() == 1; }));
    EXPECT_EQ(counts[0], 3);
    EXPECT_TRUE(port.CharReady());

    pty.send("de");
    ASSERT_TRUE(waitUntil([&] { return counts.size() == 2; }));
    EXPECT_EQ(counts[1], 5);
    EXPECT_EQ(port.InBuffUsed(), 5);

    // Taking some leaves the rest for the next notification.
    port.OnTriggerAvail = [&](quint16 n) {
        counts.push_back(n);
        port.GetChar();
        port.GetChar();
    };
    pty.send("f");
    ASSERT_TRUE(waitUntil([&] { return counts.size() == 3; }));
    EXPECT_EQ(counts[2], 6);
    EXPECT_EQ(drain(), QByteArray("cdef"));
}

TEST_F(QtComPortTest, FlushInBufferDiscardsUntilNewBytesArrive)
{
    const struct {
        const char* name;
        int burst;
    } rows[] = {{"a few bytes", 3}, {"a full receive buffer and more", 6000}};
    port.setOpen(true);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        port.OnTriggerAvail = [](quint16) {};  // takes nothing
        pty.send(QByteArray(row.burst, 'o'));
        ASSERT_TRUE(waitUntil([&] {
            return pty.allSent() && port.InBuffUsed() >= std::min(row.burst, 4000);
        }));
        EXPECT_LE(port.InBuffUsed(), QtComPort::kReceiveBufferSize);

        port.FlushInBuffer();
        EXPECT_FALSE(port.CharReady());
        EXPECT_EQ(port.InBuffUsed(), 0);

        QByteArray got;
        port.OnTriggerAvail = [&](quint16) { got += drain(); };
        pty.send("new");
        ASSERT_TRUE(waitUntil([&] { return got.size() >= 3; }));
        EXPECT_EQ(got, QByteArray("new")) << "bytes from before the flush came through";
    }
}

TEST_F(QtComPortTest, FlushingWhileBytesArriveDoesNotLoseTheDevice)
{
    // A handler flushing the input while the logger keeps sending: the
    // toolkit may then be told to read bytes the flush already discarded.
    QSignalSpy lost(&port, &ComPort::deviceLost);
    port.setOpen(true);
    const int errorsBefore = port.errorReports();
    // Stops at the first such report, so that no later flush hides a port
    // that stopped reading after it.
    for (int i = 0; i < 200 && lost.isEmpty() && port.errorReports() == errorsBefore; ++i) {
        pty.send("x");
        QMetaObject::invokeMethod(&port, [this] { port.FlushInBuffer(); }, Qt::QueuedConnection);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(lost.count(), 0) << (lost.isEmpty() ? "" : lost.at(0).at(0).toString().toStdString());
    ASSERT_TRUE(port.Open());

    // And the port still hears the device.
    QByteArray got;
    port.OnTriggerAvail = [&](quint16) { got += drain(); };
    pty.send("end");
    ASSERT_TRUE(waitUntil([&] { return got.endsWith("end"); }));
}

TEST_F(QtComPortTest, FlushInBufferOnAClosedPortDoesNotOpenIt)
{
    port.FlushInBuffer();
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(port.InBuffUsed(), 0);
}

TEST_F(QtComPortTest, BytesSentWhileClosedAreDiscardedAtOpen)
{
    pty.send("stale");
    ASSERT_TRUE(pty.allSent());
    QByteArray got;
    port.OnTriggerAvail = [&](quint16) { got += drain(); };
    port.setOpen(true);
    pty.send("new");
    ASSERT_TRUE(waitUntil([&] { return got.size() >= 3; }));
    EXPECT_EQ(got, QByteArray("new"));
}

TEST_F(QtComPortTest, CloseInsideTheHandlerEndsItsReadLoop)
{
    QByteArray got;
    int calls = 0;
    port.OnTriggerAvail = [&](quint16) {
        ++calls;
        while (port.CharReady()) {
            got += port.GetChar();
            if (got.size() == 3)
                port.setOpen(false);
        }
    };
    port.setOpen(true);
    pty.send("abcdefgh");
    ASSERT_TRUE(waitUntil([&] { return !port.Open(); }));
    EXPECT_EQ(got, QByteArray("abc"));
    EXPECT_FALSE(port.CharReady());
    EXPECT_EQ(port.InBuffUsed(), 0);
    EXPECT_GE(calls, 1);
}

TEST_F(QtComPortTest, BurstLargerThanTheReceiveBufferArrivesWhole)
{
    QByteArray burst;
    for (int i = 0; i < 20000; ++i)
        burst += static_cast<char>((i * 7 + i / 256) & 0xff);

    QByteArray got;
    quint16 largest = 0;
    port.OnTriggerAvail = [&](quint16 n) {
        largest = std::max(largest, n);
        got += drain();
    };
    port.setOpen(true);
    pty.send(burst);
    ASSERT_TRUE(waitUntil([&] {
        pty.pump();
        return got.size() >= burst.size();
    }, 10000)) << got.size() << " of " << burst.size();
    EXPECT_EQ(got, burst);
    EXPECT_LE(largest, QtComPort::kReceiveBufferSize);
}

TEST_F(QtComPortTest, BytesBeyondAFullBufferWaitInTheSystemUntilTaken)
{
    // The handler takes nothing until the buffer is full, then everything.
    QByteArray burst(9000, '\0');
    for (int i = 0; i < burst.size(); ++i)
        burst[i] = static_cast<char>(i % 251);
    bool take = false;
    QByteArray got;
    port.OnTriggerAvail = [&](quint16) {
        if (take)
            got += drain();
    };
    port.setOpen(true);
    pty.send(burst);
    ASSERT_TRUE(waitUntil([&] { return pty.allSent() && port.InBuffUsed() >= 4000; }));
    EXPECT_LE(port.InBuffUsed(), QtComPort::kReceiveBufferSize);

    take = true;
    got += drain();
    ASSERT_TRUE(waitUntil([&] { return got.size() >= burst.size(); })) << got.size();
    EXPECT_EQ(got, burst);
}

TEST_F(QtComPortTest, HandlerIsNotReenteredFromANestedEventLoop)
{
    std::vector<quint16> counts;
    int depth = 0, deepest = 0;
    QByteArray got;
    port.OnTriggerAvail = [&](quint16 n) {
        ++depth;
        deepest = std::max(deepest, depth);
        counts.push_back(n);
        if (counts.size() == 1) {
            // Like a modal message box: the event loop runs while more
            // bytes come in.
            pty.send("more");
            EXPECT_TRUE(waitUntil([&] { return port.InBuffUsed() >= n + 4; }));
        } else {
            got = drain();
        }
        --depth;
    };
    port.setOpen(true);
    pty.send("first");
    ASSERT_TRUE(waitUntil([&] { return counts.size() >= 2; }));
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(counts[0], 5);
    EXPECT_EQ(counts[1], 9);
    EXPECT_EQ(got, QByteArray("firstmore"));
}

TEST_F(QtComPortTest, LongWritesArriveCompleteAlsoWhenClosedRightAfter)
{
    QByteArray lines;
    for (int i = 0; lines.size() < 120000; ++i)
        lines += QByteArray::number(i).rightJustified(41, '0') + "\r\n";  // 43 bytes a line
    for (int i = 0; i < lines.size(); i += 43)
        port.PutString(lines.mid(i, 43));
    ASSERT_TRUE(waitUntil([&] { return pty.received().size() >= lines.size(); }, 10000))
        << pty.received().size();
    EXPECT_EQ(pty.takeReceived(), lines);

    // Closing waits for bytes still queued for sending.
    const QByteArray tail(3000, 'T');
    port.PutString(tail);
    port.setOpen(false);
    ASSERT_TRUE(waitUntil([&] { return pty.received().size() >= tail.size(); }));
    EXPECT_EQ(pty.received(), tail);
}

TEST_F(QtComPortTest, MissingDeviceThrowsNamingThePort)
{
    const struct {
        quint16 com;
        const char* name;
    } rows[] = {{99, "COM99"}, {250, "COM250"}, {78, "COM78"}};
    // COM78 was registered to a pseudo-terminal that is gone.
    {
        Pty gone;
        ASSERT_TRUE(gone.ok());
        registerDevice(78, gone.slavePath());
    }
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QtComPort other;
        other.setComNumber(row.com);
        const QString device = deviceForComNumber(row.com);
        if (QFileInfo::exists(device))
            GTEST_SKIP() << device.toStdString() << " exists on this machine";
        const std::string text = portErrorText([&] { other.setOpen(true); });
        EXPECT_NE(text.find(row.name), std::string::npos) << text;
        EXPECT_NE(text.find(device.toStdString()), std::string::npos) << text;
        EXPECT_FALSE(other.Open());
        // Writing tries to open as well, and fails the same way.
        EXPECT_NE(portErrorText([&] { other.PutString("x"); }).find(row.name), std::string::npos);
    }
}

TEST_F(QtComPortTest, PortInUseThrowsNamingThePort)
{
    port.setOpen(true);
    QtComPort second;
    second.setComNumber(77);
    const std::string text = portErrorText([&] { second.setOpen(true); });
    EXPECT_NE(text.find("COM77"), std::string::npos) << text;
    EXPECT_NE(text.find(pty.slavePath().toStdString()), std::string::npos) << text;
    EXPECT_FALSE(second.Open());
    EXPECT_TRUE(port.Open());
}

TEST_F(QtComPortTest, PortZeroAsksForAPort)
{
    std::vector<std::vector<SerialDeviceInfo>> offered;
    std::optional<int> answer;
    QtComPort chooser([&](const std::vector<SerialDeviceInfo>& ports) {
        offered.push_back(ports);
        return answer;
    });
    chooser.setComNumber(0);

    answer = std::nullopt;
    EXPECT_EQ(portErrorText([&] { chooser.setOpen(true); }), "No serial port was selected");
    EXPECT_FALSE(chooser.Open());
    EXPECT_EQ(chooser.ComNumber(), 0);
    ASSERT_EQ(offered.size(), 1u);
    const auto com77 = std::find_if(offered[0].begin(), offered[0].end(),
                                    [](const SerialDeviceInfo& p) { return p.comNumber == 77; });
    ASSERT_NE(com77, offered[0].end()) << "the registered pseudo-terminal is offered";
    EXPECT_EQ(com77->driver, QStringLiteral("simulated"));
    EXPECT_EQ(com77->devicePath, pty.slavePath());

    answer = 77;
    chooser.PutString("hi");  // opening for a write asks as well
    EXPECT_TRUE(chooser.Open());
    EXPECT_EQ(chooser.ComNumber(), 77);
    EXPECT_EQ(chooser.devicePath(), pty.slavePath());
    EXPECT_EQ(offered.size(), 2u);
    ASSERT_TRUE(waitUntil([&] { return pty.received() == "hi"; }));

    // Once a number is set, reopening does not ask again.
    chooser.setOpen(false);
    chooser.setOpen(true);
    EXPECT_EQ(offered.size(), 2u);
}

TEST_F(QtComPortTest, ComNumberChangeWhileOpenReopensOnTheNewDevice)
{
    Pty second;
    ASSERT_TRUE(second.ok());
    registerDevice(78, second.slavePath());

    QByteArray got;
    port.OnTriggerAvail = [&](quint16) { got += drain(); };
    port.setOpen(true);
    ASSERT_EQ(port.devicePath(), pty.slavePath());

    port.setComNumber(78);
    EXPECT_TRUE(port.Open());
    EXPECT_EQ(port.ComNumber(), 78);
    EXPECT_EQ(port.devicePath(), second.slavePath());
    EXPECT_TRUE(waitUntil([&] { return pty.slaveClosed(); })) << "the old device stayed open";

    port.PutString("to78");
    ASSERT_TRUE(waitUntil([&] { return second.received() == "to78"; }));
    second.send("from78");
    ASSERT_TRUE(waitUntil([&] { return got == "from78"; }));
    EXPECT_TRUE(pty.received().isEmpty());

    // A change while closed only sets the number.
    port.setOpen(false);
    port.setComNumber(77);
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(port.ComNumber(), 77);
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST_F(QtComPortTest, VanishedDeviceClosesThePortAndReportsOnce)
{
    QSignalSpy lost(&port, &ComPort::deviceLost);
    bool openAtSignal = true;
    QObject::connect(&port, &ComPort::deviceLost, [&] { openAtSignal = port.Open(); });
    int notifications = 0;
    port.OnTriggerAvail = [&](quint16) { ++notifications; };
    port.setOpen(true);
    pty.send("x");  // left waiting
    ASSERT_TRUE(waitUntil([&] { return notifications == 1; }));

    const int errorsBefore = port.errorReports();
    pty.closeMaster();
    ASSERT_TRUE(waitUntil([&] { return lost.count() >= 1; }));
    EXPECT_FALSE(port.Open());
    EXPECT_FALSE(openAtSignal) << "deviceLost came before the port was closed";
    EXPECT_FALSE(port.CharReady());
    const QString text = lost.at(0).at(0).toString();
    EXPECT_TRUE(text.contains(QStringLiteral("COM77"))) << text.toStdString();

    // Nothing more may come: no second report, no stream of errors, no spinning.
    const double cpuBefore = cpuSeconds();
    QElapsedTimer window;
    window.start();
    EXPECT_FALSE(waitUntil([&] { return lost.count() > 1 || port.errorReports() > errorsBefore + 2; }, 300));
    const double busy = cpuSeconds() - cpuBefore;
    EXPECT_EQ(lost.count(), 1);
    EXPECT_LE(port.errorReports() - errorsBefore, 2);
    EXPECT_EQ(notifications, 1);
    EXPECT_LT(busy, 0.5 * window.elapsed() / 1000.0) << "CPU busy after the loss";

}

}  // namespace
}  // namespace zelt
