#pragma once
// The real serial port: COMn on the toolkit's serial port, 115200 baud, 8 data
// bits, no parity, 1 stop bit, no flow control, DTR on and RTS off.
//
// - The port number starts at 1; port number 0 asks the user (through the
//   chooser) for a port when the port is opened.
// - PutString, PutChar and GetChar open a closed port first; FlushInBuffer
//   on a closed port does nothing (nothing is waiting). CharReady never
//   opens. Bytes that arrive while the port is closed are lost: opening
//   discards whatever the system kept from before.
// - At most 4096 received bytes wait in the port; further bytes stay with the
//   system until the waiting ones are taken.
// - OnTriggerAvail runs from the event loop, never inside itself: bytes that
//   arrive while the handler runs a nested event loop (a modal dialog) give
//   one further notification after the handler returns.
// - Setting the port number it already has changes nothing; another number
//   while open closes the port and opens it on the new number.
// - Bytes written are queued and sent from the event loop; closing the port
//   waits up to a second for queued bytes to go out.
// - A vanished device (unplugged adapter, closed pseudo-terminal) closes the
//   port and emits deviceLost once. A device without modem lines (a
//   pseudo-terminal) opens normally.
#include "link/ArrivalNotice.h"
#include "link/ComPort.h"
#include "link/SystemComPort.h"
#include "link/SerialDevice.h"
#include "platform/ComPortNames.h"

#include <optional>
#include <vector>

class QSerialPort;

namespace zelt {

class QtComPort : public ComPort {
    Q_OBJECT
public:
    // Picks a port when the port number is 0; nullopt means none was chosen.
    using PortChooser = zelt::PortChooser;

    // An empty chooser selects none: a port without a number does not open.
    // The windows pass the Select Port dialog (askForPort).
    explicit QtComPort(PortChooser choosePort = {}, QObject* parent = nullptr);
    ~QtComPort() override;

    quint16 ComNumber() const override;
    void setComNumber(quint16 n) override;

    bool Open() const override;
    void setOpen(bool open) override;

    void PutString(const QByteArray& text) override;
    void PutChar(char c) override;

    bool CharReady() override;
    char GetChar() override;
    void FlushInBuffer() override;
    int InBuffUsed() const override;
    // On Linux through the adapter's sysfs attribute (an FTDI adapter's
    // event_char), open or closed, on the device of this port's number;
    // false for a device without it (a pseudo-terminal) or when this user
    // may not write it.
    bool setEventCharacter(std::optional<char> c) override;

    // The device the port is open on; "" while closed.
    QString devicePath() const;
    // How many errors the toolkit reported on this port so far (diagnostics:
    // a dead device must not produce a stream of them).
    int errorReports() const { return errorReports_; }

    static constexpr qint64 kReceiveBufferSize = 4096;

    // The modem lines the last open asked the driver for: DTR asserted, RTS
    // not. (A pseudo-terminal has no modem lines to read them back from.)
    struct ModemLines {
        bool dataTerminalReady = false;
        bool requestToSend = false;
    };
    ModemLines modemLinesAsked() const { return modemLinesAsked_; }

    // What the last open obtained of low latency (nothing on a pseudo-terminal).
    LowLatency lowLatency() const { return lowLatency_; }

private:
    void openPort();
    void openOn(quint16 n);
    void closePort();
    void ensureOpen();
    void onReadyRead();
    void onError(int error);
    void lose(const QString& what);
    enum class DeviceState { Idle, Readable, HungUp };
    DeviceState deviceState() const;

    QSerialPort* serial_;
    PortChooser choosePort_;
    ArrivalNotice arrival_;
    LowLatency lowLatency_;
    quint16 comNumber_ = 1;
    QString device_;
    bool losing_ = false;
    bool opening_ = false;
    bool recovering_ = false;
    int doubtfulErrors_ = 0;
    static constexpr int kMaxDoubtfulErrors = 3;
    int errorReports_ = 0;
    ModemLines modemLinesAsked_;
};

}  // namespace zelt
