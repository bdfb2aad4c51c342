#include "firmware/Firmware.h"

#include "firmware/FirmwareImage.h"
#include "firmware/FirmwareTransfer.h"
#include "firmware/HexFile.h"
#include "link/ComPort.h"
#include "link/LoggerLink.h"
#include "link/SimulatorCheck.h"
#include "platform/Dialogs.h"
#include "platform/Language.h"
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

#include <algorithm>

namespace zelt {

namespace {

// Lets the port take in bytes (and the window repaint) while a handshake
// waits; clicks and keys wait until the handler is done.
void pauseForPort()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QThread::msleep(1);
}

}  // namespace

QString firmwareNoImageMessage()
{
    return QStringLiteral("The log no longer holds the firmware image. Press Start first.");
}

QString firmwareNeedsFileMessage()
{
    return QStringLiteral("No firmware file is open. Open the logger's firmware (Intel HEX file) with \"HEX...\" "
                          "first; the built-in image is only for the simulated logger. Nothing was sent.");
}

FirmwareFeature::FirmwareFeature(TForm1& form) : QObject(&form), f_(form), transfer_(form.link())
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
    // The simulated-logger notice is shown on the same proof as the stand-in.
    f_.hooks.proveSimulator = [this] {
        checkSimulatedLogger();
        return simulatedLoggerAttached();
    };
    stallWatch_ = new QTimer(this);
    stallWatch_->setInterval(200);
    connect(stallWatch_, &QTimer::timeout, this, [this] { f_.guard([this] { checkStall(); }); });
    // The adapter unplugged while the image goes out: said as such, with
    // the state the logger is left in (not as a logger that stopped answering).
    connect(f_.ApdComPort1, &ComPort::deviceLost, this, [this](const QString& reason) {
        f_.guard([this, reason] {
            if (transferRunning_)
                abandon(firmwarePortLostMessage(reason, transfer_.lineIndex() - 1, transfer_.lineCount()));
        });
    });
}

bool FirmwareFeature::simulatedLoggerAttached() const
{
    // Proved on the line for this very port, and still registered as it was.
    return !provenPort_.isEmpty() && f_.platform.portNotice &&
           f_.platform.portNotice(f_.ApdComPort1->ComNumber()) == provenPort_;
}

void FirmwareFeature::checkSimulatedLogger()
{
    provenPort_.clear();
    // Only a port registered as a simulated logger is asked; its name proves
    // nothing, the answer on the line does.
    const QString notice = f_.platform.portNotice ? f_.platform.portNotice(f_.ApdComPort1->ComNumber()) : QString();
    if (notice.isEmpty())
        return;
    if (askSimulator ? askSimulator() : askOnTheLine())
        provenPort_ = notice;
}

bool FirmwareFeature::askOnTheLine()
{
    // The line is this feature's while it asks: the tick waits and the
    // dispatcher leaves the bytes, as during the wait for '#'.
    const int interval = f_.Timer1->interval();
    f_.Timer1->setInterval(0);
    waitingForReady_ = true;
    f_.firmwareSending = 1;
    const auto release = [&] {
        f_.firmwareSending = 0;
        waitingForReady_ = false;
        f_.Timer1->setInterval(interval);
    };
    bool proven = false;
    try {
        proven = zelt::askIfSimulator(*f_.ApdComPort1, simulatorProofLimitMs, pauseForPort);
    } catch (...) {
        release();
        throw;
    }
    release();
    return proven;
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
    // Without a file of the user's, the stand-in goes only to a logger that
    // proves now that it is the simulated one.
    if (fileName_.isEmpty())
        checkSimulatedLogger();
    Image image;
    if (!imageToSend(&image)) {
        showImageChoice();
        f_.dialogs().message(firmwareNeedsFileMessage());
        return;
    }
    f_.Memo1->clear();
    transfer_.callLoader();
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

    f_.savedTimerInterval = f_.Timer1->interval();
    f_.Timer1->setInterval(0);
    // From here the dispatcher hands the bytes to this feature; while the
    // wait below runs they stay for it.
    waitingForReady_ = true;
    FirmwareTransfer::Wait wait = FirmwareTransfer::Wait::TimedOut;
    try {
        wait = transfer_.erase(f_.silentLoggerMs, handshakeDeadlineMs(), pauseForPort);
    } catch (...) {
        waitingForReady_ = false;
        f_.Timer1->setInterval(f_.savedTimerInterval);
        throw;
    }
    waitingForReady_ = false;
    if (wait != FirmwareTransfer::Wait::Got) {
        f_.Timer1->setInterval(f_.savedTimerInterval);
        f_.dialogs().message(firmwareNotReadyMessage(limitOf(wait), wait == FirmwareTransfer::Wait::PortClosed));
        return;
    }

    const ByteLines sending = f_.Memo1->store();
    f_.ProgressBar1->setMinimum(0);
    f_.ProgressBar1->setMaximum(sending.size());
    f_.ProgressBar1->setValue(0);
    // The progress in words on the bar, which is as wide as the window:
    // Edit12 (the threshold box) holds the line itself and its numbers.
    f_.ProgressBar1->setFormat(firmwareProgressFormat());
    f_.ProgressBar1->show();
    f_.Edit12->setText(QString::fromLatin1(sending.view(0)));
    // The skip key is the text of its box; one that is no Latin-1 text
    // matches no line of the image.
    const QString key = f_.Edit22->text();
    std::optional<QByteArray> skipKey;
    if (QString::fromLatin1(key.toLatin1()) == key)
        skipKey = key.toLatin1();
    transferRunning_ = true;
    guardedSend([&] { transfer_.start(sending, skipKey); });
    if (transferRunning_)
        stallWatch_->start();
}

