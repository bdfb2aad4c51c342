#include "link/QtComPort.h"

#include "link/SerialDevice.h"


#include <QElapsedTimer>
#include <QFileInfo>
#include <QSerialPort>
#include <QtGlobal>
#include <algorithm>
#include <exception>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <poll.h>
#endif

namespace zelt {

namespace {

// How long closing waits for bytes still queued for sending.
constexpr int kDrainMs = 1000;

[[noreturn]] void fail(const QString& text)
{
    throw PortError(text.toStdString());
}

}  // namespace

QtComPort::QtComPort(PortChooser choosePort, QObject* parent)
    : ComPort(parent),
      serial_(new QSerialPort(this)),
      choosePort_(std::move(choosePort)),
      arrival_(*this, [this] { return serial_->isOpen() ? serial_->bytesAvailable() : 0; })
{
    connect(serial_, &QSerialPort::readyRead, this, &QtComPort::onReadyRead);
    connect(serial_, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError e) { onError(static_cast<int>(e)); });
}

QtComPort::~QtComPort()
{
    closePort();
}

quint16 QtComPort::ComNumber() const
{
    return comNumber_;
}

void QtComPort::setComNumber(quint16 n)
{
    if (n == comNumber_)
        return;
    const bool wasOpen = serial_->isOpen();
    closePort();
    comNumber_ = n;
    if (wasOpen)
        openPort();
}

bool QtComPort::Open() const
{
    return serial_->isOpen();
}

void QtComPort::setOpen(bool open)
{
    if (open)
        openPort();
    else
        closePort();
}

QString QtComPort::devicePath() const
{
    return serial_->isOpen() ? device_ : QString();
}

void QtComPort::ensureOpen()
{
    if (!serial_->isOpen())
        openPort();
}

void QtComPort::openPort()
{
    if (serial_->isOpen())
        return;
    if (comNumber_ == 0)
        comNumber_ = chosenComNumber(choosePort_);
    openOn(comNumber_);
}

void QtComPort::openOn(quint16 n)
{
    const QString name = comName(n);
    const QString device = deviceForComNumber(n);
    if (device.isEmpty())
        fail(QStringLiteral("%1 does not exist").arg(name));
#ifndef Q_OS_WIN
    if (!QFileInfo::exists(device))
        fail(QStringLiteral("%1 does not exist (there is no device %2)").arg(name, device));
#endif

    struct Opening {
        bool& flag;
        explicit Opening(bool& f) : flag(f) { flag = true; }
        ~Opening() { flag = false; }
    } opening(opening_);

    serial_->setPortName(device);
    serial_->setReadBufferSize(kReceiveBufferSize);
    if (!serial_->open(QIODevice::ReadWrite)) {
        QString reason = serial_->errorString();
        if (serial_->error() == QSerialPort::PermissionError) {
            // Either this user may not open the device (then the message
            // names the group and the rule that give access) or another
            // program holds it.
            const QString denied = deviceAccessProblem(device);
            reason = denied.isEmpty() ? reason + QStringLiteral(" (the port may be in use by another program)") : denied;
        }
        serial_->clearError();
        fail(QStringLiteral("Cannot open %1 (%2): %3").arg(name, device, reason));
    }

    const bool configured = serial_->setBaudRate(QSerialPort::Baud115200)
                            && serial_->setDataBits(QSerialPort::Data8)
                            && serial_->setParity(QSerialPort::NoParity)
                            && serial_->setStopBits(QSerialPort::OneStop)
                            && serial_->setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        const QString reason = serial_->errorString();
        serial_->close();
        serial_->clearError();
        fail(QStringLiteral("Cannot configure %1 (%2): %3").arg(name, device, reason));
    }

    // Modem lines: a pseudo-terminal (the simulated logger) has none and
    // refuses them with "Inappropriate ioctl for device". That is no reason
    // to refuse the port; any other failure here is.
    const auto lineSet = [this](bool ok) {
        const bool refused = !ok && serial_->error() != QSerialPort::UnsupportedOperationError;
        if (!refused)
            serial_->clearError();
        return !refused;
    };
    modemLinesAsked_ = ModemLines{true, false};
    if (!lineSet(serial_->setDataTerminalReady(modemLinesAsked_.dataTerminalReady))
        || !lineSet(serial_->setRequestToSend(modemLinesAsked_.requestToSend))) {
        const QString reason = serial_->errorString();
        serial_->close();
        serial_->clearError();
        fail(QStringLiteral("Cannot configure %1 (%2): %3").arg(name, device, reason));
    }

    // Bytes handed on at once: every round trip of an exchange (the firmware
    // update has thousands) would otherwise wait for the adapter's timer.
#ifdef Q_OS_WIN
    const qintptr handle = reinterpret_cast<qintptr>(serial_->handle());
#else
    const qintptr handle = serial_->handle();
#endif
    lowLatency_ = requestLowLatency(handle, device);

    doubtfulErrors_ = 0;
    // Whatever arrived while the port was closed is not for this session.
    serial_->clear(QSerialPort::Input);
    serial_->clearError();
    device_ = device;
}

