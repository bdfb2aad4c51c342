#pragma once
// The serial port through which every byte to and from the logger passes.
//
// The operations carry the names the rest of the tool uses for them.
// Implementations: QtComPort (the real device, 115200 8N1; Linux),
// WinComPort (the same on Windows, on the Windows layer's serial line),
// picked by makeSystemComPort (SystemComPort.h), and MemoryComPort (an
// in-memory stand-in for tests).
#include <QObject>
#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <stdexcept>

namespace zelt {

// Raised when the port cannot be opened or configured; the text is shown to
// the user by the handler boundary.
class PortError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ComPort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~ComPort() override = default;

    // Port number n selects the device COMn. Setting it while the port is
    // open closes the port and reopens it on the new number.
    virtual quint16 ComNumber() const = 0;
    virtual void setComNumber(quint16 n) = 0;

    // setOpen(true) opens with the fixed line settings (no effect when already
    // open) and throws PortError on failure; setOpen(false) closes (no effect
    // when closed). Port number 0 asks the user to choose a port first.
    virtual bool Open() const = 0;
    virtual void setOpen(bool open) = 0;

    // Queue bytes for sending, in order, without any terminator. A closed
    // port is opened first.
    virtual void PutString(const QByteArray& text) = 0;
    virtual void PutChar(char c) = 0;

    // True while at least one received byte is waiting; never waits, never
    // opens the port. False from the moment the port is closed.
    virtual bool CharReady() = 0;
    // Takes the oldest waiting byte (call only after CharReady()).
    virtual char GetChar() = 0;
    // Discards every waiting received byte.
    virtual void FlushInBuffer() = 0;
    // Number of received bytes waiting.
    virtual int InBuffUsed() const = 0;

    // The adapter's event character. A USB serial adapter holds the bytes it
    // receives from the device until its latency timer runs out (16 ms by
    // default on Windows) or a packet is full; when it receives its event
    // character it hands on what it holds at once. An exchange that waits
    // for a known one-byte answer sets that byte here, and nullopt switches
    // the character off again.
    //
    // True when the adapter was given the setting. False where the port,
    // its driver or the system has no such setting or refuses it (a
    // pseudo-terminal, a setting this user may not change, a closed port):
    // the caller goes on without it and only loses the timer's wait. Never
    // throws. What was set may outlive the open port (on Linux it is the
    // adapter's until changed or unplugged), so whoever sets it clears it.
    //
    // Linux: the ftdi_sio sysfs attribute (QtComPort). Windows: DCB.EvtChar.
    // The default: not supported.
    virtual bool setEventCharacter(std::optional<char> c)
    {
        (void)c;
        return false;
    }

    // Bytes-waiting notification: called on the user-interface thread with
    // the number of bytes waiting whenever bytes are waiting. The handler may
    // take all, some or none; bytes left stay waiting and the notification
    // comes again when further bytes arrive.
    std::function<void(quint16 count)> OnTriggerAvail;

signals:
    // Bytes were queued for sending (after the port opened for them).
    void bytesSent(const QByteArray& bytes);
    // The device disappeared while the port was open (unplugged adapter).
    // The port is already closed when this is emitted; emitted once per loss.
    void deviceLost(const QString& reason);
};

}  // namespace zelt
