// Low latency and access: the adapter's latency timer and event character
// found and set through sysfs (a fake tree here), a device that refuses the
// request still opening, and the message for a device the user may not open.
#include "link/QtComPort.h"
#include "link/SerialDevice.h"
#include "tests/port/PtyHelper.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zelt;
using namespace zelt::test;

namespace {

// A sysfs tree with an FTDI adapter (ttyUSB3, timer at 16 ms) and a CDC
// modem without a timer (ttyACM0).
struct FakeSys {
    QTemporaryDir root;
    FakeSys()
    {
        QDir(root.path()).mkpath(QStringLiteral("class/tty/ttyUSB3/device"));
        QDir(root.path()).mkpath(QStringLiteral("class/tty/ttyACM0/device"));
        QFile timer(timerFile());
        if (timer.open(QIODevice::WriteOnly))
            timer.write("16\n");
    }
    QString timerFile() const { return root.path() + QStringLiteral("/class/tty/ttyUSB3/device/latency_timer"); }
    QByteArray timer() const
    {
        QFile f(timerFile());
        return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray("<unreadable>");
    }
};

TEST(SerialDevice, LatencyTimerOfAnFtdiAdapterIsSetToOneMillisecond)
{
    FakeSys sys;
    ASSERT_TRUE(sys.root.isValid());
    EXPECT_EQ(latencyTimerPath(QStringLiteral("/dev/ttyUSB3"), sys.root.path()), sys.timerFile());
    EXPECT_TRUE(latencyTimerPath(QStringLiteral("/dev/ttyACM0"), sys.root.path()).isEmpty());
    EXPECT_TRUE(latencyTimerPath(QStringLiteral("/dev/ttyUSB9"), sys.root.path()).isEmpty());

    // No descriptor: the driver flag is not asked for, the timer is still set.
    const LowLatency done = requestLowLatency(-1, QStringLiteral("/dev/ttyUSB3"), sys.root.path());
    EXPECT_FALSE(done.driverFlag);
    EXPECT_TRUE(done.latencyTimer);
    EXPECT_EQ(sys.timer(), "1");
    // Already at 1 ms: reported as such, nothing written.
    EXPECT_TRUE(requestLowLatency(-1, QStringLiteral("/dev/ttyUSB3"), sys.root.path()).latencyTimer);
    // A device without a timer stays as it is.
    EXPECT_FALSE(requestLowLatency(-1, QStringLiteral("/dev/ttyACM0"), sys.root.path()).latencyTimer);
}

TEST(SerialDevice, TimerThatCannotBeWrittenDoesNotFailAnything)
{
    FakeSys sys;
    QFile::setPermissions(sys.timerFile(), QFileDevice::ReadOwner);
    QFile probe(sys.timerFile());
    if (probe.open(QIODevice::WriteOnly))
        GTEST_SKIP() << "this user writes read-only files (root): nothing to refuse";
    const LowLatency done = requestLowLatency(-1, QStringLiteral("/dev/ttyUSB3"), sys.root.path());
    EXPECT_FALSE(done.latencyTimer);
    EXPECT_EQ(sys.timer(), "16");
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

TEST(SerialDevice, EventCharacterIsWrittenAsTheDriverTakesIt)
{
    FakeSys sys;
    const QString file = sys.root.path() + QStringLiteral("/class/tty/ttyUSB3/device/event_char");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(eventCharacterPath(QStringLiteral("/dev/ttyUSB3"), sys.root.path()), file);
    EXPECT_TRUE(eventCharacterPath(QStringLiteral("/dev/ttyACM0"), sys.root.path()).isEmpty());

    // Decimal: bit 8 switches it on, the low byte is the character; 0 is off.
    const struct {
        std::optional<char> c;
        QByteArray value;
    } cases[] = {{'\x06', "262"}, {'#', "291"}, {'\0', "256"}, {'\xFF', "511"}, {std::nullopt, "0"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value.toStdString());
        EXPECT_EQ(eventCharacterValue(c.c), c.value);
        EXPECT_TRUE(writeEventCharacter(QStringLiteral("/dev/ttyUSB3"), c.c, sys.root.path()));
        EXPECT_EQ(readAll(file), c.value);
    }
    // An adapter without the attribute: nothing written, nothing made.
    EXPECT_FALSE(writeEventCharacter(QStringLiteral("/dev/ttyACM0"), '\x06', sys.root.path()));
    EXPECT_FALSE(QFileInfo::exists(sys.root.path() + QStringLiteral("/class/tty/ttyACM0/device/event_char")));
}

TEST(SerialDevice, EventCharacterTheDriverRefusesIsReportedNotThrown)
{
    FakeSys sys;
    const QString file = sys.root.path() + QStringLiteral("/class/tty/ttyUSB3/device/event_char");
    // A driver that refuses the value fails the write itself (as the
    // adapter's refusal does); /dev/full fails every write, even root's.
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), file));
    EXPECT_FALSE(writeEventCharacter(QStringLiteral("/dev/ttyUSB3"), '\x06', sys.root.path()));
    EXPECT_FALSE(writeEventCharacter(QStringLiteral("/dev/ttyUSB3"), std::nullopt, sys.root.path()));
}

class SerialDeviceOnPty : public PortDirFixture {};

TEST_F(SerialDeviceOnPty, PseudoTerminalRefusesLowLatencyAndStillOpens)
{
    Pty pty;
    ASSERT_TRUE(pty.ok());
    registerDevice(78, pty.slavePath());
    QtComPort port;
    port.setComNumber(78);
    port.setOpen(true);
    EXPECT_TRUE(port.Open());
    EXPECT_FALSE(port.lowLatency().driverFlag);
    EXPECT_FALSE(port.lowLatency().latencyTimer);
    // Nor has it an event character: refused, and the port goes on.
    EXPECT_FALSE(port.setEventCharacter('\x06'));
    EXPECT_TRUE(port.Open());
    port.PutString("ok");
    port.setOpen(false);
}

TEST(SerialDevice, PermissionDeniedNamesTheGroupAndTheRule)
{
    EXPECT_EQ(permissionDeniedText(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("dialout")),
              QStringLiteral("Permission denied: /dev/ttyUSB0; add your user to the dialout group (sudo usermod -aG "
                             "dialout $USER, then log in again), or install the package's udev rule"));
    // A device of another group names that group; none known falls back to dialout.
    EXPECT_TRUE(permissionDeniedText(QStringLiteral("/dev/ttyACM0"), QStringLiteral("uucp")).contains("the uucp group"));
    EXPECT_TRUE(permissionDeniedText(QStringLiteral("/dev/ttyACM0"), QString()).contains("the dialout group"));
    // A device this user may open has no problem to tell.
    Pty pty;
    ASSERT_TRUE(pty.ok());
    EXPECT_TRUE(deviceAccessProblem(pty.slavePath()).isEmpty());
}

}  // namespace