void QtComPort::closePort()
{
    if (!serial_->isOpen())
        return;
    if (!losing_) {
        // Closing discards what the toolkit still holds for sending: give it
        // a moment to reach the device first.
        QElapsedTimer timer;
        timer.start();
        while (serial_->isOpen() && serial_->bytesToWrite() > 0 && timer.elapsed() < kDrainMs) {
            if (!serial_->waitForBytesWritten(static_cast<int>(kDrainMs - timer.elapsed())))
                break;
        }
        if (!serial_->isOpen())  // the device went away meanwhile
            return;
    }
    serial_->close();
    serial_->clearError();
    device_.clear();
}

void QtComPort::lose(const QString& what)
{
    const QString text = QStringLiteral("%1 (%2) is no longer available: %3").arg(comName(comNumber_), device_, what);
    losing_ = true;
    serial_->close();
    serial_->clearError();
    device_.clear();
    losing_ = false;
    emit deviceLost(text);
}

QtComPort::DeviceState QtComPort::deviceState() const
{
#ifdef Q_OS_UNIX
    pollfd p{};
    p.fd = static_cast<int>(serial_->handle());
    p.events = POLLIN;
    if (p.fd < 0)
        return DeviceState::HungUp;
    int r;
    do {
        r = ::poll(&p, 1, 0);
    } while (r < 0 && errno == EINTR);
    if (r < 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
        return DeviceState::HungUp;
    return (p.revents & POLLIN) ? DeviceState::Readable : DeviceState::Idle;
#else
    return DeviceState::HungUp;
#endif
}

void QtComPort::onError(int error)
{
    if (error == QSerialPort::NoError)
        return;
    ++errorReports_;
    if (opening_ || losing_ || recovering_ || !serial_->isOpen())
        return;  // an open in progress reports its own failure
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError
        && error != QSerialPort::WriteError)
        return;  // e.g. modem lines a device does not have

    // A read notification can come for bytes that FlushInBuffer discarded
    // meanwhile: the read finds nothing and the toolkit reports an error
    // (and pauses reading) although the device is fine. A device that hung
    // up is gone; one that fails to read bytes it has, or fails to write,
    // is given up after a few failures with nothing received in between.
    const DeviceState state = deviceState();
    const bool doubtful = state == DeviceState::Readable || error == QSerialPort::WriteError;
    if (state == DeviceState::HungUp) {
        lose(QStringLiteral("the device was disconnected"));
        return;
    }
    if (doubtful && ++doubtfulErrors_ > kMaxDoubtfulErrors) {
        lose(QStringLiteral("%1 the device failed (%2)")
                 .arg(error == QSerialPort::WriteError ? QStringLiteral("writing to") : QStringLiteral("reading from"),
                      serial_->errorString()));
        return;
    }
    recovering_ = true;
    serial_->clearError();
    serial_->setReadBufferSize(kReceiveBufferSize);  // resumes reading
    if (serial_->bytesToWrite() > 0)
        serial_->flush();
    recovering_ = false;
}

void QtComPort::PutString(const QByteArray& text)
{
    ensureOpen();
    if (text.isEmpty())
        return;
    const qint64 queued = serial_->write(text);
    if (queued != text.size()) {
        fail(QStringLiteral("Sending to %1 failed: %2 of %3 bytes were taken (%4)")
                 .arg(comName(comNumber_))
                 .arg(std::max<qint64>(queued, 0))
                 .arg(text.size())
                 .arg(serial_->errorString()));
    }
    // Out to the device now rather than at the event loop's next pass: a
    // round trip (a firmware line and its answer) waits for nothing else.
    serial_->flush();
    emit bytesSent(text);
}

void QtComPort::PutChar(char c)
{
    PutString(QByteArray(1, c));
}

bool QtComPort::CharReady()
{
    return serial_->isOpen() && serial_->bytesAvailable() > 0;
}

char QtComPort::GetChar()
{
    ensureOpen();
    char c = 0;
    serial_->getChar(&c);
    return c;
}

void QtComPort::FlushInBuffer()
{
    if (!serial_->isOpen())
        return;
    serial_->clear(QSerialPort::Input);
    serial_->clearError();
    // A full receive buffer pauses reading from the device; a read from the
    // now empty buffer resumes it.
    char c;
    serial_->read(&c, 1);
}

int QtComPort::InBuffUsed() const
{
    return serial_->isOpen() ? static_cast<int>(serial_->bytesAvailable()) : 0;
}

bool QtComPort::setEventCharacter(std::optional<char> c)
{
#if defined(Q_OS_LINUX)
    const QString device = serial_->isOpen() ? device_ : deviceForComNumber(comNumber_);
    return !device.isEmpty() && writeEventCharacter(device, c);
#else
    (void)c;
    return false;
#endif
}

void QtComPort::onReadyRead()
{
    doubtfulErrors_ = 0;
    // The handler runs from the event loop rather than inside the toolkit's
    // read notification, which stays silent about bytes that arrive while a
    // handler of it runs a nested event loop.
    arrival_.arrived();
}

}  // namespace zelt
