// The graph window's arithmetic on its own: parsing, time bases, labels and
// interval statistics.
#include "graph/GraphModel.h"

#include <gtest/gtest.h>

using namespace zelt;

namespace {

// A recording: header lines 0..2, the sample lines, then three closing lines.
ByteLines recording(const std::vector<QByteArray>& samples)
{
    ByteLines lines;
    lines.append("Start Year=2024 @1G=10");
    lines.append("date time,x(G),y(G),z(G),temperature(C)");
    lines.append("OK");
    for (const QByteArray& s : samples)
        lines.append(s);
    lines.append("end1");
    lines.append("end2");
    lines.append("end3");
    return lines;
}

struct Parsed {
    ByteLines lines;
    std::unique_ptr<GraphSampleTable> table = std::make_unique<GraphSampleTable>();
    explicit Parsed(const std::vector<QByteArray>& samples) : lines(recording(samples))
    {
        parseRecording(lines, lines.size(), *table);
    }
};

}  // namespace

TEST(GraphReading, WholeNumbers)
{
    const struct {
        const char* text;
        int value;
    } rows[] = {{"25.3", 25}, {"  -7", -7}, {"+12x", 12}, {"", 0}, {"abc", 0}, {" 0099", 99}, {"-", 0}};
    for (const auto& row : rows)
        EXPECT_EQ(readWholeNumber(row.text), row.value) << row.text;
}

TEST(GraphParsing, SampleRowFieldsAndLabels)
{
    Parsed p({"2024/06/24 09:00:00.000,  2, -1,  3, 21.3", "2024/06/24 09:00:01.250,-15,100, -3, -4.7, 55"});
    const GraphSampleTable& t = *p.table;
    EXPECT_EQ(t.firstRow, 3);
    EXPECT_EQ(t.lastRow, 4);
    EXPECT_EQ(t.timeText(3), QByteArray("06/24 09:00:00.000"));
    EXPECT_EQ(t.timeMs[3], 9 * 3600000);
    EXPECT_EQ(t.timeMs[4], 9 * 3600000 + 1250);
    EXPECT_EQ((std::vector<int>{t.x[3], t.y[3], t.z[3], t.temperature[3], t.humidity[3]}),
              (std::vector<int>{2, -1, 3, 21, 0}));
    EXPECT_EQ((std::vector<int>{t.x[4], t.y[4], t.z[4], t.temperature[4], t.humidity[4]}),
              (std::vector<int>{-15, 100, -3, -4, 55}));
    EXPECT_EQ(t.firstText, QStringLiteral("06/24 09:00:00"));
    EXPECT_EQ(t.lastText, QStringLiteral("06/24 09:00:01"));
    // Rows outside the sample lines stay zero.
    EXPECT_EQ(t.timeMs[5], 0);
    EXPECT_FALSE(t.sample[5]);
}

TEST(GraphParsing, DayChangesAddOneDayWhateverTheGap)
{
    const struct {
        const char* second;
        std::int32_t expected;
    } rows[] = {
        {"2024/06/25 00:00:01.000, 0, 0, 0, 20.0", 86400000 + 1000},     // over midnight
        {"2024/06/29 00:00:01.000, 0, 0, 0, 20.0", 86400000 + 1000},     // several days later
        {"2024/06/24 23:59:59.500, 0, 0, 0, 20.0", 86399500},            // same day
    };
    for (const auto& row : rows) {
        Parsed p({"2024/06/24 23:59:59.000, 0, 0, 0, 20.0", row.second});
        EXPECT_EQ(p.table->timeMs[4], row.expected) << row.second;
        EXPECT_EQ(p.table->backStepCount, 0);
    }
}

TEST(GraphParsing, BackStepsAreCounted)
{
    Parsed p({"2024/06/24 09:00:02.000, 0, 0, 0, 20", "2024/06/24 09:00:01.000, 0, 0, 0, 20",
              "2024/06/24 09:00:03.000, 0, 0, 0, 20", "2024/06/24 09:00:00.000, 0, 0, 0, 20"});
    EXPECT_EQ(p.table->backStepCount, 2);
}

