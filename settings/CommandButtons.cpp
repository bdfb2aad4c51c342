#include "settings/CommandButtons.h"

#include "settings/SettingCommands.h"
#include "link/ComPort.h"
#include "platform/Cp932.h"
#include "platform/LogMemo.h"
#include "platform/PeriodicTimer.h"
#include "platform/Widgets.h"
#include "settings/CommandText.h"
#include "settings/SendCommand.h"
#include "shell/TForm1.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace zelt {

namespace {

enum class Param { None, SignedTwoDigits, Toggle, Raw, RecordDigits };

// A button whose command is a fixed text, or a fixed prefix and the
// parameter made from one edit box.
struct ButtonCommand {
    QPushButton* TForm1::*button;
    Guard guard;
    bool clearLog;
    const char* text;
    Param param;
    QLineEdit* TForm1::*edit;
    AfterSend after;
    int timerMs;
    bool singleCharacters;
};

constexpr auto kNo = AfterSend::None;
constexpr auto kRefresh = AfterSend::Refresh;
constexpr auto kStop = AfterSend::StopTimer;
constexpr auto kTimer = AfterSend::Timer;
constexpr auto kAny = Guard::None;
constexpr auto kReady = Guard::Identified;
constexpr auto kIdle = Guard::IdentifiedIdle;

const ButtonCommand kButtonCommands[] = {
    // button            guard   clear  text   parameter              edit box         after     ms    chars
    {&TForm1::Button15, kAny,   true,  "m",   Param::None,            nullptr,         kNo,      0,    false},  // 情報
    {&TForm1::Button5,  kAny,   false, "#",   Param::None,            nullptr,         kNo,      0,    false},  // T
    {&TForm1::Button46, kAny,   false, "m",   Param::None,            nullptr,         kNo,      0,    true},   // m
    {&TForm1::Button44, kAny,   true,  "vp",  Param::None,            nullptr,         kNo,      0,    false},  // OLD
    {&TForm1::Button56, kAny,   false, "E",   Param::None,            nullptr,         kNo,      0,    true},   // GPS
    {&TForm1::Button29, kIdle,  false, "n",   Param::None,            nullptr,         kNo,      0,    false},  // GET
    {&TForm1::Button16, kIdle,  false, "t",   Param::None,            nullptr,         kNo,      0,    false},  // 時間表示
    {&TForm1::Button7,  kReady, false, "o",   Param::None,            nullptr,         kNo,      0,    false},  // ON
    {&TForm1::Button14, kReady, false, "f",   Param::None,            nullptr,         kNo,      0,    false},  // StandBy
    {&TForm1::Button18, kReady, true,  "Ox",  Param::SignedTwoDigits, &TForm1::Edit1,  kRefresh, 0,    false},  // ハザード
    {&TForm1::Button19, kReady, true,  "Oy",  Param::Toggle,          &TForm1::Edit2,  kRefresh, 0,    false},  // Gravity
    {&TForm1::Button20, kReady, true,  "Oz",  Param::Toggle,          &TForm1::Edit6,  kRefresh, 0,    false},  // エンドレス
    {&TForm1::Button21, kReady, true,  "OX",  Param::Toggle,          &TForm1::Edit7,  kRefresh, 0,    false},  // 100hz
    {&TForm1::Button23, kReady, true,  "OY",  Param::SignedTwoDigits, &TForm1::Edit8,  kRefresh, 0,    false},  // 表示
    {&TForm1::Button24, kReady, true,  "OZ",  Param::SignedTwoDigits, &TForm1::Edit11, kRefresh, 0,    false},  // DF
    {&TForm1::Button25, kReady, true,  "q7",  Param::None,            nullptr,         kNo,      0,    false},  // LCD1
    {&TForm1::Button33, kReady, true,  "q5",  Param::None,            nullptr,         kRefresh, 0,    false},  // DR50
    {&TForm1::Button34, kReady, true,  "q1",  Param::None,            nullptr,         kRefresh, 0,    false},  // DR10
    {&TForm1::Button35, kReady, true,  "b0",  Param::None,            nullptr,         kRefresh, 0,    false},  // N
    {&TForm1::Button36, kReady, true,  "b1",  Param::None,            nullptr,         kRefresh, 0,    false},  // L
    {&TForm1::Button43, kReady, true,  "b0",  Param::None,            nullptr,         kNo,      0,    false},  // 320
    {&TForm1::Button48, kReady, true,  "L",   Param::SignedTwoDigits, &TForm1::Edit14, kRefresh, 0,    false},  // L
    {&TForm1::Button49, kAny,   true,  "W",   Param::None,            nullptr,         kTimer,   3000, false},  // W
    {&TForm1::Button50, kReady, true,  "r",   Param::RecordDigits,    &TForm1::Edit15, kRefresh, 0,    false},  // Rec
    {&TForm1::Button53, kReady, false, "FX",  Param::Raw,             &TForm1::Edit20, kRefresh, 0,    false},  // X2
    {&TForm1::Button51, kReady, false, "FY",  Param::Raw,             &TForm1::Edit16, kRefresh, 0,    false},  // Y2
    {&TForm1::Button52, kReady, false, "FZ",  Param::Raw,             &TForm1::Edit17, kRefresh, 0,    false},  // Z2
    {&TForm1::Button54, kReady, false, "Kr",  Param::None,            nullptr,         kStop,    0,    false},  // id
};

QString parameterOf(Param param, const QString& editText)
{
    switch (param) {
    case Param::None: return {};
    case Param::SignedTwoDigits: return formatSignedTwoDigits(editText);
    case Param::Toggle: return toggleParameter(editText);
    case Param::Raw: return rawParameter(editText);
    case Param::RecordDigits: return formatRecordDigits(editText);
    }
    return {};
}

QByteArray bytesOf(const QString& text)
{
    return toCp932(text);
}

}  // namespace

