#include "settings/IdWaitDialogs.h"

#include "settings/SettingCommands.h"
#include "link/ComPort.h"
#include "platform/Widgets.h"
#include "settings/CommandText.h"
#include "settings/SendCommand.h"
#include "settings/TForm3.h"
#include "shell/TForm1.h"

#include <QLineEdit>
#include <QPushButton>

namespace zelt {

namespace {

void showDialog(QWidget& dialog)
{
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
}

}  // namespace

IdWaitDialogsFeature::IdWaitDialogsFeature(TForm1& main, TForm3& idDialog, TForm6& waitDialog)
    : QObject(&main), f_(main), form3_(idDialog), form6_(waitDialog)
{
    f_.onDoubleClick(f_.Label17, [this] { Label17DblClick(); });
    f_.onClick(f_.Label30, [this] { Label30Click(); });
    connect(form3_.Button1, &QPushButton::clicked, this, [this] { f_.guard([this] { SetMyIdClick(); }); });
    connect(form6_.Button1, &QPushButton::clicked, this, [this] { f_.guard([this] { SetWaitClick(); }); });
}

void IdWaitDialogsFeature::Label17DblClick()
{
    showDialog(form3_);
}

void IdWaitDialogsFeature::Label30Click()
{
    showDialog(form6_);
}

void IdWaitDialogsFeature::SetMyIdClick()
{
    if (!guardAllows(f_, Guard::IdentifiedIdle))
        return;
    sendValue(form3_, form3_.Edit1, formatIdValue(form3_.Edit1->text()), &idCommand);
}

void IdWaitDialogsFeature::SetWaitClick()
{
    if (!guardAllows(f_, Guard::IdentifiedIdle))
        return;
    sendValue(form6_, form6_.Edit1, formatWaitValue(form6_.Edit1->text()), &waitCommand);
}

void IdWaitDialogsFeature::sendValue(QWidget& dialog, QLineEdit* edit, const QString& value,
                                     QByteArray (*command)(const QString&))
{
    edit->setText(value);
    edit->repaint();
    ComPort& port = *f_.ApdComPort1;
    port.setOpen(true);
    port.PutString(command(value));
    requestRefresh(f_);
    dialog.hide();
}

}  // namespace zelt
