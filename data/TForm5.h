#pragma once
// The reservation dialog "予約時間": month, day, hour and minute of a
// reserved recording start.
#include "platform/SettingsBox.h"

#include <QWidget>

class QPushButton;

namespace zelt {

class PeriodicTimer;

class TForm5 : public QWidget {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);

    SettingsBox* ComboBox1 = nullptr;  // month
    SettingsBox* ComboBox2 = nullptr;  // day
    SettingsBox* ComboBox3 = nullptr;  // hour
    SettingsBox* ComboBox4 = nullptr;  // minute
    QPushButton* Button1 = nullptr;  // OK
    PeriodicTimer* Timer1 = nullptr;

    // Dialog state
    int reservationKeyAtShow = 0;
    int pendingDay = 0;
};

}  // namespace zelt