CommandButtonsFeature::CommandButtonsFeature(TForm1& form) : QObject(&form), f_(form)
{
    joinTable();
    f_.onClick(f_.Button8, [this] { Button8Click(); });
    f_.onClick(f_.Button45, [this] { Button45Click(); });
    f_.onClick(f_.Button1, [this] { Button1Click(); });
    f_.onClick(f_.Button2, [this] { Button2Click(); });
    f_.onClick(f_.Button26, [this] { Button26Click(); });
    f_.onClick(f_.Button9, [this] { Button9Click(); });
    f_.onDoubleClick(f_.Label19, [this] { Label19DblClick(); });
    // The check mark changes by a click and by the '@W' report alike; both
    // run the handler, which reads thresholdDetect as it was before. A click
    // (mouse, key or click()) is always announced by pressed first.
    connect(f_.CheckBox2, &QAbstractButton::pressed, this, [this] { checkBoxPressed_ = true; });
    connect(f_.CheckBox2, &QAbstractButton::released, this, [this] { checkBoxPressed_ = false; });
    connect(f_.CheckBox2, &QCheckBox::toggled, this, [this] {
        const bool byUser = checkBoxPressed_;
        checkBoxPressed_ = false;
        f_.guard([this, byUser] {
            if (byUser)
                CheckBox2Click();
            else
                CheckBox2ReportChange();
        });
    });
    f_.onClick(f_.Button31, [this] { Button31Click(); });
    f_.onClick(f_.Button32, [this] { Button32Click(); });
    f_.onClick(f_.Label36, [this] { Label36Click(); });
    f_.onClick(f_.Button55, [this] { Button55Click(); });
    // The "  RUN" label answers neither click nor double click. The
    // "やりなおし" button belongs to the live monitor, which joins it.
}

void CommandButtonsFeature::joinTable()
{
    for (const ButtonCommand& row : kButtonCommands) {
        f_.onClick(f_.*row.button, [this, &row] {
            CommandRule rule;
            rule.guard = row.guard;
            rule.clearLog = row.clearLog;
            rule.singleCharacters = row.singleCharacters;
            rule.after = row.after;
            rule.timerMs = row.timerMs;
            sendCommand(f_, rule, [this, &row] {
                QString command = QString::fromLatin1(row.text);
                if (row.param != Param::None) {
                    f_.parameterText = parameterOf(row.param, (f_.*row.edit)->text());
                    command += f_.parameterText;
                }
                return bytesOf(command);
            });
        });
    }
}

void CommandButtonsFeature::Button8Click()
{
    if (lineBusy(f_))
        return;
    f_.Memo1->clear();
    f_.monitorStreamOpen = 0;
    f_.loggerReady = 1;
    if (!f_.ApdComPort1->Open())
        f_.ApdComPort1->setOpen(true);
    f_.ApdComPort1->PutString("p");
    f_.Timer1->setInterval(2000);
    f_.Button39->hide();
    if (f_.loggerNumber == 20240624)
        f_.Button32->show();
}

void CommandButtonsFeature::Button45Click()
{
    CommandRule rule;
    rule.singleCharacters = true;
    if (!sendCommand(f_, rule, [] { return QByteArray("ep"); }))
        return;
    f_.Button45->hide();
    f_.Button46->show();
    f_.ApdComPort1->setOpen(false);
}

