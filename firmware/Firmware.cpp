#include "firmware/Firmware.h"

#include "firmware/FirmwareImage.h"
#include "firmware/HexFile.h"
#include "link/ComPort.h"
#include "platform/Dialogs.h"
#include "platform/LogMemo.h"
#include "platform/PeriodicTimer.h"
#include "shell/TForm1.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>

namespace zelt {

namespace {

const char kLoaderCall[] = "\x03\x06\x03\x06\x03";

// Lets the port take in bytes (and the window repaint) while a handshake
// waits; clicks and keys wait until the handler is done.
void pauseForPort()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QThread::msleep(1);
}

QString seconds(int ms)
{
    return QString::number((ms + 999) / 1000);
}

}  // namespace

QString firmwareNotReadyMessage(int limitMs, bool portClosed)
{
    return (portClosed ? QStringLiteral("Update not started: the port closed before the logger answered \"e\" with \"#\".")
                       : QStringLiteral("Update not started: the logger did not answer \"e\" with \"#\" within %1 s.")
                             .arg(seconds(limitMs))) +
           QStringLiteral(" Nothing of the image was sent.");
}

QString firmwareNoVerifyMessage(int limitMs, bool portClosed)
{
    return (portClosed ? QStringLiteral("The port closed before the logger answered \"qs\" with \"M\".")
                       : QStringLiteral("The logger did not answer \"qs\" with \"M\" within %1 s.").arg(seconds(limitMs))) +
           QStringLiteral(" The image was sent, but the update is not confirmed.");
}

QString firmwareStalledMessage(int lineIndex, int lineCount, int limitMs)
{
    return QStringLiteral("Update stopped: the logger did not answer line %1 of %2 within %3 s.")
        .arg(lineIndex)
        .arg(lineCount)
        .arg(seconds(limitMs));
}

QString firmwareNoImageMessage()
{
    return QStringLiteral("The log no longer holds the firmware image. Press Start first.");
}

QString firmwareNeedsFileMessage()
{
    return QStringLiteral("No firmware file is open. Open the logger's firmware (Intel HEX file) with \"HEX...\" "
                          "first; the built-in image is only for the simulated logger. Nothing was sent.");
}

FirmwareFeature::FirmwareFeature(TForm1& form) : QObject(&form), f_(form)
{
    f_.Memo2->setLines(standInImageLines());

    // In the row of "Start" and "Update", in the window's compact view.
    hexFileButton = new QPushButton(QStringLiteral("HEX..."), &f_);
    hexFileButton->setObjectName(QStringLiteral("ButtonHexFile"));
    hexFileButton->setGeometry(388, 48, 60, 24);
    hexFileButton->setToolTip(QStringLiteral("Open the logger's firmware (Intel HEX file)"));
    hexFileButton->show();
    // Under "Update", where the progress bar runs; the bar covers it while
    // it is shown.
    imageLabel = new QLabel(&f_);
    imageLabel->setObjectName(QStringLiteral("firmwareImageLabel"));
    imageLabel->setGeometry(8, 76, 464, 18);
    imageLabel->stackUnder(f_.ProgressBar1);
    imageLabel->hide();
    f_.Button39->installEventFilter(this);
    f_.simulatorNotice->installEventFilter(this);

    f_.onClick(f_.Button37, [this] { Button37Click(); });
    f_.onClick(f_.Button39, [this] { Button39Click(); });
    f_.onClick(hexFileButton, [this] { openHexFileClick(); });
    f_.hooks.firmwareReceive = [this] { firmwareReceive(); };
    stallWatch_ = new QTimer(this);
    stallWatch_->setInterval(200);
    connect(stallWatch_, &QTimer::timeout, this, [this] { f_.guard([this] { checkStall(); }); });
}

bool FirmwareFeature::simulatedLoggerAttached() const
{
    return f_.platform.portNotice && !f_.platform.portNotice(f_.ApdComPort1->ComNumber()).isEmpty();
}

bool FirmwareFeature::imageToSend(Image* image) const
{
    if (!fileName_.isEmpty()) {
        *image = {&fileImage_, fileName_};
        return true;
    }
    if (simulatedLoggerAttached() && !standInImageLines().empty()) {
        *image = {&standInImageLines(), QStringLiteral("the generated stand-in image (simulated logger only)")};
        return true;
    }
    return false;
}

