// COM numbers to devices and back, and the device listing read from a sysfs
// tree built in a temporary directory.
#include "platform/ComPortNames.h"

#include "PtyHelper.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zelt {
namespace {

using test::PortDirFixture;

class DeviceForComNumber : public PortDirFixture {};

TEST_F(DeviceForComNumber, FollowsTheUsbAndAcmRule)
{
    const struct {
        int com;
        const char* device;
    } rows[] = {
        {1, "/dev/ttyUSB0"},   {2, "/dev/ttyUSB1"},   {10, "/dev/ttyUSB9"},
        {100, "/dev/ttyUSB99"}, {101, "/dev/ttyACM0"}, {103, "/dev/ttyACM2"},
        {65535, "/dev/ttyACM65434"},
        {0, ""},               {-1, ""},              {65536, ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(deviceForComNumber(row.com), QString::fromLatin1(row.device)) << "COM" << row.com;
}

TEST_F(DeviceForComNumber, RegisteredDeviceWinsOverTheRuleWhileItExists)
{
    test::Pty pty;  // only a pseudo-terminal counts as a registered device
    ASSERT_TRUE(pty.ok());
    const QString fake = pty.slavePath();

    registerDevice(1, fake);
    registerDevice(150, fake);
    EXPECT_EQ(deviceForComNumber(1), fake);
    EXPECT_EQ(deviceForComNumber(150), fake);
    EXPECT_EQ(deviceForComNumber(2), QStringLiteral("/dev/ttyUSB1"));

    // A registration whose device vanished no longer counts.
    pty.closeMaster();
    EXPECT_EQ(deviceForComNumber(1), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(deviceForComNumber(150), QStringLiteral("/dev/ttyACM49"));
}

TEST(ComNumberForDevice, InvertsTheRuleAndRejectsEverythingElse)
{
    const struct {
        const char* device;
        int com;
    } rows[] = {
        {"/dev/ttyUSB0", 1},    {"/dev/ttyUSB99", 100}, {"/dev/ttyACM0", 101},
        {"/dev/ttyACM2", 103},  {"/dev/ttyUSB100", 0},  {"/dev/ttyUSB01", 0},
        {"/dev/ttyS0", 0},      {"/dev/ttyUSB", 0},     {"ttyUSB0", 0},
        {"/dev/ttyACM65434", 65535}, {"/dev/ttyACM65435", 0},
    };
    for (const auto& row : rows)
        EXPECT_EQ(comNumberForDevice(QString::fromLatin1(row.device)), row.com) << row.device;
    EXPECT_EQ(comName(7), QStringLiteral("COM7"));
}

// A sysfs tree as the kernel lays it out for USB serial devices:
//   class/tty/<name> -> devices/.../<usb device>/<interface>/.../tty/<name>
//   class/tty/<name>/device -> the device the tty belongs to
//   <that device>/driver -> bus/.../drivers/<driver>
//   <usb device>/idVendor, idProduct, product
class FakeSysfs {
public:
    FakeSysfs() { ok_ = dir_.isValid() && mk(QStringLiteral("class/tty")); }
    bool ok() const { return ok_; }
    QString root() const { return dir_.path(); }

    // A USB device at devices/usb1/<port> with the given ids.
    void usbDevice(const QString& port, const QByteArray& vid, const QByteArray& pid, const QByteArray& product)
    {
        const QString d = QStringLiteral("devices/pci0000:00/usb1/") + port;
        ok_ = ok_ && mk(d) && put(d + QStringLiteral("/idVendor"), vid + '\n')
              && put(d + QStringLiteral("/idProduct"), pid + '\n')
              && (product.isEmpty() || put(d + QStringLiteral("/product"), product + '\n'));
    }

    // A tty whose device directory is devicePath (relative to the root),
    // bound to driver.
    void tty(const QString& name, const QString& devicePath, const QString& driver)
    {
        const QString ttyDir = devicePath + QStringLiteral("/tty/") + name;
        const QString driverDir = QStringLiteral("bus/usb/drivers/") + driver;
        ok_ = ok_ && mk(ttyDir) && mk(driverDir) && link(ttyDir, QStringLiteral("class/tty/") + name)
              && link(devicePath, ttyDir + QStringLiteral("/device"))
              && link(driverDir, devicePath + QStringLiteral("/driver"));
    }

    // A tty with no device behind it (as for virtual consoles).
    void bareTty(const QString& name)
    {
        ok_ = ok_ && mk(QStringLiteral("devices/virtual/tty/") + name)
              && link(QStringLiteral("devices/virtual/tty/") + name, QStringLiteral("class/tty/") + name);
    }

private:
    bool mk(const QString& rel) { return QDir(dir_.path()).mkpath(rel); }
    bool put(const QString& rel, const QByteArray& content)
    {
        QFile f(dir_.filePath(rel));
        return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
    }
    bool link(const QString& targetRel, const QString& linkRel)
    {
        return QFile::link(dir_.filePath(targetRel), dir_.filePath(linkRel));
    }

    QTemporaryDir dir_;
    bool ok_ = false;
};

class ListSerialDevices : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Created out of COM order on purpose.
        sys.usbDevice(QStringLiteral("1-3"), "2341", "0043", "Uno");
        sys.tty(QStringLiteral("ttyACM2"), QStringLiteral("devices/pci0000:00/usb1/1-3/1-3:1.0"),
                QStringLiteral("cdc_acm"));
        sys.usbDevice(QStringLiteral("1-2"), "0403", "6001", "FT232R USB UART");
        sys.tty(QStringLiteral("ttyUSB0"), QStringLiteral("devices/pci0000:00/usb1/1-2/1-2:1.0/ttyUSB0"),
                QStringLiteral("ftdi_sio"));
        sys.usbDevice(QStringLiteral("1-4"), "067b", "2303", "");
        sys.tty(QStringLiteral("ttyUSB5"), QStringLiteral("devices/pci0000:00/usb1/1-4/1-4:1.0/ttyUSB5"),
                QStringLiteral("pl2303"));
        // Never listed: no COM number by rule, or no device behind the tty.
        sys.usbDevice(QStringLiteral("1-5"), "0403", "6001", "");
        sys.tty(QStringLiteral("ttyUSB100"), QStringLiteral("devices/pci0000:00/usb1/1-5/1-5:1.0/ttyUSB100"),
                QStringLiteral("ftdi_sio"));
        sys.bareTty(QStringLiteral("ttyS0"));
        sys.bareTty(QStringLiteral("ttyUSB7"));
        ASSERT_TRUE(sys.ok());
    }
    FakeSysfs sys;
};

TEST_F(ListSerialDevices, ReadsDriverAndUsbIdsSortedByComNumber)
{
    const auto list = listSerialDevices(sys.root(), {{77, "/dev/pts/9"}});
    ASSERT_EQ(list.size(), 4u);

    const struct {
        int com;
        const char *name, *device, *driver, *vid, *pid, *description;
        bool registered;
    } expected[] = {
        {1, "COM1", "/dev/ttyUSB0", "ftdi_sio", "0403", "6001", "FT232R USB UART", false},
        {6, "COM6", "/dev/ttyUSB5", "pl2303", "067B", "2303", "USB serial device", false},
        {77, "COM77", "/dev/pts/9", "simulated", "", "", "Simulated logger", true},
        {103, "COM103", "/dev/ttyACM2", "cdc_acm", "2341", "0043", "Uno", false},
    };
    for (size_t i = 0; i < list.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(list[i].comNumber, expected[i].com);
        EXPECT_EQ(list[i].comName, QString::fromLatin1(expected[i].name));
        EXPECT_EQ(list[i].devicePath, QString::fromLatin1(expected[i].device));
        EXPECT_EQ(list[i].driver, QString::fromLatin1(expected[i].driver));
        EXPECT_EQ(list[i].vendorId, QString::fromLatin1(expected[i].vid));
        EXPECT_EQ(list[i].productId, QString::fromLatin1(expected[i].pid));
        EXPECT_EQ(list[i].description, QString::fromLatin1(expected[i].description));
        EXPECT_EQ(list[i].registered, expected[i].registered);
    }
}

TEST_F(ListSerialDevices, RegistrationHidesTheUsbDeviceOfTheSameNumber)
{
    const auto list = listSerialDevices(sys.root(), {{1, "/dev/pts/3"}});
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].comNumber, 1);
    EXPECT_EQ(list[0].devicePath, QStringLiteral("/dev/pts/3"));
    EXPECT_EQ(list[0].driver, QStringLiteral("simulated"));
    EXPECT_TRUE(list[0].registered);
    EXPECT_EQ(list[1].comNumber, 6);
    EXPECT_EQ(list[2].comNumber, 103);
}

TEST(ListSerialDevicesEmpty, MissingSysfsGivesOnlyRegistrations)
{
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    EXPECT_TRUE(listSerialDevices(empty.path(), {}).empty());
    const auto list = listSerialDevices(empty.path() + QStringLiteral("/nowhere"), {{3, "/dev/pts/1"}});
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].comName, QStringLiteral("COM3"));
}

}  // namespace
}  // namespace zelt
