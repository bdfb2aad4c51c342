#pragma once
// The acquisition settings boxes of the main window: threshold, recording
// interval (with the "10min" cycling button), sampling period and range, and
// the "SAV" button that writes the log memo to a configuration text file.
//
// Only changes made by the user send: typing (every keystroke that changes
// the text) and choosing an item. Texts set by the program, as the settings
// report does, send nothing.
#include <QObject>
#include <QString>

namespace zelt {

class SettingsBox;
class TForm1;

class SettingsBoxesFeature : public QObject {
public:
    explicit SettingsBoxesFeature(TForm1& form);

    void ComboBox1Change(const QString& text);  // threshold
    void ComboBox2Change(const QString& text);  // recording interval
    void Button17Click();                       // 10min: next interval
    void ComboBox3Change(const QString& text);  // sampling period
    void ComboBox5Change(const QString& text);  // range
    void Button27Click();                       // SAV

private:
    void onUserChange(SettingsBox* box, void (SettingsBoxesFeature::*handler)(const QString&));

    TForm1& f_;
};

}  // namespace zelt
