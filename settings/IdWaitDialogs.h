#pragma once
// The ID and wait dialogs joined to the main window: the "My ID" label shows
// the ID dialog, the "開始設定" label the wait dialog; their buttons send the
// value through the main window's port and ask for the settings report.
#include <QObject>

class QLineEdit;
class QWidget;

namespace zelt {

class TForm1;
class TForm3;
class TForm6;

class IdWaitDialogsFeature : public QObject {
public:
    IdWaitDialogsFeature(TForm1& main, TForm3& idDialog, TForm6& waitDialog);

    void Label17DblClick();  // shows the ID dialog
    void Label30Click();     // shows the wait dialog
    void SetMyIdClick();     // "Set My_ID": "Y" and three digits
    void SetWaitClick();     // "Set_Wait": "w" and two digits

private:
    // Writes the formatted value back into the box, sends prefix + value,
    // asks for the report and hides the dialog.
    void sendValue(QWidget& dialog, QLineEdit* edit, const QString& value, QByteArray (*command)(const QString&));

    TForm1& f_;
    TForm3& form3_;
    TForm6& form6_;
};

}  // namespace zelt
