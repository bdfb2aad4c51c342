#pragma once
// The firmware update's exchange with the logger's loader, without a window:
// the loader call, "e" and its '#', one image line per answer of the loader
// (the configuration-word record and the one after it left out), then "qs"
// with its 'M' and the restart "m". The main window and the command-line
// tool both run an update through this.
//
// While the image goes out, the port's event character is the loader's
// answer to a line, so that an adapter hands each answer on at once rather
// than after its latency timer (16 ms a line by default on Windows, four
// times the line's own time). It is switched off again when the last line
// is answered and whenever the transfer ends otherwise. A port or driver
// without it changes nothing but the speed.
#include "platform/ByteLines.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <functional>
#include <optional>

namespace zelt {

class ComPort;
class LoggerLink;

// The loader's answer to a line it has taken (an error is answered '!').
inline constexpr char kLoaderLineAnswer = 0x06;

class FirmwareTransfer {
public:
    explicit FirmwareTransfer(LoggerLink& link) : link_(link) {}
    // A transfer that ends here without its end switches the event
    // character off.
    ~FirmwareTransfer();
    FirmwareTransfer(const FirmwareTransfer&) = delete;
    FirmwareTransfer& operator=(const FirmwareTransfer&) = delete;

    // The loader call (ETX ACK ETX ACK ETX): the logger leaves its program
    // for its loader.
    void callLoader();

    // How a wait for the loader ended: its answer came; it was silent for
    // the silence limit; it kept sending until the deadline without the
    // answer; the port closed.
    enum class Wait { Got, TimedOut, Overdue, PortClosed };
    using Pause = std::function<void()>;
    // "e": the loader erases the program memory and answers '#' (any byte
    // before it is dropped). Marks the line as the transfer's first, so the
    // receive path hands every byte to the transfer. pause runs between
    // looks at the port. The loader is waited for while it is not silent for
    // silenceMs (counted from "e" and from each byte it sends), but no longer
    // than deadlineMs in all (0: no deadline), so that a line that talks
    // without end cannot hold the wait. A wait that fails leaves the line to
    // the others.
    Wait erase(int silenceMs, int deadlineMs, const Pause& pause);

    // Starts sending the image: what came with the '#' is dropped (only
    // answers to the lines may pace the transfer), the event character is
    // set to kLoaderLineAnswer, and line 0 goes out.
    void start(const ByteLines& image, const std::optional<QByteArray>& skipKey);

    // The loader answered the last line sent: its bytes are taken, and the
    // number of errors ('!') among them returned.
    int takeAnswer();
    // Then the next line goes out (or the image is all sent, and the event
    // character is switched off).
    enum class Next { Sent, SentAfterSkip, AllSent, AllSentAfterSkip };
    struct Step {
        Next next = Next::Sent;
        int answeredIndex = 0;  // the index the answer moved to, before a skip
    };
    Step sendNext();

    // "qs": the loader verifies the image and answers 'M'; then "m" restarts
    // the logger. The line is the others' again whatever the outcome. The
    // limits are those of erase().
    Wait verify(int silenceMs, int deadlineMs, const Pause& pause);
    void restart();

    // Ends a transfer that cannot go on (the event character switched off).
    void abandon();

    bool sending() const;
    int lineIndex() const;  // lines sent so far
    int lineCount() const;
    int linesSent() const { return sent_; }  // lines written to the loader (those left out not counted)
    QByteArrayView line(int index) const { return image_.view(index); }
    // Time since the last line went out.
    qint64 sinceLineSentMs() const { return sinceLineSent_.isValid() ? sinceLineSent_.elapsed() : 0; }

private:
    void sendLine(int index);
    void clearEventCharacter();

    LoggerLink& link_;
    ByteLines image_;
    std::optional<QByteArray> skipKey_;  // a line equal to it is skipped with the next
    int sent_ = 0;
    QElapsedTimer sinceLineSent_;
    // The port that holds the event character for the lines; null when none
    // is set (a port that is gone meanwhile needs nothing cleared).
    QPointer<ComPort> eventCharPort_;
};

// What the update says when a wait or a line fails: what went wrong, the
// state the logger is left in, and how the user repeats the update, which
// differs between the window and the command line.
enum class UpdateFrom { Window, CommandLine };
QString firmwareNotReadyMessage(int limitMs, bool portClosed, UpdateFrom from = UpdateFrom::Window);
QString firmwareNoVerifyMessage(int limitMs, bool portClosed, UpdateFrom from = UpdateFrom::Window);
QString firmwareStalledMessage(int lineIndex, int lineCount, int limitMs, UpdateFrom from = UpdateFrom::Window);
// The port was lost (or a write failed) while the image went out; cause
// says how.
QString firmwarePortLostMessage(const QString& cause, int lineIndex, int lineCount,
                                UpdateFrom from = UpdateFrom::Window);

}  // namespace zelt
