#include "platform/SystemRegistry.h"

#include "shell/search/PortSearchRules.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#ifdef _WIN32
#include "platform/win/DeviceManager.h"
#include "platform/win/WindowsRegistry.h"
#endif

namespace zelt {

#ifndef _WIN32
namespace {
const QString kSerialComm = QString::fromLatin1(kSerialCommKey);
const QString kLoggerAdapter = QString::fromLatin1(kLoggerAdapterKey);
const QString kGenericAdapter = QString::fromLatin1(kGenericAdapterKey);

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
#endif

SystemRegistry::SystemRegistry(std::function<std::vector<SerialDeviceInfo>()> devices)
    : devices_(devices ? std::move(devices) : [] { return listSerialDevices(); })
{
}

#ifdef _WIN32
std::optional<std::vector<RegistryValue>> SystemRegistry::readKey(const QString& keyPath)
{
    win::WindowsRegistry registry;
    const auto entries = registry.readKey(keyPath.toStdU16String());
    if (!entries)
        return std::nullopt;
    std::vector<RegistryValue> values;
    for (const RegistryEntry& e : *entries)
        values.push_back({QString::fromStdU16String(e.name), QString::fromStdU16String(e.data)});
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
    win::openDeviceManager(owner ? reinterpret_cast<void*>(owner->winId()) : nullptr);
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
