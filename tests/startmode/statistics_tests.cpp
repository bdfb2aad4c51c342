// The statistics window: value lines in G beside the raw counts, and the
// refresh of its six labels from the interval statistics.
#include "data/Statistics.h"
#include "data/TForm4.h"
#include "tests/AppFixture.h"

#include <QLabel>
#include <climits>
#include <gtest/gtest.h>

namespace zelt::test {
namespace {

struct GCase {
    const char* format;
    int value;
    int countsPerG;
    const char* expected;
};

TEST(StatisticsLine, ValueInGWithSignWholeFractionAndRawCount)
{
    const GCase cases[] = {
        {kMaxLineFormat, 25, 10, "●最大値  :   2.500g    (25)dgt"},
        {kMinLineFormat, -7, 10, "●最小値  : - 0.700g    (-7)dgt"},
        {kMeanLineFormat, 0, 10, "●平均値  : - 0.000g    (0)dgt"},
        {kMaxLineFormat, 13, 5, "●最大値  :   2.600g    (13)dgt"},
        {kMaxLineFormat, -1234, 100, "●最大値  : -12.340g    (-1234)dgt"},
        {kMinLineFormat, 3, 2, "●最小値  :   1.500g    (3)dgt"},
        {kMeanLineFormat, 7, 1, "●平均値  :   7.000g    (7)dgt"},
        {kMaxLineFormat, 101, 50, "●最大値  :   2.020g    (101)dgt"},
    };
    for (const GCase& c : cases)
        EXPECT_EQ(gValueLine(c.format, c.value, c.countsPerG), QString::fromUtf8(c.expected))
            << c.value << " counts at " << c.countsPerG << " per G";
}

TEST(StatisticsLine, CountBelowOneReadsAsOneAndExtremesDoNotOverflow)
{
    EXPECT_EQ(gValueLine(kMaxLineFormat, 5, 0), QString::fromUtf8("●最大値  :   5.000g    (5)dgt"));
    EXPECT_EQ(gValueLine(kMaxLineFormat, -5, -10), QString::fromUtf8("●最大値  : - 5.000g    (-5)dgt"));
    EXPECT_EQ(gValueLine(kMinLineFormat, INT_MIN, 10),
              QString::fromUtf8("●最小値  : -214748364.800g    (-2147483648)dgt"));
}

TEST(StatisticsLine, SampleCount)
{
    EXPECT_EQ(sampleCountLine(0), QString::fromUtf8("●データ数  : 0個"));
    EXPECT_EQ(sampleCountLine(72020), QString::fromUtf8("●データ数  : 72020個"));
}

TEST(StatisticsWindow, TimerShowsTheIntervalInTheMainWindowsUnit)
{
    AppFixture tool;
    TForm1& f = tool.start();
    TForm4& w = tool.app->form4();
    f.countsPerG = 5;
    w.intervalStats.statsStartText = QStringLiteral("2024/01/05 12:00:00.000");
    w.intervalStats.statsEndText = QStringLiteral("2024/01/05 12:00:01.500");
    w.intervalStats.statsMax = 13;
    w.intervalStats.statsMin = -7;
    w.intervalStats.statsMean = 0;
    w.intervalStats.statsCount = 301;

    // The window is hidden: its labels follow all the same.
    ASSERT_FALSE(w.isVisible());
    ASSERT_TRUE(waitFor([&] { return w.Label5->text() == QString::fromUtf8("●データ数  : 301個"); }, 3000));
    EXPECT_EQ(w.Label1->text(), QStringLiteral("2024/01/05 12:00:00.000"));
    EXPECT_EQ(w.Label2->text(), QStringLiteral("2024/01/05 12:00:01.500"));
    EXPECT_EQ(w.Label3->text(), QString::fromUtf8("●最大値  :   2.600g    (13)dgt"));
    EXPECT_EQ(w.Label4->text(), QString::fromUtf8("●最小値  : - 1.400g    (-7)dgt"));
    EXPECT_EQ(w.Label7->text(), QString::fromUtf8("●平均値  : - 0.000g    (0)dgt"));

    // A new range and new values show at the next refresh.
    f.countsPerG = 10;
    w.intervalStats.statsMean = 25;
    ASSERT_TRUE(waitFor([&] { return w.Label7->text() == QString::fromUtf8("●平均値  :   2.500g    (25)dgt"); },
                        3000));
    EXPECT_EQ(w.Label4->text(), QString::fromUtf8("●最小値  : - 0.700g    (-7)dgt"));
}

}  // namespace
}  // namespace zelt::test
