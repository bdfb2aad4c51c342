#pragma once
// The "Set_My_ID" dialog (sets the logger's ID number) and the "WaitOption"
// dialog (sets its wait value). Both are created hidden at start, shown from
// the main window and hidden again after sending; IdWaitDialogsFeature joins
// their buttons to the main window's port and tick.
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace zelt {

// Whether the ID field lets a key press through: digits and Backspace do,
// every other character is discarded. Keys that carry no character (arrows,
// Home, End, Delete) and focus movement with Tab are not character input
// and pass.
bool idFieldAcceptsKey(int key, const QString& text);

class TForm3 : public QWidget {
    Q_OBJECT
public:
    // initialId: the ID shown by the main window when the dialog is created.
    explicit TForm3(const QString& initialId, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* Button1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

class TForm6 : public QWidget {
    Q_OBJECT
public:
    explicit TForm6(QWidget* parent = nullptr);

    QPushButton* Button1 = nullptr;
    QLineEdit* Edit1 = nullptr;
};

}  // namespace zelt
