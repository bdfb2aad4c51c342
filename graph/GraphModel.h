#pragma once
// The graph window's arithmetic without widgets: reading recording lines into
// the sample table, the time bases, the x mapping, the G labels of the value
// grid and the statistics of a marked interval.
#include "data/Statistics.h"
#include "graph/Analysis.h"
#include "platform/ByteLines.h"

#include <QByteArray>
#include <QSize>
#include <QString>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace zelt {

// One row per line index of the line list (row index = line index). The
// table grows with the recording: parsing sizes it from the line count.
struct GraphSampleTable {
    // Rows a table has before anything is parsed: the first sample row
    // exists, so the scroll position always names a row.
    static constexpr int kMinRows = 4;

    // The lines parsed, shared with the list they came from (no copy of
    // their bytes); the time texts are read from them.
    ByteLines lines;
    // Milliseconds from the first sample's midnight; 64 bits, since the
    // logger's full memory spans weeks.
    std::vector<std::int64_t> timeMs = std::vector<std::int64_t>(kMinRows);
    std::vector<std::int32_t> x = std::vector<std::int32_t>(kMinRows);
    std::vector<std::int32_t> y = std::vector<std::int32_t>(kMinRows);
    std::vector<std::int32_t> z = std::vector<std::int32_t>(kMinRows);
    std::vector<std::int32_t> temperature = std::vector<std::int32_t>(kMinRows);
    std::vector<std::int32_t> humidity = std::vector<std::int32_t>(kMinRows);  // 0 = no value
    // A line without the date and time layout (a marker line such as
    // "//Irregular Record //", a bad record) is no sample: its row takes the
    // previous sample's time and is skipped when the traces are drawn, which
    // join the samples on either side of it.
    std::vector<bool> sample = std::vector<bool>(kMinRows);
    // The nearest sample row after and before each row (-1: none).
    std::vector<int> nextSample = std::vector<int>(kMinRows, -1);
    std::vector<int> previousSample = std::vector<int>(kMinRows, -1);

    // A summary of each run of kBlockRows rows (block b: rows b * kBlockRows
    // onwards), so that a frame in which a whole block falls into one pixel
    // column takes its lowest and highest values at once instead of row by
    // row. Only a clean block is taken so: every row a sample, time never
    // running back nor jumping by a trace-breaking gap inside it, and the
    // humidity present in all its rows or in none.
    static constexpr int kBlockRows = 16;
    struct Block {
        std::int32_t low[5];   // temperature, humidity, x, y, z
        std::int32_t high[5];
        bool clean = false;
        bool humidity = false;          // every row has a humidity value
        std::int64_t longestStepMs = 0;  // between its rows
    };
    std::vector<Block> blocks;

    int firstRow = 3;      // first sample row
    int lastRow = 2;       // last parsed row; below firstRow when there is none
    int backStepCount = 0; // samples earlier than the sample before them
    QString firstText;     // month/day hours:minutes:seconds of the first row
    QString lastText;      // the same of the last row

    int rows() const { return static_cast<int>(timeMs.size()); }
    // "MM/DD hh:mm:ss.mmm" of a sample row; empty for any other row.
    QByteArray timeText(int row) const;
    bool hasRows() const { return lastRow >= firstRow; }
    bool parsed(int row) const { return row >= firstRow && row <= lastRow; }
    bool isSample(int row) const { return parsed(row) && sample[row]; }
};

// The sample row whose time lies nearest to timeMs, the earliest row on a
// tie; -1 without samples. A binary search while time only runs forward.
int nearestSample(const GraphSampleTable& table, std::int64_t timeMs);

// The rows of the earliest and the latest sample time; {-1, -1} without samples.
std::pair<int, int> sampleTimeExtremes(const GraphSampleTable& table);

// A longer step between two samples breaks the traces.
constexpr std::int64_t kTraceGapMs = 1800001;

// Leading blanks, an optional sign, then digits; reading stops at the first
// other character ("25.3" gives 25). No digits at all give 0.
int readWholeNumber(QByteArrayView text);

// Parses lines 3 .. count - 4 of lines into table (rows outside are zero);
// the table gets at least count rows.
void parseRecording(const ByteLines& lines, int count, GraphSampleTable& table);

// The counts per G named after "@1G=" in a recording's first line (up to
// three digits, so a range of 100 counts reads as 100), or current when the
// line names none, or no number above 0.
int countsPerGFromHeader(QByteArrayView line0, int current);

// A memo line as the line list takes it. A line with its comma at index 24
// is brought to the "hh:mm:ss.mmm," layout: a four-digit fraction of a
// second loses the character at index 22 (its third digit), and three-digit
// seconds of a capture listing are carried into the minutes and hours. Other
// lines stay as they are.
QByteArray graphRecordLine(QByteArrayView line);
// Whether graphRecordLine changes the line.
bool needsGraphRewrite(QByteArrayView line);

// The time scale: a difference d in milliseconds is
// d * numerator / denominator / divisor pixels.
struct TimeScale {
    int numerator = 1;
    int denominator = 1;
    int divisor = 300;

    std::int64_t pixels(std::int64_t d) const
    {
        return d * numerator / denominator / divisor;
    }
};

// What an item of the time-base list sets: the value whose fortieth part is
// the divisor, and the factor. The blank item sets nothing.
struct TimeBaseItem {
    int value;
    int numerator;
    int denominator;
};
std::optional<TimeBaseItem> timeBaseItem(const QString& item);

// Label of the value grid line at v counts: "10G", "0.50G", "-0.10G", ...
QString gLabel(int v, int countsPerG);
// Temperature label at v counts: "-v℃".
QString temperatureLabel(int v);

// Statistics of rows start .. end - 1 on axis (0 X, 1 Y, 2 Z, other X), with
// the mean override text ("VOID" = none). Rows that are no sample are left
// out. Without a sample the mean becomes 0 and the rest stays as it was.
// An override that is no whole number is not used; stats.meanNote then says
// so (it is empty otherwise).
void computeIntervalStats(const GraphSampleTable& table, int start, int end, int axis, const QString& meanOverride,
                          IntervalStats& stats);

// The printed size of an image of size (w, h) screen pixels on a device of
// dpiX, dpiY pixels per inch (screen = 96): its physical size, or, when that
// is larger than the page, scaled down (keeping its proportions) to fit the
// page. An empty page sets no limit.
QSize printedSize(QSize image, int dpiX, int dpiY, QSize page = QSize());

// The analysis of the sample rows first .. last of a table, in G.
struct IntervalAnalysis {
    int firstRow = -1, lastRow = -1;  // the first and last sample in the interval
    std::size_t count = 0;            // samples
    SeriesStats axis[3];              // X, Y, Z
    double peakMagnitude = 0;         // largest sqrt(x² + y² + z²)
    int peakMagnitudeRow = -1;
    // The sampling interval when the samples are regular (a capture at
    // 5 ms, a recording at its interval), else none: no spectrum then.
    std::optional<double> intervalSeconds;
    Spectrum spectrum[3];
};
IntervalAnalysis analyseInterval(const GraphSampleTable& table, int first, int last, int countsPerG);

}  // namespace zelt