void FirmwareFeature::showImageChoice()
{
    Image image;
    const QString text = imageToSend(&image) ? QStringLiteral("Update sends: %1").arg(image.name)
                                             : QStringLiteral("No firmware file open: press \"HEX...\" to open one");
    imageLabel->setText(text);
    f_.Button39->setToolTip(text);
    imageLabel->setVisible(!f_.Button39->isHidden() || !fileName_.isEmpty());
}

bool FirmwareFeature::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == f_.Button39 || watched == f_.simulatorNotice) &&
        (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent))
        showImageChoice();
    return QObject::eventFilter(watched, event);
}

void FirmwareFeature::openHexFileClick()
{
    if (f_.firmwareSending)
        return;
    FileRequest request;
    request.filter = QStringLiteral("Intel HEX files|*.hex");
    request.mustExist = true;
    request.fileName = lastHexPath_;
    if (!f_.dialogs().openFile(request))
        return;
    lastHexPath_ = request.fileName;
    HexFileResult loaded = loadHexFile(request.fileName);
    if (!loaded.error.isEmpty()) {
        // Whatever was open before stays the image.
        f_.dialogs().message(loaded.error);
        return;
    }
    fileImage_ = std::move(loaded.lines);
    fileName_ = QFileInfo(request.fileName).fileName();
    f_.Memo2->setLines(fileImage_);
    // An "Update" prepared with another image waits for "Start" again.
    if (f_.Memo1->store() != fileImage_)
        f_.Button39->hide();
    showImageChoice();
}

void FirmwareFeature::Button37Click()
{
    // A transfer under way keeps the log memo and the line to itself, as do
    // a download and a capture.
    if (!f_.loggerReady || f_.firmwareSending || f_.downloadActive || f_.onlineRow != 0)
        return;
    Image image;
    if (!imageToSend(&image)) {
        showImageChoice();
        f_.dialogs().message(firmwareNeedsFileMessage());
        return;
    }
    f_.Memo1->clear();
    ComPort& port = *f_.ApdComPort1;
    if (!port.Open())
        port.setOpen(true);
    port.PutString(QByteArray(kLoaderCall, 5));
    f_.Memo2->setLines(*image.lines);
    f_.Memo1->setLines(*image.lines);
    f_.Button39->show();
    showImageChoice();
}

void FirmwareFeature::Button39Click()
{
    if (f_.firmwareSending || f_.downloadActive || f_.onlineRow != 0)
        return;
    // The choice is made again: the logger may have changed since "Start".
    Image image;
    const bool haveImage = imageToSend(&image);
    showImageChoice();
    if (!haveImage) {
        f_.dialogs().message(firmwareNeedsFileMessage());
        return;
    }
    // Only the image goes to the loader: another command since "Start" has
    // replaced the log memo's lines with its own answer.
    if (f_.Memo1->store() != *image.lines) {
        f_.dialogs().message(firmwareNoImageMessage());
        return;
    }
    f_.dialogs().message(QStringLiteral("Do not Release or Power off until update completed"));

    ComPort& port = *f_.ApdComPort1;
    f_.savedTimerInterval = f_.Timer1->interval();
    f_.Timer1->setInterval(0);
    // From here the dispatcher hands the bytes to this feature; while the
    // wait below runs they stay for it.
    f_.firmwareSending = 1;
    waitingForReady_ = true;
    Wait wait = Wait::TimedOut;
    try {
        if (!port.Open())
            port.setOpen(true);
        port.PutChar('e');
        wait = waitForReady();
    } catch (...) {
        waitingForReady_ = false;
        f_.firmwareSending = 0;
        f_.Timer1->setInterval(f_.savedTimerInterval);
        throw;
    }
    waitingForReady_ = false;
    if (wait != Wait::Got) {
        f_.firmwareSending = 0;
        f_.Timer1->setInterval(f_.savedTimerInterval);
        f_.dialogs().message(firmwareNotReadyMessage(readyLimitMs, wait == Wait::PortClosed));
        return;
    }
    // What came with the '#' is not an answer to a line: only answers to
    // the lines may pace the transfer.
    while (port.CharReady())
        port.GetChar();

    sending_ = f_.Memo1->store();
    f_.firmwareLineCount = sending_.size();
    f_.ProgressBar1->setMinimum(0);
    f_.ProgressBar1->setMaximum(f_.firmwareLineCount);
    f_.ProgressBar1->setValue(0);
    f_.ProgressBar1->show();
    f_.firmwareLineIndex = 0;
    f_.Edit12->setText(QString::fromLatin1(sending_.view(0)));
    sendLine(0);
    stallWatch_->start();
}

