#include "link/WinComPort.h"

#include <QWinEventNotifier>
#include <QtGlobal>
#include <algorithm>
#include <exception>

#include <windows.h>

namespace zelt {

namespace {

// How long closing waits for bytes still queued for sending.
constexpr DWORD kDrainMs = 1000;

[[noreturn]] void fail(const QString& text)
{
    throw PortError(text.toStdString());
}

QString systemText(unsigned long error)
{
    return QString::fromStdString(win::systemMessage(error));
}

}  // namespace

WinComPort::WinComPort(PortChooser choosePort, QObject* parent)
    : ComPort(parent),
      readNotifier_(new QWinEventNotifier(line_.receiveEvent(), this)),
      writeNotifier_(new QWinEventNotifier(line_.sendEvent(), this)),
      choosePort_(std::move(choosePort)),
      arrival_(*this, [this] { return line_.isOpen() ? waiting() : 0; })
{
    readNotifier_->setEnabled(false);
    writeNotifier_->setEnabled(false);
    connect(readNotifier_, &QWinEventNotifier::activated, this, [this] { receive(); });
    connect(writeNotifier_, &QWinEventNotifier::activated, this, [this] { writeFinished(); });
}

WinComPort::~WinComPort()
{
    closePort();
}

quint16 WinComPort::ComNumber() const
{
    return comNumber_;
}

void WinComPort::setComNumber(quint16 n)
{
    if (n == comNumber_)
        return;
    const bool wasOpen = line_.isOpen();
    closePort();
    comNumber_ = n;
    if (wasOpen)
        openPort();
}

bool WinComPort::Open() const
{
    return line_.isOpen();
}

void WinComPort::setOpen(bool open)
{
    if (open)
        openPort();
    else
        closePort();
}

QString WinComPort::devicePath() const
{
    return line_.isOpen() ? device_ : QString();
}

void WinComPort::ensureOpen()
{
    if (!line_.isOpen())
        openPort();
}

void WinComPort::openPort()
{
    if (line_.isOpen())
        return;
    if (comNumber_ == 0)
        comNumber_ = chosenComNumber(choosePort_);
    openOn(comNumber_);
}

void WinComPort::openOn(quint16 n)
{
    const QString name = comName(n);
    const QString device = deviceForComNumber(n);
    if (device.isEmpty())
        fail(QStringLiteral("%1 does not exist").arg(name));

    const win::LineResult opened = line_.open(n);
    switch (opened.problem) {
    case win::LineProblem::None:
        break;
    case win::LineProblem::NoSuchPort:
        fail(QStringLiteral("%1 does not exist (there is no device %2)").arg(name, device));
    case win::LineProblem::InUse:
        fail(QStringLiteral("Cannot open %1 (%2): %3 (the port may be in use by another program)")
                 .arg(name, device, systemText(opened.systemError)));
    default:
        fail(QStringLiteral("Cannot open %1 (%2): %3").arg(name, device, systemText(opened.systemError)));
    }

    device_ = device;
    in_.clear();
    head_ = 0;
    out_.clear();
    writing_.clear();
    doubtfulErrors_ = 0;
    if (eventCharacter_)
        line_.setEventCharacter(eventCharacter_);
    readNotifier_->setEnabled(true);
    writeNotifier_->setEnabled(true);
    line_.startReceive();
}

void WinComPort::closePort()
{
    if (!line_.isOpen())
        return;
    if (!losing_) {
        // Closing drops what the line still holds for sending: give it a
        // moment to reach the device first.
        const ULONGLONG deadline = GetTickCount64() + kDrainMs;
        while (line_.isOpen() && (line_.sending() || !out_.isEmpty())) {
            startWriting();
            const ULONGLONG now = GetTickCount64();
            if (now >= deadline)
                break;
            if (line_.sending()
                && WaitForSingleObject(static_cast<HANDLE>(line_.sendEvent()), static_cast<DWORD>(deadline - now))
                       != WAIT_OBJECT_0)
                break;
            writeFinished();
        }
        if (!line_.isOpen())  // the device went away meanwhile
            return;
    }
    readNotifier_->setEnabled(false);
    writeNotifier_->setEnabled(false);
    line_.close();
    in_.clear();
    head_ = 0;
    out_.clear();
    writing_.clear();
    device_.clear();
}

void WinComPort::lose(const QString& what)
{
    const QString text = QStringLiteral("%1 (%2) is no longer available: %3").arg(comName(comNumber_), device_, what);
    losing_ = true;
    closePort();
    losing_ = false;
    emit deviceLost(text);
}

// True when the port was given up.
bool WinComPort::problem(const win::LineResult& r, bool writing)
{
    if (r.ok())
        return false;
    if (r.problem == win::LineProblem::Lost) {
        lose(QStringLiteral("the device was disconnected"));
        return true;
    }
    // Any other failure is given a few more tries with nothing received in
    // between before the device counts as failed.
    if (++doubtfulErrors_ > kMaxDoubtfulErrors) {
        lose(QStringLiteral("%1 the device failed (%2)")
                 .arg(writing ? QStringLiteral("writing to") : QStringLiteral("reading from"),
                      systemText(r.systemError)));
        return true;
    }
    return false;
}

void WinComPort::receive()
{
    if (!line_.isOpen() || !line_.receiving())
        return;
    const qint64 room = kReceiveBufferSize - waiting();
    chunk_.clear();
    const win::ReceiveOutcome r = line_.collect(chunk_, static_cast<std::size_t>(std::max<qint64>(room, 1)));
    if (!r.finished)
        return;
    if (r.bytes > 0) {
        if (head_ > 0) {
            in_.remove(0, head_);
            head_ = 0;
        }
        in_.append(chunk_.data(), static_cast<qsizetype>(chunk_.size()));
        doubtfulErrors_ = 0;
        arrival_.arrived();
    }
    if (problem(r.result, false))
        return;
    resumeReceiving();
}

void WinComPort::resumeReceiving()
{
    // A full buffer leaves further bytes with the system until some are taken.
    if (line_.isOpen() && !line_.receiving() && waiting() < kReceiveBufferSize)
        line_.startReceive();
}

void WinComPort::startWriting()
{
    if (!line_.isOpen() || line_.sending() || out_.isEmpty())
        return;
    writing_ = out_;
    out_.clear();
    line_.startSend(std::string(writing_.constData(), static_cast<std::size_t>(writing_.size())));
}

void WinComPort::writeFinished()
{
    if (!line_.isOpen() || !line_.sending())
        return;
    const win::SendOutcome s = line_.finishSend();
    if (!s.finished)
        return;
    const qint64 written = std::min<qint64>(static_cast<qint64>(s.written), writing_.size());
    // What did not go out goes first next time.
    out_.prepend(writing_.mid(written));
    writing_.clear();
    if (problem(s.result, true))
        return;
    startWriting();
}

void WinComPort::PutString(const QByteArray& text)
{
    ensureOpen();
    if (text.isEmpty())
        return;
    out_.append(text);
    // Out to the device now rather than at the event loop's next pass: a
    // round trip (a firmware line and its answer) waits for nothing else.
    startWriting();
    emit bytesSent(text);
}

void WinComPort::PutChar(char c)
{
    PutString(QByteArray(1, c));
}

bool WinComPort::CharReady()
{
    return line_.isOpen() && waiting() > 0;
}

char WinComPort::GetChar()
{
    ensureOpen();
    if (waiting() <= 0)
        return 0;
    const char c = in_.at(head_++);
    if (head_ == in_.size()) {
        in_.clear();
        head_ = 0;
    }
    resumeReceiving();
    return c;
}

void WinComPort::FlushInBuffer()
{
    if (!line_.isOpen())
        return;
    in_.clear();
    head_ = 0;
    // Also what the line's wait already took and what the system holds.
    line_.purgeInput();
    line_.startReceive();
}

int WinComPort::InBuffUsed() const
{
    return line_.isOpen() ? static_cast<int>(waiting()) : 0;
}

bool WinComPort::setEventCharacter(std::optional<char> c)
{
    eventCharacter_ = c;
    return line_.isOpen() && line_.setEventCharacter(c);
}

}  // namespace zelt
