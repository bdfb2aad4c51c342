#pragma once
// A serial line on Windows: one COM port opened for overlapped reads and
// writes, with the logger's fixed settings (115200 baud, 8 data bits, no
// parity, 1 stop bit, no flow control, DTR on, RTS off). Plain C++ and Win32.
//
// Receiving is a wait for the first byte followed by a read of whatever else
// the system holds at that moment, so bytes are handed on as soon as they
// arrive whatever the driver's idea of read timeouts (Wine, for one, keeps an
// overlapped read with "return at once" timeouts pending until the whole
// buffer is filled). Sending is one overlapped write at a time. Both signal
// an event of their own when they finish, for callers that wait on events
// (an event loop); receive() and send() wait themselves.
//
// A port another handle holds is refused. Windows refuses a second open of a
// COM port by itself; a guard of the tool's own (a named object per port,
// held while the line is open) refuses it also where the system lets a port
// be opened twice (Wine on a pseudo-terminal).
#include <cstddef>
#include <optional>
#include <string>

namespace zelt::win {

enum class LineProblem {
    None,
    NoSuchPort,  // no device of that name
    InUse,       // another program (or another line of this one) holds it
    Lost,        // the device went away: unplugged adapter, closed pseudo-terminal
    Failed,      // anything else the system refused
};

struct LineResult {
    LineProblem problem = LineProblem::None;
    unsigned long systemError = 0;  // GetLastError() of the failing call
    bool ok() const { return problem == LineProblem::None; }
};

// The line settings as the system reports them (GetCommState).
struct LineSettings {
    unsigned long baudRate = 0;
    int dataBits = 0;
    int parity = -1;    // NOPARITY = 0
    int stopBits = -1;  // ONESTOPBIT = 0
    bool ctsFlow = false;
    bool dsrFlow = false;
    bool dsrSensitivity = false;
    bool xonXoff = false;
    bool abortOnError = false;
    bool dataTerminalReady = false;  // DTR_CONTROL_ENABLE
    bool requestToSend = false;      // RTS_CONTROL_ENABLE or handshake
    char eventCharacter = 0;
};

struct ReceiveOutcome {
    bool finished = false;  // false: the wait goes on (nothing appended)
    std::size_t bytes = 0;  // appended to the caller's buffer
    LineResult result;      // a problem ends the wait; bytes may still have come
    bool timedOut = false;  // receive(): the time ran out (bytes taken meanwhile are kept)
};

struct SendOutcome {
    bool finished = false;    // false: the write goes on
    std::size_t written = 0;  // bytes that reached the driver
    LineResult result;
};

class SerialLine {
public:
    static constexpr unsigned long kBaudRate = 115200;
    // The driver's queues: what the tool keeps waiting at most, and its
    // transmit queue.
    static constexpr unsigned long kInQueue = 4096;
    static constexpr unsigned long kOutQueue = 512;
    // How long the driver lets a wait for the first byte last before it ends
    // empty (the wait is then started again).
    static constexpr unsigned long kFirstByteWaitMs = 200;

    SerialLine();
    ~SerialLine();
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;

    // Opens COMn with the fixed settings and discards whatever the system
    // kept from before. A line already open is closed first.
    LineResult open(int comNumber);
    // Cancels the wait and the write in progress (unsent bytes are dropped;
    // callers that want them out wait for the write first) and closes.
    void close();
    bool isOpen() const { return handle_ != nullptr; }

    // --- Receiving
    // Starts waiting for bytes unless a wait is on; false when the line is
    // closed. A wait that fails at once finishes at once: its event is set
    // and collect() reports it.
    bool startReceive();
    bool receiving() const { return receiving_; }
    // Set when the wait finished (manual reset; collect() clears it).
    void* receiveEvent() const { return readEvent_; }
    // After receiveEvent: appends the bytes received, at most room of them
    // (room >= 1), and ends the wait. Not finished while the wait goes on.
    // A wait that ended empty is finished with no bytes and no problem.
    ReceiveOutcome collect(std::string& into, std::size_t room);
    // Starts a wait if none is on, waits up to timeoutMs for it, collects.
    ReceiveOutcome receive(std::string& into, std::size_t room, unsigned long timeoutMs);
    // Ends the wait, dropping what it received, and discards what the system
    // holds; start the wait again afterwards.
    bool purgeInput();
    // Bytes the system holds that no wait took yet (ClearCommError).
    std::optional<unsigned long> waitingInSystem() const;

    // --- Sending
    // Starts writing bytes (the line keeps them until the write finishes);
    // false when closed or while a write is on. A write that fails at once
    // finishes at once: its event is set and finishSend() reports it.
    bool startSend(std::string bytes);
    bool sending() const { return sending_; }
    void* sendEvent() const { return writeEvent_; }
    // After sendEvent: the outcome; not finished while the write goes on.
    SendOutcome finishSend();
    // Starts a write, waits up to timeoutMs for it, reports.
    SendOutcome send(std::string bytes, unsigned long timeoutMs);

    // The serial event character (DCB.EvtChar): an adapter that knows it
    // hands on what it holds as soon as that byte arrives. nullopt clears it.
    // False when the driver refused or the line is closed.
    bool setEventCharacter(std::optional<char> c);

    std::optional<LineSettings> settings() const;

private:
    LineResult failure(unsigned long error) const;
    void cancelAndWait(void* overlapped);

    void* handle_ = nullptr;
    void* guard_ = nullptr;
    void* readEvent_ = nullptr;
    void* drainEvent_ = nullptr;
    void* writeEvent_ = nullptr;
    struct Pending;
    Pending* pending_;  // the OVERLAPPED blocks and buffers of the operations
    bool receiving_ = false;
    bool sending_ = false;
};

// The system's text for an error code (English where the system has it),
// UTF-8, without the trailing period and line end.
std::string systemMessage(unsigned long error);

// True when running under Wine.
bool runningUnderWine();

}  // namespace zelt::win
