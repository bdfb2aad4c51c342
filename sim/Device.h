#pragma once
// The logger's command interpreter: its settings, its stored recording and
// the answer it gives to each command. No I/O and no threads here; the
// Simulator feeds it the bytes that arrive on the line and sends back what it
// returns.
//
// Answers are zero or more text lines, each ended CR LF, then the end mark
// '#'. Line text never holds '#', '!' or '?'.
#include "sim/Records.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zelt::sim {

using SteadyTime = std::chrono::steady_clock::time_point;

// What the logger has configured. Every field shows up in the settings report.
struct Settings {
    std::string loggerNumber = "20240624";
    bool supportedModel = true;     // false: identifies as a model the tool does not handle
    // Options on the hazard line of the report ("Ox" "Oy" "Oz").
    int hazard = 5, gravity = 1, endless = 0;
    // Options on the second option line ("OX" "OY" "OZ").
    int hundredHz = 0, display = 1, df = 0;
    char buzzer = '0';              // "z0"/"z1"; '0' means the buzzer sounds
    std::string threshold = "15";   // "d15": 1.5 G
    int calX = 3, calY = -2, calZ = 1;  // "FX" "FY" "FZ"
    char samplingCode = '0';        // "i<c>", '0'..'9' 'A'..'F'
    char intervalCode = 'a';        // "j<c>", one of ABCDEJOT^abcdef
    std::string range = "02";       // "00" "01" "02" "10" "20" "50"
    std::string identity = "LOGGER 01";  // "Kw<text>\r"
    std::string lValue = "0";       // "L<digits>"
    int id = 42;                    // "Y<ddd>", 0..255
    char detection = '1';           // "k0"/"k1", '0' = threshold detection off
    std::string recValue = "0";     // "r<digits>"
    char started = '1';             // '0' asleep ("f"), '1' started ("o", "s...")
    std::string wait = "05";        // "w<dd>"
    std::string reservation;        // "l<mm/dd hh:mm>", empty when none
};

// One live reading ("n").
struct Reading {
    int x = 0, y = 0, z = 0;
    int tempTenths = 250;
};

enum class Silence { Off, NoEndMark, Nothing };
enum class Enquiry { Off, BetweenAnswers, MidLine };
enum class ErrorMode {
    None,
    ErrLine,        // every command is answered "ERR"
    NegativeCount,  // the report's record count is negative
    ShortLine,      // a report line too short for its fields
    NoEquals,       // a report line without its '='
    NoBlank,        // a report line without its blank
};
// Which of the two report dialects to send: "@D"/"@G" or "@d"/"@g".
enum class ReportForm { Long, Short };

// How the logger (mis)behaves on the line.
struct Behaviour {
    Silence silence = Silence::Off;
    bool noise = false;           // garbage lines and raw junk before each answer
    Enquiry enquiry = Enquiry::Off;
    int enquiryIntervalMs = 400;  // idle ENQ period while enquiring
    int answerDelayMs = 0;        // time before an answer starts
    // A slow start: the answers to the commands whose first character is
    // one of slowStartCommands (every command when empty) begin only after
    // slowStartMs, as a logger busy with its memory or its clock.
    int slowStartMs = 0;
    std::string slowStartCommands;
    // "C" and "G" answer only the later half of the records (those not yet
    // fetched), fewer than the report's count.
    bool partialRecall = false;
    int bytesPerSecond = 0;       // output rate limit, 0 = as fast as the line takes it
    ErrorMode error = ErrorMode::None;
    ReportForm form = ReportForm::Long;
    bool loaderError = false;     // the firmware loader rejects every line
    bool keepSettings = false;    // settings commands are answered "NG" and change nothing
    // The USB serial adapter's latency timer: bytes for the computer wait
    // until 62 are pending or the timer, running all the time with this
    // period in ms, next expires (0: handed on at once).
    int adapterLatencyMs = 0;
    // The adapter's event character (-1: none): when it has crossed the
    // line, the adapter hands on what it holds, up to and including it, at
    // once instead of at the timer's expiry.
    int adapterEventChar = -1;
    double streamSpeed = 1.0;     // sample stream speed, 1 = 200 samples per second
};

