#pragma once
// The dialog shown when the port to open has number 0: the configured port is
// not valid and the user picks one of the serial ports present.
#include "platform/ComPortNames.h"

#include <QDialog>
#include <optional>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

namespace zelt {

class SelectPortDialog : public QDialog {
    Q_OBJECT
public:
    // Lists the ports by COM name, the first one selected.
    explicit SelectPortDialog(const std::vector<SerialDeviceInfo>& ports, QWidget* parent = nullptr);

    // The COM number of the selected list entry; nullopt when none is selected.
    std::optional<int> selectedComNumber() const;

    QListWidget* portList() const { return list_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

private:
    QListWidget* list_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

// Shows the dialog modally; the chosen COM number, or nullopt on Cancel.
std::optional<int> askForPort(QWidget* parent, const std::vector<SerialDeviceInfo>& ports);

}  // namespace zelt
