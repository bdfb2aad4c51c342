// The timer whose interval 0 means stopped, the error boundary, the clock.
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/ErrorBoundary.h"
#include "platform/PeriodicTimer.h"

#include <QSignalSpy>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace zelt;

namespace {

TEST(PeriodicTimer, IntervalZeroMeansStopped)
{
    PeriodicTimer timer(0);
    QSignalSpy spy(&timer, &PeriodicTimer::timeout);
    EXPECT_FALSE(timer.running());
    EXPECT_FALSE(spy.wait(150));  // a raw timer with 0 would have fired many times
    timer.setInterval(10);
    EXPECT_TRUE(timer.running());
    EXPECT_TRUE(spy.wait(1000));
    timer.setInterval(0);
    spy.clear();
    EXPECT_FALSE(timer.running());
    EXPECT_FALSE(spy.wait(100));
    EXPECT_EQ(spy.count(), 0);
}

TEST(ErrorBoundary, ErrorTextIsShownAndTheRestIsSkipped)
{
    ScriptedDialogs dialogs;
    bool after = false;
    guarded(dialogs, [&] {
        throw std::runtime_error("Cannot open COM3 (/dev/ttyUSB2): No such file or directory");
        after = true;  // NOLINT: must never run
    });
    EXPECT_FALSE(after);
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0], QStringLiteral("Cannot open COM3 (/dev/ttyUSB2): No such file or directory"));

    guarded(dialogs, [] { throw 42; });
    EXPECT_EQ(dialogs.messages.size(), 2);
    guarded(dialogs, [&] { after = true; });
    EXPECT_TRUE(after);
    EXPECT_EQ(dialogs.messages.size(), 2);
}

TEST(Clock, DayValuesAndText)
{
    const QDateTime t(QDate(2024, 1, 5), QTime(12, 34, 56));
    const double v = toDayValue(t);
    EXPECT_DOUBLE_EQ(v, 45296.0 + (12 * 3600 + 34 * 60 + 56) / 86400.0);  // 2024-01-05 is day 45296
    EXPECT_EQ(formatDayValue(v), QStringLiteral("2024/01/05 12:34:56"));
    EXPECT_EQ(fromDayValue(v + 12.0 / 86400.0), t.addSecs(12));
}

TEST(Dialogs, FiltersOfferBothCases)
{
    EXPECT_EQ(toQtFilter(QStringLiteral("CSV files (*.csv)|*.CSV")), QStringLiteral("CSV files (*.csv) (*.csv *.CSV)"));
    EXPECT_EQ(toQtFilter(QStringLiteral("text|*.csv")), QStringLiteral("text (*.csv *.CSV)"));
}

}  // namespace

#include "platform/SystemRegistry.h"
#include "platform/SerialDevicesView.h"
#include "shell/PortSearch.h"

namespace {

// The registry view of this system: serial devices answer the three keys.
TEST(SystemRegistry, DevicesAnswerTheThreeKeys)
{
    const auto device = [](int com, const char* driver, const char* vid, const char* pid, bool registered) {
        SerialDeviceInfo d;
        d.comNumber = com;
        d.comName = QStringLiteral("COM%1").arg(com);
        d.devicePath = QStringLiteral("/dev/x%1").arg(com);
        d.driver = QString::fromLatin1(driver);
        d.vendorId = QString::fromLatin1(vid);
        d.productId = QString::fromLatin1(pid);
        d.registered = registered;
        return d;
    };
    std::vector<SerialDeviceInfo> devices = {device(1, "ftdi_sio", "0403", "6001", false),
                                             device(3, "ftdi_sio", "0FE3", "6002", false),
                                             device(101, "cdc_acm", "2341", "0043", false)};
    SystemRegistry registry([&] { return devices; });

    const auto comm = registry.readKey(QString::fromLatin1(zelt::kSerialCommKey));
    ASSERT_TRUE(comm.has_value());
    ASSERT_EQ(comm->size(), 3u);
    EXPECT_EQ((*comm)[0].name, QStringLiteral("\\Device\\VCP0"));
    EXPECT_EQ((*comm)[0].data, QStringLiteral("COM1"));
    EXPECT_EQ((*comm)[1].name, QStringLiteral("\\Device\\VCP1"));
    EXPECT_EQ((*comm)[2].name, QStringLiteral("\\Device\\Serial0"));  // not a virtual COM port

    const auto logger = registry.readKey(QString::fromLatin1(zelt::kLoggerAdapterKey));
    ASSERT_TRUE(logger.has_value());
    EXPECT_EQ(logger->at(0).name, QStringLiteral("FriendlyName"));
    EXPECT_EQ(zelt::portNameFromFriendlyName(logger->at(0).data), QStringLiteral("COM3"));
    const auto generic = registry.readKey(QString::fromLatin1(zelt::kGenericAdapterKey));
    ASSERT_TRUE(generic.has_value());
    EXPECT_EQ(generic->at(0).data, QStringLiteral("COM1"));

    // Only the simulator, registered: it is the logger's adapter.
    devices = {device(9, "simulated", "", "", true)};
    EXPECT_EQ(registry.readKey(QString::fromLatin1(zelt::kSerialCommKey))->at(0).name, QStringLiteral("\\Device\\VCP0"));
    EXPECT_TRUE(registry.readKey(QString::fromLatin1(zelt::kLoggerAdapterKey)).has_value());
    EXPECT_FALSE(registry.readKey(QString::fromLatin1(zelt::kGenericAdapterKey)).has_value());

    devices.clear();  // no serial port at all: the key is missing
    EXPECT_FALSE(registry.readKey(QString::fromLatin1(zelt::kSerialCommKey)).has_value());
    EXPECT_FALSE(registry.readKey(QStringLiteral("SOFTWARE\\Other")).has_value());
}

}  // namespace

#include "platform/PortDirectory.h"
#include "tests/port/PtyHelper.h"

#include <QApplication>
#include <QDialog>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

namespace {

// Where Linux has no device manager the button lists the serial devices.
TEST(SystemRegistry, DeviceListShowsPathDriverAndIdentity)
{
    QTemporaryDir ports;
    qputenv("ZELT_PORT_DIR", ports.path().toLocal8Bit());
    zelt::test::Pty pty;  // a registration counts only for a pseudo-terminal
    ASSERT_TRUE(pty.ok());
    const QString fake = pty.slavePath();
    ASSERT_TRUE(registerPort(55, fake.toStdString()));

    QStringList rows;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        if (auto* table = dialog->findChild<QTableWidget*>()) {
            for (int r = 0; r < table->rowCount(); ++r) {
                QStringList cells;
                for (int c = 0; c < table->columnCount(); ++c)
                    cells << (table->item(r, c) ? table->item(r, c)->text() : QString());
                rows << cells.join(QLatin1Char('|'));
            }
        }
        dialog->accept();
    });
    showSerialDevices(nullptr);
    unregisterPort(55);
    qunsetenv("ZELT_PORT_DIR");
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [&](const QString& row) {
        return row.startsWith(QStringLiteral("COM55|%1|simulated").arg(fake));
    })) << rows.join(QLatin1Char('\n')).toStdString();
}

}  // namespace
