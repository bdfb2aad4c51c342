#pragma once
// The state of the line to the logger that every exchange shares: the mode
// flags, the end-mark command queue, the receive line buffer, the record and
// capture tables and what the logger's reports set. No widget: the windows
// and the command-line tool both keep one. Flags are 32-bit integers holding
// 0 or 1; date-time values are days as doubles (see platform/Clock.h).
#include "link/FixedText.h"
#include "platform/ByteLines.h"

#include <QString>
#include <array>
#include <cstdint>
#include <vector>

namespace zelt {

using Flag = std::int32_t;

constexpr int kRecordCapacity = 72020;      // records one download holds
// A download that goes on past this many lines without an end mark is
// stopped: the logger holds kRecordCapacity records, so the rest is a line
// that keeps sending, and the table must not grow without bound.
constexpr int kRecordLimit = 4 * kRecordCapacity;
constexpr int kOnlineRowCapacity = 72020;   // rows of an online capture
constexpr int kOnlineRowSize = 20;          // characters per capture row
constexpr int kLineBufferSize = 128;        // receive line: 127 characters and the terminator

// The year of the data set's head line before the logger has reported one.
inline constexpr char kYearNotReported[] = "20XX";

// Recording-interval code letters by index, and the text of each index.
constexpr char kIntervalCodes[] = "ABCDEJOT^abcdef";
const char* intervalTextFor(int index);  // "???" outside 0..14

struct LinkState {
    // Connection and modes
    Flag linkUp = 0;
    Flag loggerReady = 0;
    Flag monitorMode = 0;
    Flag monitorStreamOpen = 0;
    Flag downloadActive = 0;
    std::int32_t onlineRow = 0;
    Flag firmwareSending = 0;
    Flag connectReportPending = 0;
    Flag fastSampling = 0;
    Flag thresholdDetect = 0;

    // Counts that make 1 G, from the logger's range
    std::int32_t countsPerG = 10;

    // End-mark command queue (sent in the order 1, 2, 3, one per end mark)
    FixedText<20> queuedCommand1;
    FixedText<5> queuedCommand2;
    FixedText<7> queuedCommand3;

    // The line being assembled by the receive dispatcher
    char lineBuffer[kLineBufferSize] = {};
    std::int32_t lineLength = 0;

    // Identification of the logger
    FixedText<12> loggerNumberText;
    std::int32_t loggerNumber = 0;

    // Downloaded records (raw lines, kept compactly) and their count. The
    // logger holds up to kRecordCapacity records; more are kept all the same.
    ByteLines recordLines;
    std::int32_t recordCount = 0;
    // The count of stored records the logger announced in its last '@C'
    // report; -1 when none came since the link was established.
    std::int32_t reportedRecordCount = -1;
    // Lines a download takes before it is stopped (kRecordLimit).
    std::int32_t recordLimit = kRecordLimit;
    std::int32_t decodedCount = 0;
    double transferStartTime = 0;

    // Online capture
    std::vector<std::array<char, kOnlineRowSize>> onlineBuffer =
        std::vector<std::array<char, kOnlineRowSize>>(kOnlineRowCapacity);
    std::int32_t onlineColumn = 0;
    std::int32_t onlineSampleCount = 0;
    QString captureStartText;
    QString captureEndText;

    // Recording interval
    FixedText<16> intervalCodes;  // 15 code letters
    std::int32_t intervalIndex = 0;
    QString intervalText;

    // Firmware transfer
    std::int32_t firmwareLineIndex = 0;
    std::int32_t firmwareLineCount = 0;

    // Empties the line buffer.
    void clearLine()
    {
        lineLength = 0;
        lineBuffer[0] = '\0';
    }
};

}  // namespace zelt
