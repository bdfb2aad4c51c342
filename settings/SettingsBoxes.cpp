#include "settings/SettingsBoxes.h"

#include "settings/SettingCommands.h"
#include "link/ComPort.h"
#include "platform/Cp932.h"
#include "platform/Dialogs.h"
#include "platform/LogMemo.h"
#include "platform/PeriodicTimer.h"
#include "settings/CommandText.h"
#include "settings/SendCommand.h"
#include "shell/TForm1.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace zelt {

SettingsBoxesFeature::SettingsBoxesFeature(TForm1& form) : QObject(&form), f_(form)
{
    onUserChange(f_.ComboBox1, &SettingsBoxesFeature::ComboBox1Change);
    onUserChange(f_.ComboBox2, &SettingsBoxesFeature::ComboBox2Change);
    onUserChange(f_.ComboBox3, &SettingsBoxesFeature::ComboBox3Change);
    onUserChange(f_.ComboBox5, &SettingsBoxesFeature::ComboBox5Change);
    f_.onClick(f_.Button17, [this] { Button17Click(); });
    f_.onClick(f_.Button27, [this] { Button27Click(); });
}

void SettingsBoxesFeature::onUserChange(SettingsBox* box, void (SettingsBoxesFeature::*handler)(const QString&))
{
    // One command per change of the text by the user: typed or chosen.
    connect(box, &SettingsBox::userChanged, this,
            [this, handler](const QString& text) { f_.guard([this, handler, text] { (this->*handler)(text); }); });
}

void SettingsBoxesFeature::ComboBox1Change(const QString& text)
{
    if (!guardAllows(f_, Guard::Identified))
        return;
    ComPort& port = *f_.ApdComPort1;
    if (!port.Open())
        port.setOpen(true);
    port.PutString(thresholdCommand(text));
    f_.Memo1->clear();
    requestRefresh(f_);
}

void SettingsBoxesFeature::ComboBox2Change(const QString& text)
{
    if (!guardAllows(f_, Guard::IdentifiedIdle))
        return;
    f_.intervalText = text;
    const int index = intervalIndexForText(text);
    if (index < 0)
        return;  // no interval has this text: nothing to send
    CommandRule rule;
    rule.guard = Guard::IdentifiedIdle;
    rule.after = AfterSend::Refresh;
    sendCommand(f_, rule, [this, index] { return intervalCommand(f_, index); });
}

void SettingsBoxesFeature::Button17Click()
{
    if (lineBusy(f_))
        return;
    const int index = nextIntervalIndex(f_.intervalIndex);
    f_.intervalIndex = index;
    sendCommand(f_, CommandRule{}, [this, index] { return intervalCommand(f_, index); });
    f_.intervalText = QString::fromLatin1(intervalTextFor(index));
    f_.ComboBox2->showText(f_.intervalText);
}

void SettingsBoxesFeature::ComboBox3Change(const QString& text)
{
    CommandRule rule;
    rule.guard = Guard::Identified;
    rule.after = AfterSend::Refresh;
    sendCommand(f_, rule, [text] { return samplingCommand(text); });
}

void SettingsBoxesFeature::ComboBox5Change(const QString& text)
{
    if (f_.loggerReady) {
        CommandRule rule;
        rule.after = AfterSend::Refresh;
        sendCommand(f_, rule, [text] { return rangeCommand(text); });
        return;
    }
    f_.countsPerG = countsPerGForRange(text);
}

void SettingsBoxesFeature::Button27Click()
{
    FileRequest& dialog = f_.SaveDialog1;
    dialog.confirmOverwrite = true;  // stays set for the CSV save too
    dialog.mustExist = false;
    dialog.defaultSuffix.clear();    // the chosen name is used as it is
    dialog.fileName = configFileName(f_.Label18->text());
    if (!f_.dialogs().saveFile(dialog))
        return;
    f_.Memo1->saveToFile(dialog.fileName);
}

}  // namespace zelt
