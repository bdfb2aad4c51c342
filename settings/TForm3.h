#pragma once
// The "Set_My_ID" dialog: sets the logger's ID number.
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace zelt {

class TForm3 : public QWidget {
    Q_OBJECT
public:
    // initialId: the ID shown by the main window when the dialog is created.
    explicit TForm3(const QString& initialId, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* Button1 = nullptr;
};

// The "WaitOption" dialog: sets the logger's wait value.
class TForm6 : public QWidget {
    Q_OBJECT
public:
    explicit TForm6(QWidget* parent = nullptr);

    QPushButton* Button1 = nullptr;
    QLineEdit* Edit1 = nullptr;
};

}  // namespace zelt
