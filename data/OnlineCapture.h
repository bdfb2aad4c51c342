#pragma once
// The online capture: the logger's X, Y and Z readings at its fastest rate,
// one sample every 5 ms, for a number of seconds the user chooses. The
// samples arrive as a stream of short hexadecimal lines that is stored raw
// in the capture table while it runs and listed, with a time for each, in
// the log memo once the stream has ended.
#include <QObject>
#include <QString>

#include <optional>
#include <string>
#include <string_view>


namespace zelt {

class TForm1;

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

class OnlineCaptureFeature : public QObject {
public:
    // Joins the "5ms" button and the dispatcher's capture branch; a port that
    // vanishes in mid-capture ends the capture with what has arrived.
    explicit OnlineCaptureFeature(TForm1& form);

    void Button40Click();
    // The dispatcher hands over the bytes while a capture runs.
    void receive(quint16 count);

    // How long a capture waits for the reply to the reading request when the
    // duration was confirmed before it came.
    int replyWaitMs = 1000;

private:
    enum class End { Complete, LoggerSilent, PortLost };
    void finish(End how, const QString& reason = QString());
    void waitForReadingReply();

    TForm1& f_;
    QByteArray startLine_;  // listing line 1
    QByteArray replyLine_;  // listing line 2
};

}  // namespace zelt
