#pragma once
// The graph window: a recording drawn against time.
#include <QWidget>
#include <functional>

class QPainter;

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace zelt {

class LogMemo;

class TForm2 : public QWidget {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);

    QLabel* Label5 = nullptr;  // data set name
    QLabel* Label2 = nullptr;  // first sample time
    QLabel* Label3 = nullptr;  // last sample time
    QLabel* Label4 = nullptr;  // time at the centre line
    QLabel* Label1 = nullptr;  // backward steps
    QScrollBar* ScrollBar1 = nullptr;
    QComboBox* ComboBox1 = nullptr;  // time base
    QComboBox* ComboBox2 = nullptr;  // statistics axis
    QLineEdit* Edit8 = nullptr;      // time units per pixel
    QLineEdit* Edit1 = nullptr;      // mean override
    QCheckBox* CheckBox1 = nullptr;  // X trace
    QCheckBox* CheckBox2 = nullptr;  // Y trace
    QCheckBox* CheckBox3 = nullptr;  // Z trace
    QPushButton* Button2 = nullptr;  // print
    QPushButton* Button4 = nullptr;  // parse again
    QPushButton* Button1 = nullptr;  // fill the memo (hidden)
    LogMemo* Memo1 = nullptr;        // the lines drawn

    // Beyond the time-base list: the whole recording at once, the unit of
    // the values, and the picture as a file.
    QPushButton* FitButton = nullptr;  // 全体
    QComboBox* UnitBox = nullptr;      // G, m/s²
    QPushButton* PngButton = nullptr;
    QPushButton* SvgButton = nullptr;
    QPushButton* PdfButton = nullptr;
    // The time and values of the sample under the mouse.
    QLabel* Readout = nullptr;

    // The window's own events, handed to the graph feature.
    std::function<void(QPainter&)> onPaint;
    std::function<void()> onShow;
    std::function<void()> onClose;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
};

}  // namespace zelt