TEST(GraphParsing, ShortAndForeignLinesAreNoSamples)
{
    // Lines shorter than the positions read, or without the time layout,
    // neither crash nor invent values: they take the previous time.
    Parsed p({"2024/06/24 09:00:00.000,  5, 6, 7, 20", "//Bad Record: 67090G3401FF041500 //", "2024/06",
              "2024/06/24 09:00:01.000,  1"});
    const GraphSampleTable& t = *p.table;
    EXPECT_FALSE(t.sample[4]);
    EXPECT_FALSE(t.sample[5]);
    EXPECT_EQ(t.timeMs[4], 9 * 3600000);
    EXPECT_EQ(t.x[4], 0);
    EXPECT_TRUE(t.sample[6]);
    EXPECT_EQ((std::vector<int>{t.x[6], t.y[6], t.z[6], t.temperature[6]}), (std::vector<int>{1, 0, 0, 0}));
    EXPECT_EQ(t.backStepCount, 0);
}

TEST(GraphParsing, FewerThanSevenLinesGiveNoRows)
{
    for (int n = 0; n <= 6; ++n) {
        ByteLines lines;
        for (int i = 0; i < n; ++i)
            lines.append("2024/06/24 09:00:00.000, 1, 1, 1, 20");
        GraphSampleTable t;
        parseRecording(lines, n, t);
        EXPECT_EQ(t.hasRows(), n == 7) << n;
    }
    ByteLines seven = recording({"2024/06/24 09:00:00.000, 1, 1, 1, 20"});
    GraphSampleTable t;
    parseRecording(seven, seven.size(), t);
    EXPECT_TRUE(t.hasRows());
    EXPECT_EQ(t.lastRow, 3);
}

TEST(GraphOpening, CountsPerGFromHeader)
{
    const struct {
        const char* line;
        int expected;
    } rows[] = {{"Start Year=2024 @1G=10", 10},   {"Start Year=2024 @1G=100", 100}, {"Start Year=2024 @1G=5", 5},
                {"Start Year=2024", 7},           {"Start Time=2024/06/24 09:00:00 @1G=50", 7},
                {"Start Year=2024 @1G=", 7},      {"Start Year=2024 @1G=00", 7},   {"Start @1G=50", 50}};
    for (const auto& row : rows)
        EXPECT_EQ(countsPerGFromHeader(row.line, 7), row.expected) << row.line;
}

