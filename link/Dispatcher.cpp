#include "link/Dispatcher.h"

#include "link/ComPort.h"
#include "link/Protocol.h"
#include "platform/Cp932.h"
#include "platform/Dialogs.h"
#include "platform/LogMemo.h"
#include "platform/PeriodicTimer.h"
#include "platform/Widgets.h"
#include "shell/TForm1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <cstring>

namespace zelt {

namespace {

QString latin(const QByteArray& bytes)
{
    return fromCp932(bytes);
}

QString twoChars(char a, char b)
{
    const char text[2] = {a, b};
    return fromCp932(QByteArray(text, 2));
}

}  // namespace

Dispatcher::Dispatcher(TForm1& form) : QObject(&form), f_(form)
{
    f_.ApdComPort1->OnTriggerAvail = [this](quint16 count) {
        f_.guard([this, count] { ApdComPort1TriggerAvail(count); });
    };
}

void Dispatcher::setMarker(const QString& text)
{
    // The label ignores a text it already shows, so this costs little per byte.
    f_.Label23->setText(text);
}

void Dispatcher::ApdComPort1TriggerAvail(quint16 count)
{
    f_.noteLoggerActivity();
    if (f_.onlineRow != 0) {
        if (f_.hooks.onlineReceive)
            f_.hooks.onlineReceive(count);
        return;
    }
    if (f_.firmwareSending) {
        if (f_.hooks.firmwareReceive)
            f_.hooks.firmwareReceive();
        return;
    }
    if (f_.linkUp == 1) {
        lineLoop();
        return;
    }
    // The first answer after a connect: the bytes stay waiting for the next
    // notification, which the logger's answer to 'm' brings.
    f_.establishLink();
}

void Dispatcher::lineLoop()
{
    ComPort& port = *f_.ApdComPort1;
    while (port.CharReady()) {
        setMarker(QStringLiteral("1"));
        const char c = port.GetChar();
        switch (c) {
        case kEnq:
            port.PutChar(kAck);
            break;
        case '\r':
        case '!':
        case '?':
            break;
        case '\n':
            completeLine();
            break;
        case kEndMark:
            endMark();
            break;
        default:
            // The line holds at most 127 characters; the excess of a longer
            // line is dropped.
            if (f_.lineLength < kLineBufferSize - 1)
                f_.lineBuffer[f_.lineLength++] = c;
            break;
        }
    }
}

void Dispatcher::completeLine()
{
    f_.lineBuffer[f_.lineLength] = '\0';
    if (f_.monitorMode == 1) {
        // A monitor reply accumulates in the buffer until the end mark.
        if (f_.hooks.monitorLine)
            f_.hooks.monitorLine();
        return;
    }
    const ReportLine line(f_.lineBuffer, f_.lineLength);
    if (f_.downloadActive) {
        // Every line of the record stream is data: a longer one is stored as
        // a record (one that is no record becomes a bad-record line of the
        // decoding pass), a short one is listed. None is acted on as an
        // identification or a report: a line of noise must neither write a
        // setting to the logger nor change the counts per G nor open a box.
        if (f_.lineLength > 3) {
            // Records beyond the logger's capacity are kept too, up to a
            // bound for a line that never ends its answer.
            f_.recordLines.set(f_.recordCount, QByteArrayView(f_.lineBuffer, f_.lineLength));
            ++f_.recordCount;
            f_.ProgressBar1->setValue(f_.recordCount);
        } else if (f_.lineLength > 1) {
            f_.Memo1->addLine(QByteArray(f_.lineBuffer, f_.lineLength));
        }
        f_.lineLength = 0;
        f_.lineBuffer[0] = '\0';
        if (f_.recordCount >= f_.recordLimit) {
            f_.ApdComPort1->setOpen(false);
            f_.exchangeEnded();
            if (f_.hooks.downloadCutShort)
                f_.hooks.downloadCutShort(
                    QStringLiteral("%1 lines without an end mark").arg(f_.recordLimit));
            if (f_.Timer1->interval() == 0)
                f_.Timer1->setInterval(1000);
        }
        return;
    }
    // Answers are listed in the log, but never appended to a data set the
    // memo holds (a download, a capture, a file): its lines stay as they
    // arrived. The settings controls still follow the reports.
    if (f_.lineLength > 1 && !f_.memoHoldsDataSet())
        f_.Memo1->addLine(QByteArray(f_.lineBuffer, f_.lineLength));
    if (line.at(0) == 'J')
        identificationLine();
    else if (line.at(0) == '@')
        applyReport(line);
    f_.lineLength = 0;
    f_.lineBuffer[0] = '\0';
}

void Dispatcher::identificationLine()
{
    const ReportLine line(f_.lineBuffer, f_.lineLength);
    const bool valid = (line.at(4) == '1' && line.at(5) == '2' && line.at(6) == '8') ||
                       (line.at(3) == '1' && line.at(4) == '2' && line.at(5) == '8');
    if (!valid) {
        f_.Button37->hide();
        f_.dialogs().message(QStringLiteral("This is not a KTW-128"));
        return;
    }
    f_.Button37->show();
    const int e = line.find('=');
    const QByteArray number = e >= 0 ? line.from(e + 1) : QByteArray();
    f_.loggerNumberText = std::string_view(number.constData(), static_cast<size_t>(number.size()));
    f_.Label41->setText(latin(f_.loggerNumberText.bytes()));
    f_.loggerNumber = leadingInteger(f_.loggerNumberText.bytes());
}

void Dispatcher::applyReport(const ReportLine& L)
{
    const int e = L.equalsPos();
    const int b = L.blankPos();
    // A field needs its '=' or blank; without it the line is only listed.
    const auto needE = [e] { return e >= 0; };
    const auto needB = [b] { return b >= 0; };
    switch (L.at(1)) {
    case 'A': {
        if (!needB())
            return;
        const QByteArray v1 = L.valueAt(b + 3), v2 = L.valueAt(b + 9), v3 = L.valueAt(b + 15);
        const auto onOff = [](const QByteArray& v) { return v == " 00" ? QStringLiteral("OFF") : QStringLiteral("ON"); };
        if (L.at(b + 1) == 'h') {
            f_.Edit1->setText(latin(v1));
            f_.Edit2->setText(onOff(v2));
            f_.Edit6->setText(onOff(v3));
        } else {
            f_.Edit7->setText(onOff(v1));
            f_.Edit8->setText(latin(v2));
            f_.Edit11->setText(latin(v3));
        }
        break;
    }
    case 'B':
        if (needE() && L.at(e + 5) != '\0')
            f_.Label19->setText(L.at(e + 5) == '0' ? QStringLiteral("BZ-ON") : QStringLiteral("BZ-OFF"));
        break;
    case 'C': {
        if (!needE())
            return;
        const CountField field = countField(L);
        f_.Label13->setText(latin(field.number));
        f_.recordCount = leadingInteger(field.number);
        f_.Label39->setText(latin(field.rest));
        if (f_.recordCount < 0) {
            f_.recordCount = -f_.recordCount;
            f_.dialogs().message(QStringLiteral("データ数不具合"));
        }
        f_.reportedRecordCount = f_.recordCount;
        f_.ProgressBar1->setMaximum(f_.recordCount);
        f_.ProgressBar1->setValue(0);
        break;
    }
    case 'D':
        if (needE() && L.at(e + 3) != '\0')
            f_.ComboBox1->showText(twoChars(L.at(e + 1), L.at(e + 3)));
        break;
    case 'd':
        if (needE() && L.at(e + 2) != '\0')
            f_.ComboBox1->showText(twoChars(L.at(e + 1), L.at(e + 2)));
        break;
    case 'F':
        if (!needB())
            return;
        f_.Edit20->setText(latin(L.valueAt(b + 3)));
        f_.Edit16->setText(latin(L.valueAt(b + 9)));
        f_.Edit17->setText(latin(L.valueAt(b + 15)));
        break;
    case 'G':
        if (needB())
            f_.Label33->setText(latin(L.from(b + 1)));
        break;
    case 'g':
        if (!needE() || L.at(e + 1) == '\0')
            return;
        if ((L.at(e + 1) & 7) == 5) {
            f_.countsPerG = 2;
            f_.ComboBox5->showText(QStringLiteral("50"));
        }
        if (needB())
            f_.Label33->setText(latin(L.from(b + 1)));
        break;
    case 'I': {
        if (!needE() || L.at(e + 1) == '\0')
            return;
        const char c = L.at(e + 1);
        f_.ComboBox3->showText(samplingTextFor(c));
        f_.fastSampling = isFastSamplingCode(c) ? 1 : 0;
        break;
    }
    case 'K':
        if (needB())
            f_.Edit21->setText(latin(L.from(b + 1)));
        break;
    case 'L':
        if (needE())
            f_.Edit14->setText(latin(L.from(e + 4)));
        break;
    case 'M': {
        if (!needE())
            return;
        int j = e + 2;
        while (L.at(j) >= '0' && L.at(j) <= '9')
            ++j;
        // The line is cut at j: the ID is the text from e+3 up to the cut.
        if (j < f_.lineLength) {
            f_.lineBuffer[j] = '\0';
            f_.lineLength = j;
        }
        f_.Label18->setText(latin(L.mid(e + 3, j)));
        break;
    }
    case 'R': {
        if (!needE() || L.at(e + 1) == '\0')
            return;
        f_.intervalIndex = intervalIndexOf(L.at(e + 1));
        f_.intervalText = QString::fromLatin1(intervalTextFor(f_.intervalIndex));
        f_.ComboBox2->showText(f_.intervalText);
        break;
    }
    case 'T': {
        if (!needE() || L.at(e + 4) == '\0')
            return;
        if (const auto range = rangeFor(L.at(e + 4), L.at(e + 5))) {
            f_.countsPerG = range->countsPerG;
            f_.ComboBox5->showText(QString::fromLatin1(range->text));
        }
        break;
    }
    case 'W': {
        if (!needE() || L.at(e + 5) == '\0')
            return;
        const bool on = L.at(e + 5) != '0';
        // Setting the check mark runs the check box's handler at once (while
        // thresholdDetect still holds the previous state), as a click would.
        f_.CheckBox2->setFocus();
        f_.CheckBox2->setChecked(on);
        f_.thresholdDetect = on ? 1 : 0;
        f_.Edit12->setText(on ? QStringLiteral("1") : QStringLiteral("0"));
        break;
    }
    case 'Y':
        if (needE())
            f_.Label15->setText(latin(L.from(e + 1)));
        break;
    case 'r':
        if (needE())
            f_.Edit15->setText(latin(L.from(e + 2)));
        break;
    case 's':
        if (needE() && L.at(e + 5) != '\0')
            f_.ComboBox4->showText(L.at(e + 5) == '0' ? QStringLiteral("Sleep") : QStringLiteral("開始"));
        break;
    case 'w':
        if (needE())
            f_.Label31->setText(latin(L.from(e + 2)));
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
    f_.monitorStreamOpen = 0;
    setMarker(QStringLiteral("3.5"));
    if (f_.connectReportPending == 1) {
        f_.connectReportPending = 0;
        f_.queuedCommand1 = "p";
        f_.queuedCommand2 = "p";
    }
    ComPort& port = *f_.ApdComPort1;
    if (!f_.queuedCommand1.empty()) {
        const QByteArray command = f_.queuedCommand1.bytes();
        f_.queuedCommand1.clear();
        port.PutString(command);
        return;
    }
    if (!f_.queuedCommand2.empty()) {
        const QByteArray command = f_.queuedCommand2.bytes();
        f_.queuedCommand2.clear();
        port.PutString(command);
        return;
    }
    if (!f_.queuedCommand3.empty()) {
        const QByteArray command = f_.queuedCommand3.bytes();
        f_.queuedCommand3.clear();
        port.PutString(command);
        return;
    }

    // The exchange is over. Bytes after the end mark are dropped with the close.
    port.setOpen(false);
    QByteArray lastText(f_.lineBuffer, f_.lineLength);
    f_.lineLength = 0;
    if (f_.downloadActive == 1 && f_.hooks.downloadComplete) {
        f_.hooks.downloadComplete();
        lastText = QByteArray(f_.lineBuffer, static_cast<int>(strnlen(f_.lineBuffer, kLineBufferSize)));
    }
    f_.Label24->setText(latin(lastText));
    f_.lineBuffer[0] = '\0';
    if (f_.Timer1->interval() == 0)
        f_.Timer1->setInterval(1000);
}

}  // namespace zelt
