#include "shell/Dispatcher.h"

#include "link/ComPort.h"
#include "link/Protocol.h"
#include "platform/Cp932.h"
#include "platform/Dialogs.h"
#include "platform/LogMemo.h"
#include "platform/PeriodicTimer.h"
#include "platform/Widgets.h"
#include "shell/TForm1.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace zelt {

Dispatcher::Dispatcher(TForm1& form) : QObject(&form), f_(form)
{
    f_.ApdComPort1->OnTriggerAvail = [this](quint16 count) {
        f_.guard([this, count] { ApdComPort1TriggerAvail(count); });
    };
    f_.link().setView(this);
}

Dispatcher::~Dispatcher()
{
    f_.link().setView(nullptr);
}

void Dispatcher::ApdComPort1TriggerAvail(quint16 count)
{
    f_.link().receive(count);
}

void Dispatcher::applyReport(const ReportLine& line)
{
    f_.link().applyReport(line);
}

void Dispatcher::setMarker(const QString& text)
{
    // The label ignores a text it already shows, so this costs little per byte.
    f_.Label23->setText(text);
}

void Dispatcher::restartTick()
{
    if (f_.Timer1->interval() == 0)
        f_.Timer1->setInterval(1000);
}

void Dispatcher::bytesArrived()
{
    f_.noteLoggerActivity();
}

void Dispatcher::captureBytes(quint16 count)
{
    if (f_.hooks.onlineReceive)
        f_.hooks.onlineReceive(count);
}

void Dispatcher::firmwareBytes()
{
    if (f_.hooks.firmwareReceive)
        f_.hooks.firmwareReceive();
}

void Dispatcher::linkEstablished()
{
    f_.Button4->setText(QStringLiteral("接続"));
    f_.showLinkedLook();
}

void Dispatcher::receiving()
{
    setMarker(QStringLiteral("1"));
}

void Dispatcher::monitorLine()
{
    if (f_.hooks.monitorLine)
        f_.hooks.monitorLine();
}

void Dispatcher::recordStored(int count)
{
    f_.ProgressBar1->setValue(count);
}

void Dispatcher::downloadListed(QByteArrayView line)
{
    f_.Memo1->addLine(line);
}

void Dispatcher::downloadCutShort(const QString& why)
{
    f_.exchangeEnded();
    if (f_.hooks.downloadCutShort)
        f_.hooks.downloadCutShort(why);
    restartTick();
}

void Dispatcher::answerLine(QByteArrayView line)
{
    // Answers are listed in the log, but never appended to a data set the
    // memo holds (a download, a capture, a file): its lines stay as they
    // arrived. The settings controls still follow the reports.
    if (!f_.memoHoldsDataSet()) {
        f_.hideAnswers();
        f_.Memo1->addLine(line);
        return;
    }
    f_.showAnswer(fromCp932(QByteArray(line.data(), line.size())));
}

void Dispatcher::identified(bool handled)
{
    if (!handled) {
        f_.Button37->hide();
        f_.dialogs().message(QStringLiteral("This is not a KTW-128"));
        return;
    }
    f_.Button37->show();
    f_.Label41->setText(fromCp932(f_.loggerNumberText.bytes()));
}

void Dispatcher::reportApplied(const ReportUpdate& u)
{
    const LoggerSettings& v = f_.link().settings();
    switch (u.letter) {
    case 'A':
        if (u.kind == 'h') {
            f_.Edit1->setText(v.hazard);
            f_.Edit2->setText(v.gravity);
            f_.Edit6->setText(v.endless);
        } else {
            f_.Edit7->setText(v.hundredHz);
            f_.Edit8->setText(v.display);
            f_.Edit11->setText(v.df);
        }
        break;
    case 'B':
        f_.Label19->setText(v.buzzer);
        break;
    case 'C':
        f_.Label13->setText(v.recordCount);
        f_.Label39->setText(v.recordCountRest);
        if (u.negativeCount)
            f_.dialogs().message(QStringLiteral("データ数不具合"));
        f_.ProgressBar1->setMaximum(f_.recordCount);
        f_.ProgressBar1->setValue(0);
        break;
    case 'D':
    case 'd':
        f_.ComboBox1->showText(v.threshold);
        break;
    case 'F':
        f_.Edit20->setText(v.calibrationX);
        f_.Edit16->setText(v.calibrationY);
        f_.Edit17->setText(v.calibrationZ);
        break;
    case 'G':
    case 'g':
        if (u.rangeSet)
            f_.ComboBox5->showText(v.range);
        if (u.statusSet)
            f_.Label33->setText(v.status);
        break;
    case 'I':
        f_.ComboBox3->showText(v.sampling);
        break;
    case 'K':
        f_.Edit21->setText(v.identity);
        break;
    case 'L':
        f_.Edit14->setText(v.lText);
        break;
    case 'M':
        f_.Label18->setText(v.myId);
        break;
    case 'R':
        f_.ComboBox2->showText(f_.intervalText);
        break;
    case 'T':
        if (u.rangeSet)
            f_.ComboBox5->showText(v.range);
        break;
    case 'W': {
        // Setting the check mark runs the check box's handler at once (while
        // thresholdDetect still holds the previous state), as a click would.
        // The focus goes to the check box only when no control of the window
        // holds it: taken from a box the user types into, or from a button,
        // the user's next key (a digit, Space) would land on the check box
        // and switch the detection.
        if (!f_.isAncestorOf(QApplication::focusWidget()))
            f_.CheckBox2->setFocus();
        f_.CheckBox2->setChecked(v.thresholdDetect == QStringLiteral("1"));
        f_.Edit12->setText(v.thresholdDetect);
        break;
    }
    case 'Y':
        f_.Label15->setText(v.year);
        break;
    case 'r':
        f_.Edit15->setText(v.rec);
        break;
    case 's':
        f_.ComboBox4->showText(v.startMode);
        break;
    case 'w':
        f_.Label31->setText(v.wait);
        break;
    default:
        break;
    }
}

void Dispatcher::endMark()
{
    f_.exchangeEnded();
    if (f_.monitorMode && f_.monitorStreamOpen && f_.hooks.monitorReplyEnd)
        f_.hooks.monitorReplyEnd();
    setMarker(QStringLiteral("3.5"));
}

bool Dispatcher::downloadEnded()
{
    if (!f_.hooks.downloadComplete)
        return false;
    f_.hooks.downloadComplete();
    return true;
}

void Dispatcher::exchangeClosed(const QByteArray& lastText)
{
    f_.Label24->setText(fromCp932(lastText));
    restartTick();
}

}  // namespace zelt
