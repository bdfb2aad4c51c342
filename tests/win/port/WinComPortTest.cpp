// The Windows serial port of the tool (WinComPort) under Wine, against a
// Linux pseudo-terminal that the prefix shows as a COM port; pty-peer.py
// (one folder up) holds the other end and answers the commands written to it.
// The checks of QtComPort's contract that concern the event loop: the
// notification, the receive limit, the texts of a busy, a missing and a
// vanished port.
#include "link/WinComPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QStringList>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <ostream>
#include <vector>

// Texts in failure messages as text.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace zelt {
namespace {

constexpr int kDeadlineMs = 30000;

int envNumber(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::atoi(value) : 0;
}

// Runs the event loop until cond holds (true) or the deadline passed.
bool waitUntil(const std::function<bool()>& cond, int ms = kDeadlineMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!cond()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

std::string portErrorText(const std::function<void()>& action)
{
    try {
        action();
    } catch (const PortError& e) {
        return e.what();
    }
    return "(no PortError)";
}

class WinComPortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        com_ = envNumber("ZELT_PTY_COM");
        absent_ = envNumber("ZELT_ABSENT_COM");
        ASSERT_GT(com_, 0) << "run by pty-peer.py, which links the pseudo-terminal as a COM port";
        port.setComNumber(static_cast<quint16>(com_));
    }

    QByteArray drain()
    {
        QByteArray got;
        while (port.CharReady())
            got += port.GetChar();
        return got;
    }

    int com_ = 0;
    int absent_ = 0;
    WinComPort port{[](const std::vector<SerialDeviceInfo>&) -> std::optional<int> {
        ADD_FAILURE() << "the chooser is only for port number 0";
        return std::nullopt;
    }};
};

TEST_F(WinComPortTest, BytesArriveThroughTheNotificationFromTheEventLoop)
{
    std::vector<quint16> counts;
    bool inPut = false;
    port.OnTriggerAvail = [&](quint16 n) {
        EXPECT_FALSE(inPut) << "notified from inside a write";
        counts.push_back(n);
    };
    int sent = 0;
    QObject::connect(&port, &ComPort::bytesSent, [&](const QByteArray&) { ++sent; });
    inPut = true;
    port.PutString("echo 616263\n");  // opens the port
    inPut = false;
    EXPECT_TRUE(port.Open());
    EXPECT_EQ(port.devicePath(), QStringLiteral("\\\\.\\COM%1").arg(com_));
    ASSERT_EQ(sent, 1);
    ASSERT_TRUE(waitUntil([&] { return !counts.empty(); }));
    EXPECT_EQ(counts[0], 3);

    // Untaken bytes are counted again when more arrive.
    port.PutString("later 100 6465\n");
    ASSERT_TRUE(waitUntil([&] { return counts.size() >= 2; }));
    EXPECT_EQ(counts.back(), 5);
    EXPECT_EQ(drain(), QByteArray("abcde"));
    EXPECT_FALSE(port.CharReady());
}

TEST_F(WinComPortTest, BytesBeyondAFullBufferWaitInTheSystemUntilTaken)
{
    bool take = false;
    QByteArray got;
    port.OnTriggerAvail = [&](quint16) {
        if (take)
            got += drain();
    };
    port.PutString("flood 9000\n");
    ASSERT_TRUE(waitUntil([&] { return port.InBuffUsed() >= WinComPort::kReceiveBufferSize; }));
    // Some more time for bytes that should not be taken in.
    QElapsedTimer settle;
    settle.start();
    waitUntil([&] { return settle.elapsed() > 300; });
    EXPECT_EQ(port.InBuffUsed(), WinComPort::kReceiveBufferSize);

    take = true;
    got += drain();
    ASSERT_TRUE(waitUntil([&] { return got.size() >= 9000; })) << got.size();
    QByteArray expected(9000, '\0');
    for (int i = 0; i < expected.size(); ++i)
        expected[i] = static_cast<char>(i % 251);
    EXPECT_EQ(got, expected);
}

TEST_F(WinComPortTest, HandlerIsNotReenteredFromANestedEventLoop)
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
            port.PutString("echo 6d6f7265\n");
            EXPECT_TRUE(waitUntil([&] { return port.InBuffUsed() >= n + 4; }));
        } else {
            got = drain();
        }
        --depth;
    };
    port.PutString("echo 6669727374\n");
    ASSERT_TRUE(waitUntil([&] { return counts.size() >= 2; }));
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(counts[0], 5);
    EXPECT_EQ(counts[1], 9);
    EXPECT_EQ(got, QByteArray("firstmore"));
}

TEST_F(WinComPortTest, FlushInBufferDiscardsUntilNewBytesArrive)
{
    port.OnTriggerAvail = [](quint16) {};
    port.PutString("echo 6f6f6f\n");
    ASSERT_TRUE(waitUntil([&] { return port.InBuffUsed() == 3; }));
    port.FlushInBuffer();
    EXPECT_FALSE(port.CharReady());
    EXPECT_EQ(port.InBuffUsed(), 0);
    port.PutString("echo 6e6577\n");
    ASSERT_TRUE(waitUntil([&] { return port.InBuffUsed() == 3; }));
    EXPECT_EQ(drain(), QByteArray("new"));
}

TEST_F(WinComPortTest, BusyAndMissingPortsSayWhatLinuxSays)
{
    port.setOpen(true);
    WinComPort second;
    second.setComNumber(static_cast<quint16>(com_));
    const std::string busy = portErrorText([&] { second.setOpen(true); });
    const std::string name = "COM" + std::to_string(com_) + " (\\\\.\\COM" + std::to_string(com_) + ")";
    EXPECT_EQ(busy.rfind("Cannot open " + name + ": ", 0), 0u) << busy;
    EXPECT_NE(busy.find("(the port may be in use by another program)"), std::string::npos) << busy;
    EXPECT_FALSE(second.Open());

    WinComPort missing;
    missing.setComNumber(static_cast<quint16>(absent_));
    const std::string absent = "COM" + std::to_string(absent_);
    EXPECT_EQ(portErrorText([&] { missing.setOpen(true); }),
              absent + " does not exist (there is no device \\\\.\\" + absent + ")");
    EXPECT_FALSE(missing.Open());
}

// Run alone: the far end is gone afterwards.
TEST_F(WinComPortTest, ClosedFarEndIsADeviceLostOnce)
{
    QStringList lost;
    QObject::connect(&port, &ComPort::deviceLost, [&](const QString& reason) { lost.append(reason); });
    port.setOpen(true);
    port.PutString("hangup\n");
    ASSERT_TRUE(waitUntil([&] { return lost.count() > 0; }));
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(lost.value(0),
              QStringLiteral("COM%1 (\\\\.\\COM%1) is no longer available: the device was disconnected").arg(com_));
    QElapsedTimer settle;
    settle.start();
    waitUntil([&] { return settle.elapsed() > 300; });
    EXPECT_EQ(lost.count(), 1);
}

}  // namespace
}  // namespace zelt

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
