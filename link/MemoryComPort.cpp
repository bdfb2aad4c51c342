#include "link/MemoryComPort.h"

#include <algorithm>

namespace zelt {

MemoryComPort::MemoryComPort(QObject* parent) : ComPort(parent) {}

void MemoryComPort::setComNumber(quint16 n)
{
    if (n == comNumber_)
        return;
    const bool wasOpen = open_;
    close();
    comNumber_ = n;
    if (wasOpen)
        open();
}

void MemoryComPort::setOpen(bool open)
{
    if (open)
        this->open();
    else
        close();
}

void MemoryComPort::open()
{
    if (open_)
        return;
    if (failNextOpen_) {
        const QString text = *failNextOpen_;
        failNextOpen_.reset();
        log_ << QStringLiteral("open failed: ") + text;
        throw PortError(text.toStdString());
    }
    if (comNumber_ == 0) {
        const std::optional<int> chosen = choosePort ? choosePort() : std::nullopt;
        if (!chosen || *chosen <= 0 || *chosen > 65535) {
            log_ << QStringLiteral("open failed: no port selected");
            throw PortError("No serial port was selected");
        }
        comNumber_ = static_cast<quint16>(*chosen);
    }
    open_ = true;
    ++openCount_;
    log_ << QStringLiteral("open COM%1").arg(comNumber_);
}

void MemoryComPort::close()
{
    if (!open_)
        return;
    open_ = false;
    in_.clear();
    log_ << QStringLiteral("close");
}

void MemoryComPort::ensureOpen()
{
    if (!open_)
        open();
}

void MemoryComPort::PutString(const QByteArray& text)
{
    ensureOpen();
    written_ += text;
    emit bytesSent(text);
}

void MemoryComPort::PutChar(char c)
{
    ensureOpen();
    written_ += c;
    emit bytesSent(QByteArray(1, c));
}

bool MemoryComPort::CharReady()
{
    return open_ && !in_.isEmpty();
}

char MemoryComPort::GetChar()
{
    ensureOpen();
    if (in_.isEmpty())
        return 0;
    const char c = in_.at(0);
    in_.remove(0, 1);
    return c;
}

void MemoryComPort::FlushInBuffer()
{
    in_.clear();
}

int MemoryComPort::InBuffUsed() const
{
    return open_ ? static_cast<int>(in_.size()) : 0;
}

void MemoryComPort::feed(const QByteArray& bytes)
{
    if (!open_ || bytes.isEmpty())
        return;
    in_ += bytes;
    notify();
}

void MemoryComPort::feedQueued(const QByteArray& bytes)
{
    QMetaObject::invokeMethod(this, [this, bytes] { feed(bytes); }, Qt::QueuedConnection);
}

void MemoryComPort::notify()
{
    if (inHandler_) {
        arrivedInHandler_ = true;
        return;
    }
    do {
        arrivedInHandler_ = false;
        if (!OnTriggerAvail || !open_ || in_.isEmpty())
            return;
        struct InHandler {
            bool& flag;
            explicit InHandler(bool& f) : flag(f) { flag = true; }
            ~InHandler() { flag = false; }
        } guard(inHandler_);
        OnTriggerAvail(static_cast<quint16>(std::min<qsizetype>(in_.size(), 65535)));
    } while (arrivedInHandler_);
}

bool MemoryComPort::setEventCharacter(std::optional<char> c)
{
    eventCharRequests_.push_back(c);
    if (refuseEventCharacter)
        return false;
    eventChar_ = c;
    return true;
}

QByteArray MemoryComPort::takeWritten()
{
    QByteArray out;
    out.swap(written_);
    return out;
}

void MemoryComPort::failNextOpen(const QString& text)
{
    failNextOpen_ = text;
}

void MemoryComPort::unplug(const QString& reason)
{
    if (!open_)
        return;
    close();
    log_ << QStringLiteral("lost");
    emit deviceLost(QStringLiteral("COM%1 is no longer available: %2").arg(comNumber_).arg(reason));
}

}  // namespace zelt
