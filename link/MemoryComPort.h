#pragma once
// The serial port in memory, for tests: the test feeds the bytes the logger
// would send and reads what the tool wrote.
//
// It follows the rules of the real port: PutString, PutChar and GetChar open
// a closed port first (FlushInBuffer on a closed port does nothing);
// CharReady never opens and is false while closed; bytes fed while the port
// is closed are lost; the handler is never entered again while it runs, and
// bytes fed meanwhile give one further notification after it returns.
// Port number 0 asks choosePort (when set) for a number, else the open fails.
#include "link/ComPort.h"

#include <QStringList>
#include <optional>
#include <vector>

namespace zelt {

class MemoryComPort : public ComPort {
    Q_OBJECT
public:
    explicit MemoryComPort(QObject* parent = nullptr);

    quint16 ComNumber() const override { return comNumber_; }
    void setComNumber(quint16 n) override;
    bool Open() const override { return open_; }
    void setOpen(bool open) override;
    void PutString(const QByteArray& text) override;
    void PutChar(char c) override;
    bool CharReady() override;
    char GetChar() override;
    void FlushInBuffer() override;
    int InBuffUsed() const override;
    // Recorded; taken (open or closed) unless refuseEventCharacter is set.
    bool setEventCharacter(std::optional<char> c) override;

    // Every request for the event character, in order (nullopt: off), and
    // the one the adapter holds now.
    const std::vector<std::optional<char>>& eventCharacterRequests() const { return eventCharRequests_; }
    std::optional<char> eventCharacter() const { return eventChar_; }
    // The adapter has no event character: requests are recorded and refused.
    bool refuseEventCharacter = false;

    // The device sends bytes. feed appends them and calls OnTriggerAvail
    // before it returns (synchronously); feedQueued does the same later, from
    // the event loop, as the real port does. Either drops the bytes when the
    // port is closed at the time they arrive.
    void feed(const QByteArray& bytes);
    void feedQueued(const QByteArray& bytes);

    // Everything written since the last takeWritten(), in order.
    QByteArray written() const { return written_; }
    QByteArray takeWritten();

    // Successful opens so far.
    int openCount() const { return openCount_; }
    // "open COM3", "close", "lost", "open failed: <text>" in order.
    QStringList log() const { return log_; }

    // The next open throws PortError(text) and leaves the port closed.
    void failNextOpen(const QString& text);
    // The device disappears: an open port closes and deviceLost is emitted
    // once; nothing happens on a closed port.
    void unplug(const QString& reason = QStringLiteral("the device was removed"));

    // Answers port number 0 on open; unset, such an open fails.
    std::function<std::optional<int>()> choosePort;

private:
    void open();
    void close();
    void ensureOpen();
    void notify();

    quint16 comNumber_ = 1;
    bool open_ = false;
    QByteArray in_;
    QByteArray written_;
    int openCount_ = 0;
    QStringList log_;
    std::optional<QString> failNextOpen_;
    bool inHandler_ = false;
    bool arrivedInHandler_ = false;
    std::vector<std::optional<char>> eventCharRequests_;
    std::optional<char> eventChar_;
};

}  // namespace zelt