void FirmwareFeature::sendLine(int index)
{
    try {
        f_.ApdComPort1->PutString(sending_.at(index));
    } catch (...) {
        // The transfer cannot go on; the error itself is shown by the
        // handler boundary.
        stallWatch_->stop();
        f_.firmwareSending = 0;
        f_.Timer1->setInterval(f_.savedTimerInterval);
        f_.ProgressBar1->hide();
        sending_.clear();
        throw;
    }
    f_.firmwareLineIndex = index + 1;
    sinceLineSent_.start();
}

void FirmwareFeature::firmwareReceive()
{
    // During the wait for '#' the Update handler reads the bytes itself.
    if (waitingForReady_ || inArrival_ || !f_.firmwareSending)
        return;
    struct InArrival {
        bool& flag;
        explicit InArrival(bool& b) : flag(b) { flag = true; }
        ~InArrival() { flag = false; }
    } inArrival(inArrival_);

    ComPort& port = *f_.ApdComPort1;
    while (port.CharReady()) {
        if (port.GetChar() == '!')
            f_.dialogs().message(QStringLiteral("err"));
    }
    const int count = f_.firmwareLineCount;
    if (f_.firmwareLineIndex >= count - 1) {
        finish();
        return;
    }
    int index = f_.firmwareLineIndex;
    const QByteArrayView line = sending_.view(index);
    f_.ProgressBar1->setValue(index);
    f_.Edit12->setText(QString::fromLatin1(line) + QString::number(index) + QString::number(count));
    if (QString::fromLatin1(line) == f_.Edit22->text()) {
        // The address record of the configuration words and the record after
        // it stay out of the loader.
        index += 2;
        f_.setCaption(QStringLiteral("Skip CNFG"));
        if (index >= count) {  // a key that matches near the end skips past it
            f_.firmwareLineIndex = index;
            finish();
            return;
        }
    }
    sendLine(index);
}

void FirmwareFeature::finish()
{
    stallWatch_->stop();
    f_.ProgressBar1->hide();
    f_.Memo1->clear();
    sending_.clear();
    ComPort& port = *f_.ApdComPort1;
    // The tick stays stopped and the transfer flag set until the handshake
    // is over, so neither the tick nor the watchdog talks into it.
    const auto restore = [this] {
        f_.Timer1->setInterval(f_.savedTimerInterval);
        f_.firmwareSending = 0;
    };
    Wait wait = Wait::TimedOut;
    try {
        port.PutString("qs");
        wait = waitForVerify();
    } catch (...) {
        restore();
        throw;
    }
    restore();
    if (wait != Wait::Got) {
        f_.dialogs().message(firmwareNoVerifyMessage(verifyLimitMs, wait == Wait::PortClosed));
        return;
    }
    port.PutChar('m');
}

FirmwareFeature::Wait FirmwareFeature::waitForReady()
{
    ComPort& port = *f_.ApdComPort1;
    QElapsedTimer t;
    t.start();
    for (;;) {
        while (port.CharReady()) {
            if (port.GetChar() == '#')
                return Wait::Got;
        }
        if (!port.Open())
            return Wait::PortClosed;
        if (t.elapsed() >= readyLimitMs)
            return Wait::TimedOut;
        pauseForPort();
    }
}

FirmwareFeature::Wait FirmwareFeature::waitForVerify()
{
    ComPort& port = *f_.ApdComPort1;
    QElapsedTimer t;
    t.start();
    for (;;) {
        bool any = false;
        char last = 0;
        while (port.CharReady()) {
            last = port.GetChar();
            any = true;
        }
        if (any && last == 'M')
            return Wait::Got;
        if (!port.Open())
            return Wait::PortClosed;
        if (t.elapsed() >= verifyLimitMs)
            return Wait::TimedOut;
        pauseForPort();
    }
}

void FirmwareFeature::checkStall()
{
    if (!f_.firmwareSending || waitingForReady_ || inArrival_ || sending_.empty())
        return;
    if (sinceLineSent_.elapsed() < lineLimitMs)
        return;
    abandon(firmwareStalledMessage(f_.firmwareLineIndex - 1, f_.firmwareLineCount, lineLimitMs));
}

void FirmwareFeature::abandon(const QString& message)
{
    stallWatch_->stop();
    f_.firmwareSending = 0;
    f_.Timer1->setInterval(f_.savedTimerInterval);
    f_.ProgressBar1->hide();
    sending_.clear();
    f_.dialogs().message(message);
}

}  // namespace zelt
