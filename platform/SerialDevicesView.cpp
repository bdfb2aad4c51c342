#include "platform/SerialDevicesView.h"

#include "platform/ComPortNames.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QWidget>

#ifdef _WIN32
#include "platform/win/DeviceManager.h"
#endif

namespace zelt {

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
