#include "cli/Session.h"

#include "cli/Progress.h"
#include "data/CaptureExchange.h"
#include "firmware/FirmwareTransfer.h"
#include "link/SystemComPort.h"
#include "platform/ComPortNames.h"
#include "platform/Cp932.h"
#include "platform/PortDirectory.h"
#include "platform/SystemRegistry.h"
#include "shell/PortSearch.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>

namespace zelt::cli {

namespace {

// The logger enters its loader after the call; the windows leave at least
// two clicks ("Start", then "Update") and a message box to close between
// the call and "e". The update waits as long, and longer while the line
// still brings bytes.
constexpr int kLoaderEntryMs = 1000;
constexpr int kMonitorPauseMs = 300;   // between two readings, as the window asks
constexpr int kEndMarkWaitMs = 1000;   // the end mark after a capture's stream
constexpr int kSettleMs = 250;         // quiet on the line after the connect

}  // namespace

std::atomic<bool>& interruptRequested()
{
    static std::atomic<bool> flag{false};
    return flag;
}

Session::Session(Progress& progress, int timeoutMs)
    // A port without a number is never asked for: there is nobody to ask.
    : Session(progress, timeoutMs, makeSystemComPort())
{
}

Session::Session(Progress& progress, int timeoutMs, std::unique_ptr<ComPort> port)
    : progress_(progress),
      timeoutMs_(timeoutMs),
      port_(port ? std::move(port) : makeSystemComPort()),
      link_(std::make_unique<LoggerLink>(*port_, state_))
{
    state_.intervalCodes = kIntervalCodes;
    link_->setView(this);
    port_->OnTriggerAvail = [this](quint16 count) {
        try {
            link_->receive(count);
        } catch (const std::exception& e) {
            // A write that failed inside the receive path: the wait reports it.
            lost_ = QString::fromLocal8Bit(e.what());
        }
    };
    QObject::connect(port_.get(), &ComPort::deviceLost, this, [this](const QString& reason) { lost_ = reason; });
    lastByte_.start();
    lastProgress_.start();
}

Session::~Session()
{
    link_->setView(nullptr);
    port_->OnTriggerAvail = nullptr;
    try {
        port_->setOpen(false);
    } catch (...) {
        // Closing a port that is gone has nothing left to do.
    }
}

void Session::usePort(const QString& name, bool generic)
{
    int number = 0;
    static const QRegularExpression comPattern(QStringLiteral("^COM([0-9]{1,5})$"),
                                               QRegularExpression::CaseInsensitiveOption);
    if (name == QLatin1String("auto")) {
        SystemRegistry registry;
        const PortSearchResult found = searchPorts(registry, generic);
        if (found.foundBy == PortSearchResult::NotFound)
            throw Failure{1, generic ? QStringLiteral("no logger found: no port of the logger's adapter (0FE3:6002) "
                                                      "or a generic adapter (0403:6001)")
                                     : QStringLiteral("no logger found: no port of the logger's adapter (0FE3:6002); "
                                                      "--generic also takes a generic adapter")};
        number = portNumberFromName(found.portName);
    } else if (const auto m = comPattern.match(name); m.hasMatch()) {
        number = m.captured(1).toInt();
    } else if (name.startsWith(QLatin1Char('/'))) {
        number = comNumberForDevice(name);
        for (const auto& [com, path] : registeredPorts())
            if (QString::fromStdString(path) == name)
                number = com;
        if (number == 0)
            throw Failure{2, QStringLiteral("%1 has no COM number (ttyUSBk is COMk+1, ttyACMk COMk+101)").arg(name)};
    } else {
        throw Failure{2, QStringLiteral("\"%1\" is no port: give COMn, a device path or auto").arg(name)};
    }
    if (number <= 0 || number > 65535)
        throw Failure{2, QStringLiteral("\"%1\" is no port: COM numbers run from 1 to 65535").arg(name)};
    port_->setComNumber(static_cast<quint16>(number));
}

QString Session::portName() const
{
    return comName(port_->ComNumber());
}

QString Session::devicePath() const
{
    return deviceForComNumber(port_->ComNumber());
}

void Session::openPort()
{
    if (port_->Open())
        return;
    try {
        port_->setOpen(true);
    } catch (const PortError& e) {
        throw Failure{1, QString::fromLocal8Bit(e.what())};
    }
}

Session::WaitEnd Session::waitFor(const std::function<bool()>& done, int silenceMs, bool interruptible,
                                  int deadlineMs)
{
    const int deadline = deadlineMs > 0 ? deadlineMs : this->deadlineMs();
    const auto check = [&]() -> std::optional<WaitEnd> {
        if (done())
            return WaitEnd::Done;
        if (!lost_.isEmpty())
            return WaitEnd::Lost;
        if (interruptible && interruptRequested().load())
            return WaitEnd::Interrupted;
        if (lastByte_.elapsed() >= silenceMs)
            return WaitEnd::Silent;
        if (lastProgress_.elapsed() >= deadline)
            return WaitEnd::Overdue;
        return std::nullopt;
    };
    lastByte_.restart();
    lastProgress_.restart();
    if (const auto end = check())
        return *end;
    QEventLoop loop;
    QTimer poll;
    std::optional<WaitEnd> end;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        end = check();
        if (end)
            loop.quit();
    });
    poll.start(2);
    loop.exec();
    return end.value_or(WaitEnd::Interrupted);
}