void CommandButtonsFeature::Button1Click()
{
    if (!sendCommand(f_, CommandRule{}, [this] { return clockCommand(f_.nowText); }))
        return;
    f_.queuedCommand1 = "te";
    f_.Timer1->setInterval(0);
    f_.wakeTime = f_.nowValue + 12.0 / 86400.0;
    f_.wakeArmed = 1;
}

void CommandButtonsFeature::Button2Click()
{
    CommandRule rule;
    rule.guard = Guard::IdentifiedIdle;
    if (!sendCommand(f_, rule, [this] { return clockCommand(f_.nowText); }))
        return;
    f_.queuedCommand1 = "t";
    f_.Timer1->setInterval(0);
}

void CommandButtonsFeature::Button26Click()
{
    if (!sendCommand(f_, CommandRule{}, [] { return QByteArray("N01"); }))
        return;
    f_.tickSendQueue = "p";
    f_.tickSendPos = 0;
}

void CommandButtonsFeature::Button9Click()
{
    sendCommand(f_, CommandRule{}, [this] { return thresholdCommand(f_.ComboBox1->currentText()); });
}

void CommandButtonsFeature::Label19DblClick()
{
    CommandRule rule;
    rule.guard = Guard::IdentifiedIdle;
    rule.after = AfterSend::Refresh;
    sendCommand(f_, rule, [this] {
        return QByteArray(f_.Label19->text() == QStringLiteral("BZ-ON") ? "z1" : "z0");
    });
}

void CommandButtonsFeature::CheckBox2Click()
{
    if (!guardAllows(f_, Guard::Identified))
        return;
    const bool on = !f_.thresholdDetect;
    sendCommand(f_, CommandRule{}, [on] { return QByteArray(on ? "k1" : "k0"); });
    f_.thresholdDetect = on ? 1 : 0;
    {
        // Already so after a click; no second run of this handler.
        const QSignalBlocker quiet(f_.CheckBox2);
        f_.CheckBox2->setChecked(on);
    }
    requestRefresh(f_);
}

void CommandButtonsFeature::CheckBox2ReportChange()
{
    if (!guardAllows(f_, Guard::Identified))
        return;
    // The report is still arriving: a command written now would be answered
    // in the middle of it, one end mark more than the queue counts on, and
    // the answer to the next command would be cut short by the surplus end
    // mark. So the command for the reported state joins the end-mark queue
    // (normally it goes out at the report's own end mark) with the report
    // asked for again after its answer. The report sets thresholdDetect
    // itself once the mark is set.
    const char* command = !f_.thresholdDetect ? "k1" : "k0";
    f_.Timer1->setInterval(0);
    if (f_.queuedCommand1.empty()) {
        f_.queuedCommand1 = command;
        if (f_.queuedCommand2.empty())
            f_.queuedCommand2 = "p";
    } else if (f_.queuedCommand2.empty()) {
        f_.queuedCommand2 = command;
        if (f_.queuedCommand3.empty())
            f_.queuedCommand3 = "p";
    } else if (f_.queuedCommand3.empty()) {
        f_.queuedCommand3 = command;
    } else {
        // No slot is free: it goes at once, as a click would.
        sendCommand(f_, CommandRule{}, [command] { return QByteArray(command); });
    }
}

void CommandButtonsFeature::Button31Click()
{
    CommandRule rule;
    rule.guard = Guard::Identified;
    rule.clearLog = true;
    rule.after = AfterSend::Timer;
    rule.timerMs = 2000;
    if (!sendCommand(f_, rule, [] { return QByteArray("q8"); }))
        return;
    f_.Button31->hide();
    f_.Button32->hide();
}

void CommandButtonsFeature::Button32Click()
{
    CommandRule rule;
    rule.guard = Guard::Identified;
    rule.clearLog = true;
    rule.after = AfterSend::Timer;
    rule.timerMs = 10000;
    if (!sendCommand(f_, rule, [] { return QByteArray("q9"); }))
        return;
    f_.Button31->show();
    f_.Button32->hide();
}

void CommandButtonsFeature::Label36Click()
{
    CommandRule rule;
    rule.guard = Guard::Identified;
    rule.clearLog = true;
    sendCommand(f_, rule, [] { return QByteArray("e"); });
}

void CommandButtonsFeature::Button55Click()
{
    CommandRule rule;
    rule.guard = Guard::Identified;
    const bool sent = sendCommand(f_, rule, [this] {
        f_.parameterText = rawParameter(f_.Edit21->text());
        return bytesOf(QStringLiteral("Kw") + f_.parameterText);
    });
    if (!sent)
        return;
    f_.ApdComPort1->PutChar('\r');
    f_.Timer1->setInterval(0);
}

}  // namespace zelt
