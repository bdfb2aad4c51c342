#include "platform/SystemRegistry.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#ifdef _WIN32
#include <QDesktopServices>
#include <QUrl>
#include <windows.h>
#endif

namespace zelt {

namespace {
const QString kSerialComm = QStringLiteral("HARDWARE\\DEVICEMAP\\SERIALCOMM");
const QString kLoggerAdapter =
    QStringLiteral("SYSTEM\\ControlSet001\\Enum\\FTDIBUS\\VID_0FE3+PID_6002+00000001A\\0000");
const QString kGenericAdapter =
    QStringLiteral("SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS\\VID_0403+PID_6001+FTDI0001A\\0000\\Device Parameters");

bool isLoggerAdapter(const SerialDeviceInfo& d)
{
    return d.registered ||
           (d.vendorId.compare(QLatin1String("0FE3"), Qt::CaseInsensitive) == 0 &&
            d.productId.compare(QLatin1String("6002"), Qt::CaseInsensitive) == 0);
}

bool isGenericAdapter(const SerialDeviceInfo& d)
{
    return d.vendorId.compare(QLatin1String("0403"), Qt::CaseInsensitive) == 0 &&
           d.productId.compare(QLatin1String("6001"), Qt::CaseInsensitive) == 0;
}
}  // namespace

SystemRegistry::SystemRegistry(std::function<std::vector<SerialDeviceInfo>()> devices)
    : devices_(devices ? std::move(devices) : [] { return listSerialDevices(); })
{
}

#ifdef _WIN32
std::optional<std::vector<RegistryValue>> SystemRegistry::readKey(const QString& keyPath)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, reinterpret_cast<LPCWSTR>(keyPath.utf16()), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return std::nullopt;
    std::vector<RegistryValue> values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLen = 256;
        wchar_t data[512];
        DWORD dataLen = sizeof data;
        DWORD type = 0;
        const LONG r = RegEnumValueW(key, i, name, &nameLen, nullptr, &type, reinterpret_cast<LPBYTE>(data), &dataLen);
        if (r != ERROR_SUCCESS)
            break;
        QString text;
        if (type == REG_SZ && dataLen >= sizeof(wchar_t))
            text = QString::fromWCharArray(data, static_cast<int>(dataLen / sizeof(wchar_t))).section(QChar(0), 0, 0);
        values.push_back({QString::fromWCharArray(name, static_cast<int>(nameLen)), text});
    }
    RegCloseKey(key);
    return values;
}
#else
std::optional<std::vector<RegistryValue>> SystemRegistry::readKey(const QString& keyPath)
{
    const std::vector<SerialDeviceInfo> devices = devices_();
    if (keyPath == kSerialComm) {
        if (devices.empty())
            return std::nullopt;
        std::vector<RegistryValue> values;
        int vcp = 0, other = 0;
        for (const SerialDeviceInfo& d : devices) {
            const bool ftdi = d.registered || d.driver == QLatin1String("ftdi_sio");
            const QString name = ftdi ? QStringLiteral("\\Device\\VCP%1").arg(vcp++)
                                      : QStringLiteral("\\Device\\Serial%1").arg(other++);
            values.push_back({name, d.comName});
        }
        return values;
    }
    if (keyPath == kLoggerAdapter) {
        for (const SerialDeviceInfo& d : devices)
            if (isLoggerAdapter(d))
                return std::vector<RegistryValue>{{QStringLiteral("FriendlyName"),
                                                   QStringLiteral("USB Serial Port (%1)").arg(d.comName)}};
        return std::nullopt;
    }
    if (keyPath == kGenericAdapter) {
        for (const SerialDeviceInfo& d : devices)
            if (isGenericAdapter(d))
                return std::vector<RegistryValue>{{QStringLiteral("PortName"), d.comName}};
        return std::nullopt;
    }
    return std::nullopt;
}
#endif

void showSerialDevices(QWidget* owner)
{
#ifdef _WIN32
    ShellExecuteA(owner ? reinterpret_cast<HWND>(owner->winId()) : nullptr, "", "devmgmt.msc", "", "", SW_SHOWNORMAL);
#else
    const std::vector<SerialDeviceInfo> devices = listSerialDevices();
    QDialog dialog(owner);
    dialog.setWindowTitle(QStringLiteral("DeviceManager"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(devices.empty() ? QStringLiteral("No serial device is connected.")
                                                 : QStringLiteral("Serial devices of this computer:"),
                                 &dialog));
    auto* table = new QTableWidget(static_cast<int>(devices.size()), 5, &dialog);
    table->setHorizontalHeaderLabels({QStringLiteral("Port"), QStringLiteral("Device"), QStringLiteral("Driver"),
                                      QStringLiteral("USB ID"), QStringLiteral("Description")});
    for (int row = 0; row < static_cast<int>(devices.size()); ++row) {
        const SerialDeviceInfo& d = devices[static_cast<size_t>(row)];
        const QString usb = d.vendorId.isEmpty() ? QString() : d.vendorId + QLatin1Char(':') + d.productId;
        const QStringList cells{d.comName, d.devicePath, d.driver, usb, d.description};
        for (int col = 0; col < cells.size(); ++col)
            table->setItem(row, col, new QTableWidgetItem(cells[col]));
    }
    table->horizontalHeader()->setStretchLastSection(true);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(table);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    layout->addWidget(buttons);
    dialog.resize(640, 260);
    dialog.exec();
#endif
}

}  // namespace zelt