void Session::fail(WaitEnd end, const QString& during, int deadlineMs)
{
    switch (end) {
    case WaitEnd::Lost:
        throw Failure{1, QStringLiteral("port lost %1: %2").arg(during, lost_)};
    case WaitEnd::Interrupted:
        throw Failure{130, QStringLiteral("interrupted %1").arg(during)};
    case WaitEnd::Overdue:
        throw Failure{1, QStringLiteral("the logger on %1 kept sending for %2 s without ending its answer %3")
                             .arg(portName())
                             .arg(((deadlineMs > 0 ? deadlineMs : this->deadlineMs()) + 999) / 1000)
                             .arg(during)};
    case WaitEnd::Silent:
    case WaitEnd::Done:
        break;
    }
    throw Failure{1, QStringLiteral("no answer from the logger on %1 within %2 s %3")
                         .arg(portName())
                         .arg((timeoutMs_ + 999) / 1000)
                         .arg(during)};
}

QString Session::dropQueued()
{
    QStringList unsent;
    const auto drop = [&unsent](auto& queued) {
        if (!queued.empty())
            unsent << QStringLiteral("\"%1\"").arg(fromCp932(queued.bytes()));
        queued.clear();
    };
    drop(state_.queuedCommand1);
    drop(state_.queuedCommand2);
    drop(state_.queuedCommand3);
    return unsent.isEmpty() ? QString() : QStringLiteral("; not sent: %1").arg(unsent.join(QStringLiteral(", ")));
}

void Session::connectLogger()
{
    try {
        port_->setOpen(false);
    } catch (const PortError&) {
        // Closed already.
    }
    openPort();
    closed_ = false;
    handled_.reset();
    // The connect as a whole ("m", "m", the report, the quiet after it) has
    // one deadline.
    QElapsedTimer connecting;
    connecting.start();
    link_->connect();
    const WaitEnd end = waitFor([this] { return closed_ && state_.linkUp; }, timeoutMs_);
    if (end != WaitEnd::Done) {
        dropQueued();
        fail(end, QStringLiteral("while connecting"));
    }
    if (!handled_)
        throw Failure{1, QStringLiteral("the logger on %1 did not identify itself").arg(portName())};
    if (!*handled_)
        throw Failure{1, QStringLiteral("This is not a KTW-128: the logger on %1 is a model this tool does not handle")
                             .arg(portName())};
    state_.loggerReady = 1;

    // The connect asks for the settings report twice, and the link ends the
    // exchange at the first report's end mark: the window drops the second
    // with the closed port, long before a user presses the next button. A
    // program goes on at once, so the line is left to go quiet first;
    // otherwise the rest of that report would be taken for the next
    // command's answer (a download would store its lines as records).
    openPort();
    const int left = std::max<int>(static_cast<int>(deadlineMs() - connecting.elapsed()), 2 * kSettleMs);
    const WaitEnd quiet = waitFor([] { return false; }, kSettleMs, true, left);
    if (quiet == WaitEnd::Lost || quiet == WaitEnd::Interrupted || quiet == WaitEnd::Overdue)
        fail(quiet, QStringLiteral("while connecting"), static_cast<int>(connecting.elapsed()));
    port_->setOpen(false);
    state_.clearLine();
}

