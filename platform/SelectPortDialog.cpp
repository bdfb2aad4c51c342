#include "platform/SelectPortDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace zelt {

SelectPortDialog::SelectPortDialog(const std::vector<SerialDeviceInfo>& ports, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Select Port"));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("The configured serial port is not valid."), this));
    layout->addWidget(new QLabel(QStringLiteral("Please choose another port."), this));

    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("portList"));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    for (const SerialDeviceInfo& port : ports) {
        auto* item = new QListWidgetItem(port.comName, list_);
        item->setData(Qt::UserRole, port.comNumber);
        item->setToolTip(QStringLiteral("%1 (%2)").arg(port.devicePath, port.description));
    }
    layout->addWidget(list_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);

    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(list_, &QListWidget::itemSelectionChanged, this,
            [this] { ok_->setEnabled(selectedComNumber().has_value()); });

    if (list_->count() > 0)
        list_->setCurrentRow(0);
    ok_->setEnabled(selectedComNumber().has_value());
}

std::optional<int> SelectPortDialog::selectedComNumber() const
{
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    if (selected.isEmpty())
        return std::nullopt;
    return selected.first()->data(Qt::UserRole).toInt();
}

std::optional<int> askForPort(QWidget* parent, const std::vector<SerialDeviceInfo>& ports)
{
    SelectPortDialog dialog(ports, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.selectedComNumber();
}

}  // namespace zelt
