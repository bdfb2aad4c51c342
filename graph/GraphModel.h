#pragma once
// The graph window's arithmetic without widgets: reading recording lines into
// the sample table, the time bases, the x mapping, the G labels of the value
// grid and the statistics of a marked interval.
#include "data/Statistics.h"
#include "platform/ByteLines.h"

#include <QByteArray>
#include <QLineF>
#include <QSize>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace zelt {

// One row per line index of the line list (row index = line index). The
// table grows with the recording: parsing sizes it from the line count.
struct GraphSampleTable {
    // Rows a table has before anything is parsed: the first sample row
    // exists, so the scroll position always names a row.
    static constexpr int kMinRows = 4;

    std::vector<QByteArray> timeText = std::vector<QByteArray>(kMinRows);  // "MM/DD hh:mm:ss.mmm"
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

    int firstRow = 3;      // first sample row
    int lastRow = 2;       // last parsed row; below firstRow when there is none
    int backStepCount = 0; // samples earlier than the sample before them
    QString firstText;     // month/day hours:minutes:seconds of the first row
    QString lastText;      // the same of the last row

    int rows() const { return static_cast<int>(timeMs.size()); }
    bool hasRows() const { return lastRow >= firstRow; }
    bool parsed(int row) const { return row >= firstRow && row <= lastRow; }
    bool isSample(int row) const { return parsed(row) && sample[row]; }
};

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

// The line piece from (x1, y1) to (x2, y2) cut to the columns left .. right,
// so that far-away end points (a fine time base over a long recording) stay
// within what a painter can draw. Nothing when the piece lies outside.
std::optional<QLineF> clipPiece(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2, int left,
                                int right);

}  // namespace zelt
