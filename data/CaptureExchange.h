#pragma once
// The online capture without a window: the logger's X, Y and Z readings at
// its fastest rate, one sample every 5 ms, for a number of seconds. The
// samples arrive as a stream of short hexadecimal lines that is stored raw
// in the capture table while it runs, and listed, with a time for each, once
// the stream has ended. The main window and the command-line tool both run
// a capture through this.
#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zelt {

class ByteLines;
class LoggerLink;

inline constexpr int kSamplesPerSecond = 200;  // one sample every 5 ms
inline constexpr int kSampleBytes = 8;         // LF, six hex digits, CR
inline constexpr int kShortestCaptureSeconds = 5;
inline constexpr int kLongestCaptureSeconds = 360;
inline constexpr int kCaptureSecondsIfNotANumber = 10;

// Seconds for the text entered in the duration box: a decimal integer
// (blanks around it and an optional sign allowed, full-width digits too)
// kept within 5..360; anything else is 10.
int captureSeconds(const QString& entered);

struct CaptureSample {
    int x = 0, y = 0, z = 0;  // raw counts, signed 8-bit
};
// Decodes a stored row: the separator byte and six hexadecimal digits (either
// case), X Y Z as two's-complement pairs, high digit first. A row of any
// other length or with a character that is not a hex digit is damaged.
std::optional<CaptureSample> decodeSample(std::string_view row);

// The text every sample line begins with: date, blank, hours and minutes of
// the start, and a colon (the first 17 characters of the start text; a
// one-digit hour is first given a blank in front).
std::string captureTimePrefix(std::string_view startText);

// The temperature column, from the reading reply listed as line 2: its
// characters at positions 32-36 with the unit letter dropped, right-aligned
// in five places ("25.3C" gives " 25.3", "-12.5" stays as it is). Empty when
// the reply is too short to hold them.
std::string captureTemperature(std::string_view replyLine);

// Whether a line is a reading of the logger: X, Y and Z carry numbers and
// the line has a temperature.
bool isReadingLine(const QByteArray& line);

// Sample line of row k (k x 5 ms after the start).
std::string captureSampleLine(std::string_view prefix, int row, const CaptureSample& s, std::string_view temperature);
// The line listed in place of a damaged row: "//Bad Sample: <row> //", the
// separator left out and bytes outside printable ASCII shown as '?'.
std::string badSampleLine(std::string_view row);

class CaptureExchange {
public:
    explicit CaptureExchange(LoggerLink& link) : link_(link) {}

    // Asks for a reading ("n"), whose reply gives the capture its
    // temperature. An exchange still open is abandoned first.
    void requestReading();

    // The listing's second line from the lines of the reply to "n": the
    // first that is a reading (X, Y and Z numbers and a temperature), not
    // whatever came first (a line of noise would give every sample an empty
    // temperature); without one, a line that says the reading is missing.
    static QByteArray readingLineOf(const ByteLines& replyLines);

    // Starts the stream on the open port for sampleCount samples: nothing
    // of the reply may be taken for a sample, so what waits is dropped; the
    // start is the moment the stream is asked for ("x"). The listing's first
    // line is made now.
    void begin(int sampleCount, const QByteArray& replyLine);
    // Takes the whole samples waiting (at most count bytes); true once every
    // sample wanted has come.
    bool receive(quint16 count);
    // Samples stored whole so far.
    int rowsArrived() const;

    enum class End { Complete, LoggerSilent, PortLost };
    // Ends the stream: the logger is told to stop (" "), and what waits is
    // dropped; the port stays open for the logger's end mark. A port error
    // is raised after the capture's state is reset.
    void stop();
    // The listing of a capture that ended: the two head lines, a line per
    // sample (a complete capture lists its rows but the last; one cut short
    // every row that arrived whole), a note when it is incomplete, and the
    // end time.
    void list(End how, const QString& reason, const std::function<void(QByteArrayView)>& add,
              const std::function<void(int listed)>& progress) const;
    int samplesWanted() const { return wanted_; }
    const QByteArray& startLine() const { return startLine_; }
    const QByteArray& replyLine() const { return replyLine_; }

private:
    LoggerLink& link_;
    QByteArray startLine_;  // listing line 1
    QByteArray replyLine_;  // listing line 2
    int wanted_ = 0;
    int completeRows_ = 0;
};

}  // namespace zelt
