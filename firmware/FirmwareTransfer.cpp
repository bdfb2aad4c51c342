#include "firmware/FirmwareTransfer.h"

#include "link/ComPort.h"
#include "link/LoggerLink.h"

namespace zelt {

namespace {

const char kLoaderCall[] = "\x03\x06\x03\x06\x03";

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

void FirmwareTransfer::callLoader()
{
    ComPort& port = link_.port();
    if (!port.Open())
        port.setOpen(true);
    port.PutString(QByteArray(kLoaderCall, 5));
}

FirmwareTransfer::Wait FirmwareTransfer::erase(int limitMs, const Pause& pause)
{
    LinkState& s = link_.state();
    ComPort& port = link_.port();
    s.firmwareSending = 1;
    Wait wait = Wait::TimedOut;
    try {
        if (!port.Open())
            port.setOpen(true);
        port.PutChar('e');
        QElapsedTimer t;
        t.start();
        for (;;) {
            bool got = false;
            while (!got && port.CharReady())
                got = port.GetChar() == '#';
            if (got) {
                wait = Wait::Got;
                break;
            }
            if (!port.Open()) {
                wait = Wait::PortClosed;
                break;
            }
            if (t.elapsed() >= limitMs)
                break;
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

void FirmwareTransfer::start(const ByteLines& image, const std::optional<QByteArray>& skipKey)
{
    LinkState& s = link_.state();
    ComPort& port = link_.port();
    while (port.CharReady())
        port.GetChar();
    image_ = image;
    skipKey_ = skipKey;
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
            s.firmwareLineIndex = index;
            step.next = Next::AllSentAfterSkip;
            return step;
        }
    }
    sendLine(index);
    return step;
}

FirmwareTransfer::Wait FirmwareTransfer::verify(int limitMs, const Pause& pause)
{
    LinkState& s = link_.state();
    ComPort& port = link_.port();
    image_.clear();
    sinceLineSent_.invalidate();
    // The transfer flag stays set until the handshake is over, so nothing
    // else talks into it.
    struct Release {
        LinkState& s;
        ~Release() { s.firmwareSending = 0; }
    } release{s};
    port.PutString("qs");
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
        if (t.elapsed() >= limitMs)
            return Wait::TimedOut;
        pause();
    }
}

void FirmwareTransfer::restart()
{
    link_.port().PutChar('m');
}

void FirmwareTransfer::abandon()
{
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
