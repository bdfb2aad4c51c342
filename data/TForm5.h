#pragma once
// The reservation dialog "予約時間": month, day, hour and minute of a
// reserved recording start.
#include <QWidget>

class QComboBox;
class QPushButton;

namespace zelt {

class PeriodicTimer;

class TForm5 : public QWidget {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);

    QComboBox* ComboBox1 = nullptr;  // month
    QComboBox* ComboBox2 = nullptr;  // day
    QComboBox* ComboBox3 = nullptr;  // hour
    QComboBox* ComboBox4 = nullptr;  // minute
    QPushButton* Button1 = nullptr;  // OK
    PeriodicTimer* Timer1 = nullptr;

    // Dialog state
    int reservationKeyAtShow = 0;
    int pendingDay = 0;
};

}  // namespace zelt