// What the logger has seen, for tests.
struct Observations {
    std::vector<std::string> commands;  // every command recognised, in order
    std::vector<SteadyTime> commandTimes;  // when each was taken, beside it
    std::string unknownBytes;           // bytes that matched no command
    int acks = 0;                       // ACK bytes received
    int enquiriesSent = 0;              // ENQ bytes sent
    int loaderLines = 0;                // firmware lines received in loader mode
    bool loaderMode = false;
    bool streaming = false;
    long long bytesDropped = 0;         // output thrown away while the port was closed
    int portOpenCount = -1;             // users of the port, -1 when unknown
    bool plugged = false;
};

constexpr char kEnq = 0x05;
constexpr char kAck = 0x06;
extern const char kLoaderEntry[5];      // 03 06 03 06 03
extern const char kIntervalCodes[];     // "ABCDEJOT^abcdef"

// Length of the normal-mode command starting at burst[pos], 0 if none does.
std::size_t commandLength(const std::string& burst, std::size_t pos);
// Splits a burst into normal-mode commands; unmatched bytes come out one by one.
std::vector<std::string> splitCommands(const std::string& burst);
// Interval code -> text such as "1sec" or "30min" ("" for an unknown code).
std::string intervalName(char code);
// The five-character temperature of a reading: "25.3C", "-3.5C", " 0.5C".
std::string temperatureText(int tempTenths);

class Device {
public:
    explicit Device(RecordingKind recording = RecordingKind::Default, std::uint32_t seed = 1);

    Settings& settings() { return settings_; }
    const Settings& settings() const { return settings_; }
    Behaviour& behaviour() { return behaviour_; }
    const Behaviour& behaviour() const { return behaviour_; }
    Observations& observations() { return obs_; }
    const Observations& observations() const { return obs_; }

    // Replaces the stored recording; the interval and sampling settings
    // follow it (they are what the recording was made with).
    void setRecording(RecordingKind kind, std::uint32_t seed = 1);
    const Recording& recording() const { return recording_; }

    // A fixed reading, or nullopt for the default gently varying one.
    void setReading(std::optional<Reading> reading) { reading_ = reading; }
    Reading readingAt(SteadyTime now) const;

    // Sets the logger's clock (civil time) as of now.
    void setClock(const DateTime& t, SteadyTime now);
    DateTime clockAt(SteadyTime now) const;

    // Interprets one burst of received bytes; returns the bytes to send.
    std::string receive(const std::string& burst, SteadyTime now);
    // How long the answer of the last burst waits before it starts (a slow start).
    int answerStartDelayMs() const { return startDelayMs_; }

    // Sample stream ("x" after "n"): when the next sample is due, and the
    // samples due up to now (at most maxSamples; the rest are skipped, as
    // samples are lost when nobody takes them).
    bool streaming() const { return streaming_; }
    // In loader mode, whether the received bytes are one whole firmware
    // record: the loader acts on a record's last byte, not on a pause.
    bool wholeRecordWaiting(const std::string& burst) const;
    void stopStream() { streaming_ = obs_.streaming = false; }
    SteadyTime nextSampleTime() const;
    std::string takeSamples(SteadyTime now, int maxSamples, bool deliver = true);

    // One ENQ byte, counted.
    std::string enquiry();

    // The texts the logger sends, without CR LF.
    std::string identificationLine() const;
    std::vector<std::string> reportLines() const;
    std::vector<std::string> readingLines(SteadyTime now) const;
    std::string clockLine(SteadyTime now) const;

private:
    std::string answer(const std::string& cmd, SteadyTime now);
    std::string loaderAnswer(const std::string& cmd, SteadyTime now);
    bool applySetting(const std::string& cmd, SteadyTime now);
    std::string render(const std::vector<std::string>& lines);
    std::string garbageLine();
    std::string rawJunk();
    std::uint64_t random();
    std::string sample(long long index, SteadyTime now) const;

    Settings settings_;
    Behaviour behaviour_;
    Observations obs_;
    Recording recording_;
    std::optional<Reading> reading_;
    SteadyTime origin_;
    long long clockMillis_ = 0;   // logger clock at clockSetAt_
    SteadyTime clockSetAt_;
    bool loader_ = false;
    bool streaming_ = false;
    SteadyTime streamStart_;
    long long streamIndex_ = 0;
    std::uint64_t rng_ = 0x5EED;
    int startDelayMs_ = 0;
};

}  // namespace zelt::sim
