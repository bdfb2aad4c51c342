#pragma once
// The main window's command controls: each sends one short text command to
// the logger (a setting, a switch, a request for information) through
// sendCommand, and most ask for the settings report afterwards.
#include <QObject>

namespace zelt {

class TForm1;

class CommandButtonsFeature : public QObject {
public:
    // Joins every command control of the main window.
    explicit CommandButtonsFeature(TForm1& form);

    void Button8Click();   // VER
    void Button45Click();  // S
    void Button1Click();   // e: set the clock, wake-up 'm' 12 s later
    void Button2Click();   // 新規開始
    void Button26Click();  // N01, then "p" from the tick
    void Button9Click();   // 検出値
    void Label19DblClick();  // buzzer
    void CheckBox2Click();         // threshold-exceed detection, clicked
    void CheckBox2ReportChange();  // its check mark set by the '@W' report
    void Button31Click();  // SETBLE
    void Button32Click();  // RSTBLE
    void Label36Click();   // 調整用->
    void Button55Click();  // Wid

private:
    void joinTable();

    TForm1& f_;
    bool checkBoxPressed_ = false;  // a click of CheckBox2 is under way
};

}  // namespace zelt
