#pragma once
// The real serial port on Windows: COMn through the Windows layer's serial
// line (platform/win/SerialLine.h), 115200 baud, 8 data bits, no parity,
// 1 stop bit, no flow control, DTR on and RTS off. The toolkit's own serial
// port is not used for reading and writing on Windows: it waits for bytes
// with WaitCommEvent, which never reports them on a port Wine backs with a
// pseudo-terminal.
//
// It keeps the contract of QtComPort (see there), with the same texts:
// - port number 0 asks the chooser for a port when the port is opened;
// - PutString, PutChar and GetChar open a closed port first; FlushInBuffer
//   on a closed port does nothing; CharReady never opens; opening discards
//   whatever the system kept from before;
// - at most 4096 received bytes wait in the port; further bytes stay with
//   the system until the waiting ones are taken;
// - OnTriggerAvail runs from the event loop, never inside itself;
// - bytes written are queued and sent from the event loop; closing waits up
//   to a second for queued bytes to go out;
// - a vanished device closes the port and emits deviceLost once.
// The line's events reach the event loop through QWinEventNotifier, so
// every call and every notification stays on the thread that owns the port.
#include "link/ArrivalNotice.h"
#include "link/ComPort.h"
#include "link/SystemComPort.h"
#include "platform/ComPortNames.h"
#include "platform/win/SerialLine.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QWinEventNotifier;

namespace zelt {

class WinComPort : public ComPort {
    Q_OBJECT
public:
    using PortChooser = zelt::PortChooser;

    explicit WinComPort(PortChooser choosePort = {}, QObject* parent = nullptr);
    ~WinComPort() override;

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

    // The serial event character: set on the open line at once (false when
    // the port is closed or the driver refuses) and at every later open,
    // until cleared with nullopt.
    bool setEventCharacter(std::optional<char> c) override;

    // The device the port is open on ("\\.\COM7"); "" while closed.
    QString devicePath() const;
    // The line beneath, for checks of its settings.
    const win::SerialLine& line() const { return line_; }

    static constexpr qint64 kReceiveBufferSize = 4096;

private:
    void openPort();
    void openOn(quint16 n);
    void closePort();
    void ensureOpen();
    void receive();
    void resumeReceiving();
    void writeFinished();
    void startWriting();
    bool problem(const win::LineResult& r, bool writing);
    void lose(const QString& what);
    qint64 waiting() const { return in_.size() - head_; }

    win::SerialLine line_;
    QWinEventNotifier* readNotifier_;
    QWinEventNotifier* writeNotifier_;
    PortChooser choosePort_;
    ArrivalNotice arrival_;
    quint16 comNumber_ = 1;
    QString device_;
    QByteArray in_;      // received, from head_ on not yet taken
    qint64 head_ = 0;
    std::string chunk_;  // what one receive brought
    QByteArray out_;     // queued, not yet handed to the line
    QByteArray writing_; // handed to the line, not yet confirmed
    std::optional<char> eventCharacter_;
    bool losing_ = false;
    int doubtfulErrors_ = 0;
    static constexpr int kMaxDoubtfulErrors = 3;
};

}  // namespace zelt
