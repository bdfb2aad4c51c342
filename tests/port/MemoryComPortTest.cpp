// The in-memory port: the behaviours tests of other parts rely on.
#include "link/MemoryComPort.h"

#include "PtyHelper.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace zelt {
namespace {

TEST(MemoryComPort, OperationsThatOpenAClosedPortAndThoseThatDoNot)
{
    const struct {
        const char* op;
        std::function<void(MemoryComPort&)> run;
        bool opens;
    } rows[] = {
        {"PutString", [](MemoryComPort& p) { p.PutString("ab"); }, true},
        {"PutChar", [](MemoryComPort& p) { p.PutChar('a'); }, true},
        {"GetChar", [](MemoryComPort& p) { p.GetChar(); }, true},
        {"CharReady", [](MemoryComPort& p) { EXPECT_FALSE(p.CharReady()); }, false},
        {"FlushInBuffer", [](MemoryComPort& p) { p.FlushInBuffer(); }, false},
        {"InBuffUsed", [](MemoryComPort& p) { EXPECT_EQ(p.InBuffUsed(), 0); }, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.op);
        MemoryComPort port;
        row.run(port);
        EXPECT_EQ(port.Open(), row.opens);
        EXPECT_EQ(port.openCount(), row.opens ? 1 : 0);
        row.run(port);
        EXPECT_EQ(port.openCount(), row.opens ? 1 : 0) << "an open port was opened again";
    }
}

TEST(MemoryComPort, RecordsWritesInOrder)
{
    MemoryComPort port;
    port.PutString("ab");
    port.PutChar('\0');
    port.PutString("c");
    EXPECT_EQ(port.written(), QByteArray("ab\0c", 4));
    EXPECT_EQ(port.takeWritten(), QByteArray("ab\0c", 4));
    EXPECT_TRUE(port.written().isEmpty());
    EXPECT_EQ(port.log(), QStringList{QStringLiteral("open COM1")});
}

TEST(MemoryComPort, BytesFedWhileClosedAreLost)
{
    MemoryComPort port;
    int notifications = 0;
    port.OnTriggerAvail = [&](quint16) { ++notifications; };
    port.feed("lost");
    port.setOpen(true);
    EXPECT_FALSE(port.CharReady());
    port.feed("kept");
    EXPECT_EQ(notifications, 1);
    EXPECT_EQ(port.InBuffUsed(), 4);
    // Closing drops what was waiting too.
    port.setOpen(false);
    port.setOpen(true);
    EXPECT_EQ(port.InBuffUsed(), 0);
}

TEST(MemoryComPort, NotifiesSynchronouslyOrFromTheEventLoop)
{
    MemoryComPort port;
    port.setOpen(true);
    std::vector<quint16> counts;
    port.OnTriggerAvail = [&](quint16 n) { counts.push_back(n); };
    port.feed("ab");
    ASSERT_EQ(counts, std::vector<quint16>{2});  // untaken bytes stay
    port.feedQueued("c");
    EXPECT_EQ(counts.size(), 1u) << "a queued feed arrived before the event loop ran";
    ASSERT_TRUE(test::waitUntil([&] { return counts.size() == 2; }));
    EXPECT_EQ(counts[1], 3);
}

TEST(MemoryComPort, HandlerIsNotReenteredAndHearsOnceMoreAfterwards)
{
    MemoryComPort port;
    port.setOpen(true);
    int depth = 0, deepest = 0;
    std::vector<quint16> counts;
    QByteArray got;
    port.OnTriggerAvail = [&](quint16 n) {
        deepest = std::max(deepest, ++depth);
        counts.push_back(n);
        if (counts.size() == 1) {
            port.feed("12");
            port.feed("3");
        } else {
            while (port.CharReady())
                got += port.GetChar();
        }
        --depth;
    };
    port.feed("ab");
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(counts, (std::vector<quint16>{2, 5}));
    EXPECT_EQ(got, QByteArray("ab123"));
}

TEST(MemoryComPort, CloseInsideTheHandlerEndsItsReadLoop)
{
    MemoryComPort port;
    port.setOpen(true);
    QByteArray got;
    port.OnTriggerAvail = [&](quint16) {
        while (port.CharReady()) {
            got += port.GetChar();
            if (got.size() == 2)
                port.setOpen(false);
        }
    };
    port.feed("abcdef");
    EXPECT_EQ(got, QByteArray("ab"));
    EXPECT_FALSE(port.Open());
}

TEST(MemoryComPort, UnplugClosesAndReportsOnce)
{
    MemoryComPort port;
    QSignalSpy lost(&port, &ComPort::deviceLost);
    port.unplug();
    EXPECT_EQ(lost.count(), 0) << "a closed port has nothing to lose";
    port.setOpen(true);
    port.feed("x");
    port.unplug();
    port.unplug();
    EXPECT_EQ(lost.count(), 1);
    EXPECT_FALSE(port.Open());
    EXPECT_FALSE(port.CharReady());
    EXPECT_TRUE(lost.at(0).at(0).toString().contains(QStringLiteral("COM1")));
}

TEST(MemoryComPort, FailedOpenThrowsOnceAndPortZeroAsks)
{
    MemoryComPort port;
    port.failNextOpen(QStringLiteral("COM1 does not exist"));
    EXPECT_THROW(port.PutString("x"), PortError);
    EXPECT_FALSE(port.Open());
    EXPECT_TRUE(port.written().isEmpty());
    port.PutString("x");
    EXPECT_TRUE(port.Open());
    EXPECT_EQ(port.openCount(), 1);

    MemoryComPort zero;
    zero.setComNumber(0);
    EXPECT_THROW(zero.setOpen(true), PortError);
    zero.choosePort = [] { return std::optional<int>(5); };
    zero.setOpen(true);
    EXPECT_EQ(zero.ComNumber(), 5);
    EXPECT_EQ(zero.log(), (QStringList{QStringLiteral("open failed: no port selected"), QStringLiteral("open COM5")}));
}

}  // namespace
}  // namespace zelt