TEST(GraphOpening, RecordLinesTakeTheThreeDigitLayout)
{
    const struct {
        const char* in;
        const char* out;
    } rows[] = {
        {"2024/06/24 09:00:00.000,  1", "2024/06/24 09:00:00.000,  1"},
        {"2024/06/24 09:00:125.005,  1,  2,  3, 21.3", "2024/06/24 09:02:05.005,  1,  2,  3, 21.3"},
        {"2024/06/24 09:58:360.000,  1", "2024/06/24 10:04:00.000,  1"},
        {"2024/06/24 23:59:100.000,  1", "2024/06/24 24:00:40.000,  1"},
        {"//Bad Sample: 0123456789,  1", "//Bad Sample: 0123456789,  1"},
        {"short", "short"},
        {"", ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(graphRecordLine(row.in), QByteArray(row.out)) << row.in;
    // A capture line carried past midnight keeps the time running on.
    Parsed p({graphRecordLine("2024/06/24 23:59:099.995,  1"), graphRecordLine("2024/06/24 23:59:100.000,  1")});
    EXPECT_EQ(p.table->timeMs[4] - p.table->timeMs[3], 5);
}

TEST(GraphOpening, FourDigitFractionLosesTheCharacterAtIndex22)
{
    // Comma at index 24: the character at index 22 goes, the comma comes to
    // index 23 and the rest of the line is kept.
    const struct {
        const char* in;
        const char* out;
    } rows[] = {
        {"2024/06/24 09:00:00.1234,  1", "2024/06/24 09:00:00.124,  1"},
        {"2024/06/24 23:59:59.9876, -5, 12,  0, 21.3, 55", "2024/06/24 23:59:59.986, -5, 12,  0, 21.3, 55"},
        {"\x81" "024/06/24 09:00:01.0500,  1", "\x81" "024/06/24 09:00:01.050,  1"},
        {"2024/06/24 09:00:00.0009,", "2024/06/24 09:00:00.009,"},
    };
    for (const auto& row : rows) {
        const QByteArray out = graphRecordLine(row.in);
        EXPECT_EQ(out, QByteArray(row.out)) << row.in;
        EXPECT_EQ(out.indexOf(','), 23) << row.in;
    }
    // The line as the graph reads it: the milliseconds are the three digits
    // left at indexes 20 to 22.
    Parsed p({graphRecordLine("2024/06/24 09:00:00.1234,  1")});
    EXPECT_EQ(p.table->timeMs[3], 9 * 3600000 + 124);
}

TEST(GraphParsing, TimesPastTwentyFiveDaysKeepTheirOrder)
{
    // One sample a day at noon for 40 days: every day change adds one day,
    // and from the 25th day on the times no longer fit 32 bits.
    std::vector<QByteArray> samples;
    for (int d = 0; d < 40; ++d)
        samples.push_back(QStringLiteral("2024/%1/%2 12:00:00.000, %3, 0, 0, 20")
                              .arg(d < 30 ? 6 : 7, 2, 10, QLatin1Char('0'))
                              .arg(d < 30 ? d + 1 : d - 29, 2, 10, QLatin1Char('0'))
                              .arg(d)
                              .toLatin1());
    Parsed p(samples);
    const GraphSampleTable& t = *p.table;
    for (int d = 0; d < 40; ++d)
        EXPECT_EQ(t.timeMs[3 + d], 12 * 3600000LL + d * 86400000LL) << d;
    EXPECT_EQ(t.backStepCount, 0);
    // The x mapping stays linear far beyond 2^31 milliseconds and pixels.
    const TimeScale fine{100, 10, 2};  // 0.01 s base: 5 pixels per millisecond
    EXPECT_EQ(fine.pixels(t.timeMs[42] - t.timeMs[3]), 39 * 86400000LL * 5);
    const TimeScale day{1, 10, 216000};
    EXPECT_EQ(day.pixels(t.timeMs[42] - t.timeMs[3]), 39 * 40);
}

TEST(GraphParsing, MarkerLinesArePassedOverBetweenSamples)
{
    // After the first irregular record each record follows a marker line; a
    // record whose time ran backwards begins with 0x81 and is still a sample.
    const QByteArray marker = "//\x81\xAB" "Irregular Record //";
    Parsed p({"2024/06/24 09:00:00.000,  1, 0, 0, 20", marker, "2024/06/24 09:00:02.000,  2, 0, 0, 20", marker,
              "\x81" "024/06/24 09:00:01.000,  3, 0, 0, 20", "//Bad Record: 67090G3401FF041500 //", marker,
              "2024/06/24 09:00:03.000,  4, 0, 0, 20"});
    const GraphSampleTable& t = *p.table;
    const std::vector<bool> sample{t.sample.begin() + 3, t.sample.begin() + 11};
    EXPECT_EQ(sample, (std::vector<bool>{true, false, true, false, true, false, false, true}));
    EXPECT_EQ(t.x[7], 3);
    EXPECT_EQ(t.timeMs[7], 9 * 3600000 + 1000);
    EXPECT_EQ(t.backStepCount, 1);
    const std::vector<int> next{t.nextSample.begin() + 3, t.nextSample.begin() + 11};
    const std::vector<int> previous{t.previousSample.begin() + 3, t.previousSample.begin() + 11};
    EXPECT_EQ(next, (std::vector<int>{5, 5, 7, 7, 10, 10, 10, -1}));
    EXPECT_EQ(previous, (std::vector<int>{-1, 3, 3, 5, 5, 7, 7, 7}));
}

TEST(GraphParsing, TableGrowsWithTheLineCount)
{
    // A full download with a marker line before every record: about twice
    // the logger's 72,020 records.
    std::vector<QByteArray> samples;
    for (int i = 0; i < 72020; ++i) {
        samples.push_back("//\x81\xAB" "Irregular Record //");
        samples.push_back(QStringLiteral("2024/06/24 %1:%2:%3.000, %4, 0, 0, 20")
                              .arg(i / 3600 % 24, 2, 10, QLatin1Char('0'))
                              .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                              .arg(i % 60, 2, 10, QLatin1Char('0'))
                              .arg(i % 7)
                              .toLatin1());
    }
    Parsed p(samples);
    const GraphSampleTable& t = *p.table;
    EXPECT_GE(t.rows(), p.lines.size());
    EXPECT_EQ(t.lastRow, 3 + 2 * 72020 - 1);
    EXPECT_TRUE(t.isSample(t.lastRow));
    EXPECT_EQ(t.x[t.lastRow], 72019 % 7);
    EXPECT_EQ(t.lastText, QStringLiteral("06/24 20:00:19"));
}

TEST(GraphTimeBase, ItemsAndDivisions)
{
    const struct {
        const char* item;
        int divisor;
        int numerator;
        int msPerDivision;
    } rows[] = {{"0.01秒", 2, 100, 8},        {"0.1秒", 25, 100, 100},     {"秒", 250, 100, 1000},
                {"10秒", 25, 1, 10000},       {"分", 150, 1, 60000},       {"時間", 9000, 1, 3600000},
                {"日", 216000, 1, 86400000}};
    for (const auto& row : rows) {
        const auto item = timeBaseItem(QString::fromUtf8(row.item));
        ASSERT_TRUE(item) << row.item;
        const TimeScale scale{item->numerator, item->denominator, item->value / 40};
        EXPECT_EQ(scale.divisor, row.divisor) << row.item;
        EXPECT_EQ(scale.numerator, row.numerator) << row.item;
        EXPECT_EQ(scale.pixels(row.msPerDivision), 40) << row.item;
        EXPECT_LT(scale.pixels(row.msPerDivision - 1), 40) << row.item;
    }
    EXPECT_FALSE(timeBaseItem(QStringLiteral(" ")));
    // Before any item is chosen: 12 s per division.
    EXPECT_EQ(TimeScale{}.pixels(12000), 40);
    EXPECT_EQ(TimeScale{}.pixels(-12000), -40);
}

TEST(GraphLabels, GLabels)
{
    const struct {
        int v;
        int s;
        const char* label;
    } rows[] = {{-100, 10, "10G"},   {-10, 10, "1G"},      {0, 10, "0G"},         {100, 10, "-10G"},
                {-100, 100, "1.0G"}, {-90, 100, "0.90G"},  {-50, 100, "0.50G"},   {-10, 100, "0.10G"},
                {0, 100, "0.0G"},    {10, 100, "-0.10G"},  {90, 100, "-0.90G"},   {100, 100, "-1.0G"},
                {-100, 50, "2.0G"},  {-10, 50, "0.20G"},   {30, 50, "-0.60G"},    {-40, 2, "20G"},
                {-30, 0, "30G"}};
    for (const auto& row : rows)
        EXPECT_EQ(gLabel(row.v, row.s), QString::fromUtf8(row.label)) << row.v << " " << row.s;
    EXPECT_EQ(temperatureLabel(-40), QString::fromUtf8("40℃"));
    EXPECT_EQ(temperatureLabel(20), QString::fromUtf8("-20℃"));
}

TEST(GraphStatistics, IntervalStatistics)
{
    Parsed p({"2024/06/24 09:00:00.000,  4, 10, -3, 20", "2024/06/24 09:00:01.000, -7, 11, -9, 20",
              "2024/06/24 09:00:02.000,  2, 12, -1, 20", "//Irregular//",
              "2024/06/24 09:00:03.000,  9, 19, -2, 20"});
    const struct {
        int start, end, axis;
        const char* override;
        int max, min, mean, count;
    } rows[] = {
        {4, 5, 0, "VOID", -7, -7, -7, 1},   // one row
        {3, 6, 0, "VOID", 4, -7, 0, 3},     // (4 - 7 + 2) / 3 = -0.33 -> 0
        {3, 6, 1, "VOID", 12, 10, 11, 3},
        {3, 8, 2, "VOID", -1, -9, -3, 4},   // the foreign line is left out
        {3, 6, 7, "VOID", 4, -7, 0, 3},     // any other axis is X
        {3, 6, 1, "5", 12, 10, 5, 3},       // the mean fixed by the user
        {3, 6, 1, "-19", 12, 10, -19, 3},
        {3, 6, 1, "20", 12, 10, 11, 3},     // out of range: ignored
        {3, 6, 1, "x", 12, 10, 11, 3},      // not a number: ignored (and said, below)
    };
    for (const auto& row : rows) {
        IntervalStats s;
        computeIntervalStats(*p.table, row.start, row.end, row.axis, QString::fromUtf8(row.override), s);
        EXPECT_EQ((std::vector<int>{s.statsMax, s.statsMin, s.statsMean, s.statsCount}),
                  (std::vector<int>{row.max, row.min, row.mean, row.count}))
            << row.start << ".." << row.end << " axis " << row.axis << " " << row.override;
    }
}

TEST(GraphStatistics, AMeanOverrideThatIsNoNumberIsSaid)
{
    Parsed p({"2024/06/24 09:00:00.000,  4, 10, -3, 20"});
    const struct {
        const char* override;
        bool noted;
    } rows[] = {{"VOID", false}, {"5", false}, {" -3 ", false}, {"40", false},
                {"abc", true},   {"1.5", true}, {"", true},     {"void", true}};
    for (const auto& row : rows) {
        IntervalStats s;
        computeIntervalStats(*p.table, 3, 4, 0, QString::fromUtf8(row.override), s);
        EXPECT_EQ(!s.meanNote.isEmpty(), row.noted) << row.override;
        if (row.noted) {
            EXPECT_TRUE(s.meanNote.contains(QStringLiteral("\"%1\"").arg(QString::fromUtf8(row.override))))
                << s.meanNote.toStdString();
        }
    }
}

TEST(GraphStatistics, EmptyIntervalKeepsMaxMinCount)
{
    Parsed p({"2024/06/24 09:00:00.000,  4, 10, -3, 20"});
    for (const auto& range : {std::pair{3, 3}, std::pair{3, 0}, std::pair{5, 4}}) {
        IntervalStats s;
        s.statsMax = 8;
        s.statsMin = -8;
        s.statsMean = 3;
        s.statsCount = 12;
        computeIntervalStats(*p.table, range.first, range.second, 0, QStringLiteral("5"), s);
        EXPECT_EQ((std::vector<int>{s.statsMax, s.statsMin, s.statsMean, s.statsCount}),
                  (std::vector<int>{8, -8, 0, 12}));
    }
}

TEST(GraphPrinting, PrintedSizeKeepsPhysicalSize)
{
    EXPECT_EQ(printedSize(QSize(800, 550), 96, 96), QSize(800, 550));
    EXPECT_EQ(printedSize(QSize(800, 550), 600, 300), QSize(5000, 1718));
}

TEST(GraphPrinting, PrintedSizeFitsThePage)
{
    const struct {
        QSize page;
        QSize printed;
    } rows[] = {
        {QSize(1600, 1100), QSize(1600, 1100)},  // exactly the page: physical size
        {QSize(4000, 3000), QSize(1600, 1100)},  // room to spare: physical size
        {QSize(1000, 3000), QSize(1000, 687)},   // too wide: the width decides
        {QSize(3000, 550), QSize(800, 550)},     // too high: the height decides
        {QSize(1000, 600), QSize(872, 600)},     // both too large: the tighter one
        {QSize(), QSize(1600, 1100)},            // no page size known
    };
    for (const auto& row : rows)
        EXPECT_EQ(printedSize(QSize(800, 550), 192, 192, row.page), row.printed) << row.page.width() << "x"
                                                                                << row.page.height();
}