void Session::exchange(const QByteArray& command, const QByteArray& queued1, const QByteArray& queued2,
                       const QByteArray& queued3)
{
    openPort();
    closed_ = false;
    answers_.clear();
    state_.queuedCommand1 = std::string_view(queued1.constData(), static_cast<size_t>(queued1.size()));
    state_.queuedCommand2 = std::string_view(queued2.constData(), static_cast<size_t>(queued2.size()));
    state_.queuedCommand3 = std::string_view(queued3.constData(), static_cast<size_t>(queued3.size()));
    port_->PutString(command);
    const WaitEnd end = waitFor([this] { return closed_; }, timeoutMs_);
    if (end != WaitEnd::Done)
        fail(end, QStringLiteral("to \"%1\"%2").arg(fromCp932(command), dropQueued()));
}

// ---- download -----------------------------------------------------------

ByteLines Session::download(Transfer kind)
{
    connectLogger();
    ByteLines lines;
    lines_ = &lines;
    const QString year = settings().year.isNull() ? QString::fromLatin1(kYearNotReported) : settings().year;
    yearText_ = toCp932(year);
    for (const QByteArray& line : DownloadExchange::headLines(kind, year, state_.countsPerG))
        lines.append(line);
    openPort();
    download_ = std::make_unique<DownloadExchange>(*link_);
    downloadResult_.reset();
    closed_ = false;
    progress_.begin(QStringLiteral("download"), std::max(state_.reportedRecordCount, 0), QStringLiteral("records"));
    download_->begin(kind);
    // The records run as long as they keep coming (their count bounds them);
    // bytes that bring no record (enquiries without end) are cut.
    const WaitEnd end = waitFor([this] { return downloadResult_.has_value(); }, timeoutMs_);
    if (end != WaitEnd::Done) {
        port_->setOpen(false);
        state_.clearLine();
        finishDownload(end == WaitEnd::Silent ? QStringLiteral("no end mark from the logger")
                       : end == WaitEnd::Overdue
                           ? QStringLiteral("no record from the logger for %1 s").arg((deadlineMs() + 999) / 1000)
                       : end == WaitEnd::Interrupted ? QStringLiteral("interrupted")
                                                     : QStringLiteral("port lost: %1").arg(lost_));
    }
    progress_.end();
    lines_ = nullptr;
    const DownloadExchange::Result result = *downloadResult_;
    lastDownload_ = result;
    if (end == WaitEnd::Interrupted)
        throw Failure{130, QStringLiteral("download interrupted: %1 records had arrived; no file written")
                               .arg(result.records)};
    if (result.irregular)
        progress_.note(QStringLiteral("note: the records' times are out of step (時間不整合)"));
    if (result.badRecords > 0)
        progress_.note(QStringLiteral("note: %1 records could not be read (\"//Bad Record\" lines)").arg(result.badRecords));
    return lines;
}

void Session::finishDownload(const QString& cutShortBy)
{
    if (downloadResult_ || !download_)
        return;
    downloadResult_ = download_->finish(
        yearText_,
        [this](QByteArrayView line) {
            if (lines_)
                lines_->append(line);
        },
        {}, cutShortBy);
}

void Session::recordStored(int count)
{
    noteProgress();
    progress_.update(count);
}

void Session::downloadListed(QByteArrayView line)
{
    if (lines_)
        lines_->append(line);
}

void Session::downloadCutShort(const QString& why)
{
    finishDownload(why);
}

bool Session::downloadEnded()
{
    finishDownload(QString());
    return true;
}

// ---- capture ------------------------------------------------------------

