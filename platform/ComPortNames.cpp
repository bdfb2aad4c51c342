#include "platform/ComPortNames.h"

#include "platform/PortDirectory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtGlobal>
#include <algorithm>

#ifdef Q_OS_WIN
#include "platform/win/ComDeviceName.h"

#include <QSerialPortInfo>
#endif

namespace zelt {

namespace {

constexpr int kMaxComNumber = 65535;
constexpr int kUsbFirst = 1;      // ttyUSB0
constexpr int kUsbCount = 100;    // ttyUSB0..ttyUSB99
constexpr int kAcmFirst = 101;    // ttyACM0

QString readTrimmed(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).trimmed();
}

// Ids as the kernel writes them ("0403", "067b"), shown upper-case.
QString normalisedId(const QString& raw)
{
    return raw.trimmed().toUpper();
}

// The base name of the target of a symbolic link, "" when there is none.
QString linkTargetName(const QString& linkPath)
{
    const QFileInfo info(linkPath);
    if (!info.isSymLink())
        return {};
    return QFileInfo(info.symLinkTarget()).fileName();
}

struct UsbIds {
    QString vendorId, productId, product;
};

// Walks up from a resolved device directory to the USB device it belongs to
// (the first directory holding idVendor), never leaving the sysfs root.
UsbIds usbIdsAbove(const QString& deviceDir, const QString& root)
{
    QDir dir(deviceDir);
    while (true) {
        const QString path = dir.absolutePath();
        if (!path.startsWith(root + QLatin1Char('/')))
            return {};
        if (QFileInfo::exists(path + QStringLiteral("/idVendor"))) {
            return {normalisedId(readTrimmed(path + QStringLiteral("/idVendor"))),
                    normalisedId(readTrimmed(path + QStringLiteral("/idProduct"))),
                    readTrimmed(path + QStringLiteral("/product"))};
        }
        if (!dir.cdUp())
            return {};
    }
}

}  // namespace

QString comName(int comNumber)
{
    return QStringLiteral("COM%1").arg(comNumber);
}

int comNumberForDevice(const QString& devicePath)
{
    static const QRegularExpression re(QStringLiteral("^/dev/tty(USB|ACM)(\\d+)$"));
    const QRegularExpressionMatch m = re.match(devicePath);
    if (!m.hasMatch())
        return 0;
    bool ok = false;
    const int k = m.captured(2).toInt(&ok);
    if (!ok || (m.captured(2).size() > 1 && m.captured(2).startsWith(QLatin1Char('0'))))
        return 0;
    if (m.captured(1) == QLatin1String("USB"))
        return k < kUsbCount ? k + kUsbFirst : 0;
    return k <= kMaxComNumber - kAcmFirst ? k + kAcmFirst : 0;
}

QString deviceForComNumber(int comNumber)
{
    if (comNumber <= 0 || comNumber > kMaxComNumber)
        return {};
#ifdef Q_OS_WIN
    return QString::fromStdU16String(win::comDeviceName(comNumber));
#else
    const std::map<int, std::string> registered = registeredPorts();
    if (auto it = registered.find(comNumber); it != registered.end())
        return QString::fromStdString(it->second);
    if (comNumber < kUsbFirst + kUsbCount)
        return QStringLiteral("/dev/ttyUSB%1").arg(comNumber - kUsbFirst);
    return QStringLiteral("/dev/ttyACM%1").arg(comNumber - kAcmFirst);
#endif
}

std::vector<SerialDeviceInfo> listSerialDevices(const QString& sysRoot,
                                                const std::map<int, std::string>& registered)
{
    std::vector<SerialDeviceInfo> out;
    for (const auto& [number, path] : registered) {
        if (number <= 0 || number > kMaxComNumber)
            continue;
        SerialDeviceInfo info;
        info.comNumber = number;
        info.comName = comName(number);
        info.devicePath = QString::fromStdString(path);
        info.driver = QStringLiteral("simulated");
        info.description = QStringLiteral("Simulated logger");
        info.registered = true;
        out.push_back(info);
    }

    const QString root = QFileInfo(sysRoot).canonicalFilePath();
    const QDir ttyDir(sysRoot + QStringLiteral("/class/tty"));
    if (!root.isEmpty() && ttyDir.exists()) {
        const QStringList names = ttyDir.entryList({QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")},
                                                   QDir::Dirs | QDir::Files | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& name : names) {
            const QString devicePath = QStringLiteral("/dev/") + name;
            const int number = comNumberForDevice(devicePath);
            if (number == 0 || registered.count(number))
                continue;
            const QString deviceLink = ttyDir.filePath(name) + QStringLiteral("/device");
            const QFileInfo deviceInfo(deviceLink);
            if (!deviceInfo.exists())  // no hardware behind it
                continue;
            const QString deviceDir = deviceInfo.canonicalFilePath();

            SerialDeviceInfo info;
            info.comNumber = number;
            info.comName = comName(number);
            info.devicePath = devicePath;
            info.driver = linkTargetName(deviceDir + QStringLiteral("/driver"));
            const UsbIds ids = usbIdsAbove(deviceDir, root);
            info.vendorId = ids.vendorId;
            info.productId = ids.productId;
            info.description = !ids.product.isEmpty() ? ids.product
                                                      : QStringLiteral("USB serial device");
            out.push_back(info);
        }
    }

    std::sort(out.begin(), out.end(), [](const SerialDeviceInfo& a, const SerialDeviceInfo& b) {
        return a.comNumber < b.comNumber;
    });
    return out;
}

std::vector<SerialDeviceInfo> listSerialDevices()
{
#ifdef Q_OS_WIN
    std::vector<SerialDeviceInfo> out;
    static const QRegularExpression re(QStringLiteral("^COM(\\d+)$"));
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
        const QRegularExpressionMatch m = re.match(port.portName());
        if (!m.hasMatch())
            continue;
        const int number = m.captured(1).toInt();
        if (number <= 0 || number > kMaxComNumber)
            continue;
        SerialDeviceInfo info;
        info.comNumber = number;
        info.comName = comName(number);
        info.devicePath = deviceForComNumber(number);
        info.description = port.description();
        if (port.hasVendorIdentifier())
            info.vendorId = QStringLiteral("%1").arg(port.vendorIdentifier(), 4, 16, QLatin1Char('0')).toUpper();
        if (port.hasProductIdentifier())
            info.productId = QStringLiteral("%1").arg(port.productIdentifier(), 4, 16, QLatin1Char('0')).toUpper();
        out.push_back(info);
    }
    std::sort(out.begin(), out.end(), [](const SerialDeviceInfo& a, const SerialDeviceInfo& b) {
        return a.comNumber < b.comNumber;
    });
    return out;
#else
    return listSerialDevices(QStringLiteral("/sys"), registeredPorts());
#endif
}

bool isLoggerAdapter(const SerialDeviceInfo& d)
{
    return d.vendorId.compare(QLatin1String("0FE3"), Qt::CaseInsensitive) == 0 &&
           d.productId.compare(QLatin1String("6002"), Qt::CaseInsensitive) == 0;
}

bool isGenericAdapter(const SerialDeviceInfo& d)
{
    return d.vendorId.compare(QLatin1String("0403"), Qt::CaseInsensitive) == 0 &&
           d.productId.compare(QLatin1String("6001"), Qt::CaseInsensitive) == 0;
}

}  // namespace zelt