int FirmwareFeature::handshakeDeadlineMs() const
{
    return 2 * f_.silentLoggerMs;
}

int FirmwareFeature::limitOf(FirmwareTransfer::Wait wait) const
{
    return wait == FirmwareTransfer::Wait::Overdue ? handshakeDeadlineMs() : f_.silentLoggerMs;
}

void FirmwareFeature::guardedSend(const std::function<void()>& send)
{
    try {
        send();
    } catch (const std::exception& e) {
        // The line could not be written: the transfer cannot go on (it has
        // let the line go), and the logger is left part way.
        abandon(firmwarePortLostMessage(QString::fromLocal8Bit(e.what()), transfer_.lineIndex(), transfer_.lineCount()));
    }
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

    for (int errors = transfer_.takeAnswer(); errors > 0; --errors)
        f_.dialogs().message(QStringLiteral("err"));
    FirmwareTransfer::Step step;
    guardedSend([&] { step = transfer_.sendNext(); });
    if (!transferRunning_)
        return;
    if (step.next != FirmwareTransfer::Next::AllSent) {
        const int index = step.answeredIndex;
        f_.ProgressBar1->setValue(index);
        f_.Edit12->setText(QString::fromLatin1(transfer_.line(index)) + QString::number(index) +
                           QString::number(transfer_.lineCount()));
    }
    if (step.next == FirmwareTransfer::Next::SentAfterSkip || step.next == FirmwareTransfer::Next::AllSentAfterSkip)
        f_.setCaption(QStringLiteral("Skip CNFG"));
    if (step.next == FirmwareTransfer::Next::AllSent || step.next == FirmwareTransfer::Next::AllSentAfterSkip)
        finish();
}

void FirmwareFeature::finish()
{
    transferRunning_ = false;
    stallWatch_->stop();
    hideProgress();
    f_.Memo1->clear();
    // The tick stays stopped until the handshake is over, so that it does
    // not talk into it.
    FirmwareTransfer::Wait wait = FirmwareTransfer::Wait::TimedOut;
    try {
        wait = transfer_.verify(f_.silentLoggerMs, handshakeDeadlineMs(), pauseForPort);
    } catch (...) {
        f_.Timer1->setInterval(f_.savedTimerInterval);
        throw;
    }
    f_.Timer1->setInterval(f_.savedTimerInterval);
    if (wait != FirmwareTransfer::Wait::Got) {
        f_.dialogs().message(firmwareNoVerifyMessage(limitOf(wait), wait == FirmwareTransfer::Wait::PortClosed));
        return;
    }
    transfer_.restart();
    f_.dialogs().message(firmwareDoneMessage(transfer_.lineCount(), transfer_.linesSent()));
}

void FirmwareFeature::checkStall()
{
    if (!f_.firmwareSending || waitingForReady_ || inArrival_ || !transfer_.sending())
        return;
    // Silence counts from the later of the line sent and the last byte.
    if (std::min(transfer_.sinceLineSentMs(), f_.loggerSilentForMs()) < f_.silentLoggerMs)
        return;
    abandon(firmwareStalledMessage(transfer_.lineIndex() - 1, transfer_.lineCount(), f_.silentLoggerMs));
}

void FirmwareFeature::abandon(const QString& message)
{
    // Once per transfer: a lost port is seen both by a failed write and by
    // the port's own report.
    if (!transferRunning_)
        return;
    transferRunning_ = false;
    stallWatch_->stop();
    transfer_.abandon();
    f_.Timer1->setInterval(f_.savedTimerInterval);
    hideProgress();
    f_.dialogs().message(message);
}

void FirmwareFeature::hideProgress()
{
    f_.ProgressBar1->hide();
    f_.ProgressBar1->resetFormat();  // a download's bar shows its percentage again
}

QString firmwareProgressFormat()
{
    return translated(QStringLiteral("%v / %m 行（%p%）"));
}

QString firmwareDoneMessage(int lineCount, int linesSent)
{
    return translated(QStringLiteral("更新が完了しました（%1 行のうち %2 行を送信）")).arg(lineCount).arg(linesSent);
}

}  // namespace zelt