ByteLines Session::capture(int seconds)
{
    connectLogger();
    CaptureExchange capture(*link_);
    // The reading whose temperature the samples carry.
    answers_.clear();
    closed_ = false;
    capture.requestReading();
    const WaitEnd replied = waitFor([this] { return closed_; }, timeoutMs_);
    if (replied == WaitEnd::Lost || replied == WaitEnd::Interrupted || replied == WaitEnd::Overdue)
        fail(replied, QStringLiteral("while asking for a reading"));
    const QByteArray reply = CaptureExchange::readingLineOf(answers_);

    const int wanted = seconds * kSamplesPerSecond;
    capture_ = &capture;
    captureComplete_ = false;
    progress_.begin(QStringLiteral("capture"), wanted, QStringLiteral("samples"));
    try {
        capture.begin(wanted, reply);
    } catch (const PortError& e) {
        capture_ = nullptr;
        throw Failure{1, QString::fromLocal8Bit(e.what())};
    }
    const WaitEnd end = waitFor([this] { return captureComplete_; }, timeoutMs_);
    const CaptureExchange::End how = end == WaitEnd::Done   ? CaptureExchange::End::Complete
                                     : end == WaitEnd::Lost ? CaptureExchange::End::PortLost
                                                            : CaptureExchange::End::LoggerSilent;
    const int arrived = capture.rowsArrived();
    // The stream is stopped in every case, so the logger is left usable.
    QString stopError;
    try {
        capture.stop();
    } catch (const PortError& e) {
        stopError = QString::fromLocal8Bit(e.what());
    }
    capture_ = nullptr;
    progress_.end();
    if (port_->Open() && stopError.isEmpty()) {
        closed_ = false;
        waitFor([this] { return closed_; }, kEndMarkWaitMs, false, 2 * kEndMarkWaitMs);
    }
    port_->setOpen(false);

    ByteLines lines;
    capture.list(how, lost_, [&lines](QByteArrayView line) { lines.append(line); }, {});
    if (end == WaitEnd::Interrupted)
        throw Failure{130, QStringLiteral("capture interrupted after %1 of %2 samples; no file written")
                               .arg(arrived)
                               .arg(wanted)};
    if (how != CaptureExchange::End::Complete)
        throw Failure{1, QStringLiteral("capture incomplete: %1 after %2 of %3 samples; no file written")
                             .arg(how == CaptureExchange::End::PortLost ? QStringLiteral("port lost: ") + lost_
                                  : end == WaitEnd::Overdue
                                      ? QStringLiteral("no sample from the logger for %1 s").arg((deadlineMs() + 999) / 1000)
                                      : QStringLiteral("the logger stopped sending"))
                             .arg(arrived)
                             .arg(wanted)};
    if (!stopError.isEmpty())
        progress_.note(QStringLiteral("note: stopping the stream failed: %1").arg(stopError));
    return lines;
}

void Session::captureBytes(quint16 count)
{
    if (!capture_)
        return;
    const int before = capture_->rowsArrived();
    if (capture_->receive(count))
        captureComplete_ = true;
    if (capture_->rowsArrived() != before)
        noteProgress();
    progress_.update(capture_->rowsArrived());
}

// ---- monitor ------------------------------------------------------------

void Session::monitor(const std::function<void(const MonitorReading&)>& reading)
{
    connectLogger();
    reading_ = reading;
    state_.monitorMode = 1;
    const auto leave = [this] {
        state_.monitorMode = 0;
        state_.monitorStreamOpen = 0;
        reading_ = nullptr;
        port_->setOpen(false);
    };
    try {
        for (;;) {
            openPort();
            closed_ = false;
            port_->FlushInBuffer();
            state_.clearLine();
            port_->PutString("n");
            state_.monitorStreamOpen = 1;
            const WaitEnd end = waitFor([this] { return closed_; }, timeoutMs_);
            if (end == WaitEnd::Interrupted)
                break;
            if (end != WaitEnd::Done)
                fail(end, QStringLiteral("for a reading"));
            if (waitFor([] { return false; }, kMonitorPauseMs) == WaitEnd::Interrupted)
                break;
        }
    } catch (...) {
        leave();
        throw;
    }
    leave();
}

void Session::endMark()
{
    // The end mark of a reading: the reply's lines are in the line buffer.
    if (state_.monitorMode && state_.monitorStreamOpen && reading_) {
        const int length = std::clamp(state_.lineLength, 0, kLineBufferSize - 1);
        reading_(scanMonitorText(std::string_view(state_.lineBuffer, static_cast<size_t>(length))));
    }
}

// ---- firmware -----------------------------------------------------------

