#pragma once
// The graph window's arithmetic without widgets: reading recording lines into
// the sample table, the time bases, the x mapping, the G labels of the value
// grid and the statistics of a marked interval.
#include "data/Statistics.h"
#include "platform/ByteLines.h"

#include <QByteArray>
#include <QSize>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace zelt {

// One row per line index of the line list (row index = line index).
struct GraphSampleTable {
    static constexpr int kRows = 72500;

    std::vector<QByteArray> timeText = std::vector<QByteArray>(kRows);  // "MM/DD hh:mm:ss.mmm"
    std::vector<std::int32_t> timeMs = std::vector<std::int32_t>(kRows);
    std::vector<std::int32_t> x = std::vector<std::int32_t>(kRows);
    std::vector<std::int32_t> y = std::vector<std::int32_t>(kRows);
    std::vector<std::int32_t> z = std::vector<std::int32_t>(kRows);
    std::vector<std::int32_t> temperature = std::vector<std::int32_t>(kRows);
    std::vector<std::int32_t> humidity = std::vector<std::int32_t>(kRows);  // 0 = no value
    // A line without the date and time layout is no sample: its row takes
    // the previous row's time and breaks the traces on both sides.
    std::vector<bool> sample = std::vector<bool>(kRows);

    int firstRow = 3;      // first sample row
    int lastRow = 2;       // last parsed row; below firstRow when there is none
    int backStepCount = 0; // samples earlier than the sample before them
    QString firstText;     // month/day hours:minutes:seconds of the first row
    QString lastText;      // the same of the last row

    bool hasRows() const { return lastRow >= firstRow; }
    bool parsed(int row) const { return row >= firstRow && row <= lastRow; }
};

// Leading blanks, an optional sign, then digits; reading stops at the first
// other character ("25.3" gives 25). No digits at all give 0.
int readWholeNumber(QByteArrayView text);

// Parses lines 3 .. count - 4 of lines into table (rows outside are zero).
void parseRecording(const ByteLines& lines, int count, GraphSampleTable& table);

// The counts per G named after "@1G=" in a recording's first line (up to
// three digits, so a range of 100 counts reads as 100), or current when the
// line names none, or no number above 0.
int countsPerGFromHeader(QByteArrayView line0, int current);

// A memo line as the line list takes it. A line with its comma at index 24
// is brought to the "hh:mm:ss.mmm," layout: a four-digit fraction of a
// second loses its last digit, and three-digit seconds of a capture listing
// are carried into the minutes and hours. Other lines stay as they are.
QByteArray graphRecordLine(QByteArrayView line);

// The time scale: a difference d in milliseconds is
// d * numerator / denominator / divisor pixels.
struct TimeScale {
    int numerator = 1;
    int denominator = 1;
    int divisor = 300;

    int pixels(std::int64_t d) const
    {
        return static_cast<int>(d * numerator / denominator / divisor);
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
void computeIntervalStats(const GraphSampleTable& table, int start, int end, int axis, const QString& meanOverride,
                          IntervalStats& stats);

// The printed size of an image of size (w, h) screen pixels on a device of
// dpiX, dpiY pixels per inch (screen = 96).
QSize printedSize(QSize image, int dpiX, int dpiY);

}  // namespace zelt
