#include "firmware/FirmwareTransfer.h"

#include "link/ComPort.h"
#include "link/LoggerLink.h"

#include <optional>

namespace zelt {

namespace {

const char kLoaderCall[] = "\x03\x06\x03\x06\x03";

QString seconds(int ms)
{
    return QString::number((ms + 999) / 1000);
}

// The limits of a wait for the loader: silence counts from the command and
// from every byte received; the deadline from the command.
class WaitLimits {
public:
    WaitLimits(int silenceMs, int deadlineMs) : silenceMs_(silenceMs), deadlineMs_(deadlineMs)
    {
        sinceCommand_.start();
        sinceByte_.start();
    }
    void byteReceived() { sinceByte_.restart(); }
    std::optional<FirmwareTransfer::Wait> passed() const
    {
        if (sinceByte_.elapsed() >= silenceMs_)
            return FirmwareTransfer::Wait::TimedOut;
        if (deadlineMs_ > 0 && sinceCommand_.elapsed() >= deadlineMs_)
            return FirmwareTransfer::Wait::Overdue;
        return std::nullopt;
    }

private:
    int silenceMs_;
    int deadlineMs_;
    QElapsedTimer sinceCommand_;
    QElapsedTimer sinceByte_;
};

}  // namespace

namespace {

QString repeatAdvice(UpdateFrom from)
{
    return from == UpdateFrom::Window ? QStringLiteral("To repeat the update, press Start, then Update.")
                                      : QStringLiteral("To repeat the update, run zelt firmware again.");
}

// A transfer that stopped part way.
QString partlyWritten(int lineIndex, int lineCount, UpdateFrom from)
{
    return QStringLiteral("The logger is left in its loader with a partly written program (the image stopped at line %1 of %2): "
                          "it has no working program until an update is completed. %3")
        .arg(lineIndex)
        .arg(lineCount)
        .arg(repeatAdvice(from));
}

}  // namespace

QString firmwareNotReadyMessage(int limitMs, bool portClosed, UpdateFrom from)
{
    return (portClosed ? QStringLiteral("Update not started: port lost before the logger answered \"e\" with \"#\".")
                       : QStringLiteral("Update not started: the logger did not answer \"e\" with \"#\" within %1 s.")
                             .arg(seconds(limitMs))) +
           QStringLiteral(" Nothing of the image was sent, but the logger is in its loader and its program may be "
                          "erased already. %1")
               .arg(repeatAdvice(from));
}

QString firmwareNoVerifyMessage(int limitMs, bool portClosed, UpdateFrom from)
{
    return (portClosed ? QStringLiteral("Port lost before the logger answered \"qs\" with \"M\".")
                       : QStringLiteral("The logger did not answer \"qs\" with \"M\" within %1 s.").arg(seconds(limitMs))) +
           QStringLiteral(" The image was sent, but the update is not confirmed: the logger may still be in its "
                          "loader. %1")
               .arg(repeatAdvice(from));
}

QString firmwareStalledMessage(int lineIndex, int lineCount, int limitMs, UpdateFrom from)
{
    return QStringLiteral("Update stopped: the logger did not answer line %1 of %2 within %3 s. %4")
        .arg(lineIndex)
        .arg(lineCount)
        .arg(seconds(limitMs))
        .arg(partlyWritten(lineIndex, lineCount, from));
}

QString firmwarePortLostMessage(const QString& cause, int lineIndex, int lineCount, UpdateFrom from)
{
    return QStringLiteral("Update stopped: port lost at line %1 of %2 (%3). %4")
        .arg(lineIndex)
        .arg(lineCount)
        .arg(cause, partlyWritten(lineIndex, lineCount, from));
}

void FirmwareTransfer::callLoader()
{
    ComPort& port = link_.port();
    if (!port.Open())
        port.setOpen(true);
    port.PutString(QByteArray(kLoaderCall, 5));
}

FirmwareTransfer::Wait FirmwareTransfer::erase(int silenceMs, int deadlineMs, const Pause& pause)
{
    LinkState& s = link_.state();
    ComPort& port = link_.port();
    s.firmwareSending = 1;
    Wait wait = Wait::TimedOut;
    try {
        if (!port.Open())
            port.setOpen(true);
        port.PutChar('e');
        WaitLimits limits(silenceMs, deadlineMs);
        for (;;) {
            bool got = false;
            while (!got && port.CharReady()) {
                got = port.GetChar() == '#';
                limits.byteReceived();
            }
            if (got) {
                wait = Wait::Got;
                break;
            }
            if (!port.Open()) {
                wait = Wait::PortClosed;
                break;
            }
            if (const auto passed = limits.passed()) {
                wait = *passed;
                break;
            }
            pause();
        }
    } catch (...) {
        s.firmwareSending = 0;
        throw;
    }
    if (wait != Wait::Got)
        s.firmwareSending = 0;
    return wait;
}

FirmwareTransfer::~FirmwareTransfer()
{
    clearEventCharacter();
}

void FirmwareTransfer::clearEventCharacter()
{
    if (ComPort* port = eventCharPort_.data()) {
        eventCharPort_.clear();
        port->setEventCharacter(std::nullopt);
    }
}

void FirmwareTransfer::start(const ByteLines& image, const std::optional<QByteArray>& skipKey)
{
    LinkState& s = link_.state();
    ComPort& port = link_.port();
    while (port.CharReady())
        port.GetChar();
    clearEventCharacter();  // a transfer before that was never ended
    if (port.setEventCharacter(kLoaderLineAnswer))
        eventCharPort_ = &port;
    image_ = image;
    skipKey_ = skipKey;
    sent_ = 0;
    s.firmwareLineCount = image_.size();
    s.firmwareLineIndex = 0;
    sendLine(0);
}

void FirmwareTransfer::sendLine(int index)
{
    LinkState& s = link_.state();
    try {
        link_.port().PutString(image_.at(index));
    } catch (...) {
        // The transfer cannot go on.
        abandon();
        throw;
    }
    s.firmwareLineIndex = index + 1;
    ++sent_;
    sinceLineSent_.start();
}

int FirmwareTransfer::takeAnswer()
{
    ComPort& port = link_.port();
    int errors = 0;
    while (port.CharReady()) {
        if (port.GetChar() == '!')
            ++errors;
    }
    return errors;
}

FirmwareTransfer::Step FirmwareTransfer::sendNext()
{
    LinkState& s = link_.state();
    Step step;
    const int count = s.firmwareLineCount;
    step.answeredIndex = s.firmwareLineIndex;
    if (s.firmwareLineIndex >= count - 1) {
        clearEventCharacter();
        step.next = Next::AllSent;
        return step;
    }
    int index = s.firmwareLineIndex;
    if (skipKey_ && image_.view(index) == QByteArrayView(*skipKey_)) {
        // The address record of the configuration words and the record after
        // it stay out of the loader.
        index += 2;
        step.next = Next::SentAfterSkip;
        if (index >= count) {  // a key that matches near the end skips past it
            clearEventCharacter();
            s.firmwareLineIndex = index;
            step.next = Next::AllSentAfterSkip;
            return step;
        }
    }
    sendLine(index);
    return step;
}

FirmwareTransfer::Wait FirmwareTransfer::verify(int silenceMs, int deadlineMs, const Pause& pause)
{
    LinkState& s = link_.state();
    ComPort& port = link_.port();
    clearEventCharacter();
    image_.clear();
    sinceLineSent_.invalidate();
    // The transfer flag stays set until the handshake is over, so nothing
    // else talks into it.
    struct Release {
        LinkState& s;
        ~Release() { s.firmwareSending = 0; }
    } release{s};
    port.PutString("qs");
    WaitLimits limits(silenceMs, deadlineMs);
    for (;;) {
        bool any = false;
        char last = 0;
        while (port.CharReady()) {
            last = port.GetChar();
            any = true;
        }
        if (any && last == 'M')
            return Wait::Got;
        if (any)
            limits.byteReceived();
        if (!port.Open())
            return Wait::PortClosed;
        if (const auto passed = limits.passed())
            return *passed;
        pause();
    }
}

void FirmwareTransfer::restart()
{
    link_.port().PutChar('m');
}

void FirmwareTransfer::abandon()
{
    clearEventCharacter();
    link_.state().firmwareSending = 0;
    image_.clear();
    sinceLineSent_.invalidate();
}

bool FirmwareTransfer::sending() const
{
    return link_.state().firmwareSending != 0 && !image_.empty();
}

int FirmwareTransfer::lineIndex() const
{
    return link_.state().firmwareLineIndex;
}

int FirmwareTransfer::lineCount() const
{
    return link_.state().firmwareLineCount;
}

}  // namespace zelt