void Session::firmware(const ByteLines& image, const QByteArray& skipKey)
{
    connectLogger();
    FirmwareTransfer transfer(*link_);
    transfer_ = &transfer;
    loaderErrors_ = 0;
    imageSent_ = false;
    const auto pause = [] {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QThread::msleep(1);
    };
    const auto release = [&] {
        imageGoing_ = false;
        transfer_ = nullptr;
    };
    try {
        transfer.callLoader();
        progress_.note(QStringLiteral("Do not Release or Power off until update completed"));
        // The logger enters its loader: "e" goes out once the line has been
        // quiet for a while, as it would after the windows' two clicks.
        const WaitEnd entered = waitFor([] { return false; }, kLoaderEntryMs, false);
        if (entered == WaitEnd::Lost)
            fail(entered, QStringLiteral("after the loader call"));
        if (entered == WaitEnd::Overdue)
            throw Failure{1, QStringLiteral("after the loader call (ETX ACK ETX ACK ETX) the logger on %1 kept "
                                            "sending for %2 s: \"e\" was not sent, nothing of the image was sent")
                                 .arg(portName())
                                 .arg((deadlineMs() + 999) / 1000)};
        const FirmwareTransfer::Wait ready = transfer.erase(timeoutMs_, deadlineMs(), pause);
        if (ready != FirmwareTransfer::Wait::Got)
            throw Failure{1, QStringLiteral("after the loader call: ") +
                                 firmwareNotReadyMessage(ready == FirmwareTransfer::Wait::Overdue ? deadlineMs() : timeoutMs_,
                                                         ready == FirmwareTransfer::Wait::PortClosed,
                                                         UpdateFrom::CommandLine)};
        progress_.begin(QStringLiteral("firmware"), image.size(), QStringLiteral("lines"));
        imageGoing_ = true;
        transfer.start(image, skipKey);
        // Ctrl-C is not taken while the image goes out: half an image leaves
        // the logger without a program.
        bool told = false;
        for (;;) {
            const WaitEnd end = waitFor([this] { return imageSent_; }, timeoutMs_);
            if (end == WaitEnd::Done)
                break;
            if (end == WaitEnd::Interrupted) {
                interruptRequested() = false;
                if (!told)
                    progress_.interject(QStringLiteral("Ctrl-C is not taken while the image is sent: the update goes on"));
                told = true;
                continue;
            }
            if ((end == WaitEnd::Silent && transfer.sinceLineSentMs() >= timeoutMs_) || end == WaitEnd::Overdue) {
                transfer.abandon();
                throw Failure{1, firmwareStalledMessage(transfer.lineIndex() - 1, transfer.lineCount(), timeoutMs_,
                                                        UpdateFrom::CommandLine)};
            }
            if (end == WaitEnd::Lost) {
                transfer.abandon();
                throw Failure{1, firmwarePortLostMessage(lost_, transfer.lineIndex() - 1, transfer.lineCount(),
                                                         UpdateFrom::CommandLine)};
            }
        }
        progress_.end();
        const FirmwareTransfer::Wait verified = transfer.verify(timeoutMs_, deadlineMs(), pause);
        if (verified != FirmwareTransfer::Wait::Got)
            throw Failure{1, firmwareNoVerifyMessage(verified == FirmwareTransfer::Wait::Overdue ? deadlineMs() : timeoutMs_,
                                                     verified == FirmwareTransfer::Wait::PortClosed,
                                                     UpdateFrom::CommandLine)};
        transfer.restart();
    } catch (const PortError& e) {
        const int sentUpTo = transfer.lineIndex() - 1;
        const bool begun = transfer.linesSent() > 0;
        transfer.abandon();
        release();
        if (begun)
            throw Failure{1, firmwarePortLostMessage(QString::fromLocal8Bit(e.what()), sentUpTo, transfer.lineCount(),
                                                     UpdateFrom::CommandLine)};
        throw Failure{1, QString::fromLocal8Bit(e.what())};
    } catch (...) {
        release();
        throw;
    }
    release();
    if (loaderErrors_ > 0)
        throw Failure{1, QStringLiteral("the loader reported an error (\"err\") for %1 lines; the update is not sound")
                             .arg(loaderErrors_)};
}

void Session::firmwareBytes()
{
    // During the waits for '#' and 'M' the transfer reads the bytes itself.
    if (!transfer_ || !imageGoing_)
        return;
    noteProgress();
    loaderErrors_ += transfer_->takeAnswer();
    const FirmwareTransfer::Step step = transfer_->sendNext();
    const bool allSent =
        step.next == FirmwareTransfer::Next::AllSent || step.next == FirmwareTransfer::Next::AllSentAfterSkip;
    // The image is done when its last line is answered (lines left out
    // included): the count ends at the image's size.
    progress_.update(allSent ? transfer_->lineCount() : step.answeredIndex);
    if (allSent) {
        imageGoing_ = false;
        imageSent_ = true;
    }
}

// ---- what the link reports ----------------------------------------------

void Session::bytesArrived()
{
    lastByte_.restart();
}

void Session::answerLine(QByteArrayView line)
{
    answers_.append(line);
}

void Session::identified(bool handled)
{
    handled_ = handled;
}

void Session::exchangeClosed(const QByteArray&)
{
    closed_ = true;
}

}  // namespace zelt::cli
