// The timer whose interval 0 means stopped, the error boundary, the clock.
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/ErrorBoundary.h"
#include "platform/PeriodicTimer.h"

#include <QSignalSpy>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace zelt;

namespace {

TEST(PeriodicTimer, IntervalZeroMeansStopped)
{
    PeriodicTimer timer(0);
    QSignalSpy spy(&timer, &PeriodicTimer::timeout);
    EXPECT_FALSE(timer.running());
    EXPECT_FALSE(spy.wait(150));  // a raw timer with 0 would have fired many times
    timer.setInterval(10);
    EXPECT_TRUE(timer.running());
    EXPECT_TRUE(spy.wait(1000));
    timer.setInterval(0);
    spy.clear();
    EXPECT_FALSE(timer.running());
    EXPECT_FALSE(spy.wait(100));
    EXPECT_EQ(spy.count(), 0);
}

TEST(ErrorBoundary, ErrorTextIsShownAndTheRestIsSkipped)
{
    ScriptedDialogs dialogs;
    bool after = false;
    guarded(dialogs, [&] {
        throw std::runtime_error("Cannot open COM3 (/dev/ttyUSB2): No such file or directory");
        after = true;  // NOLINT: must never run
    });
    EXPECT_FALSE(after);
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0], QStringLiteral("Cannot open COM3 (/dev/ttyUSB2): No such file or directory"));

    guarded(dialogs, [] { throw 42; });
    EXPECT_EQ(dialogs.messages.size(), 2);
    guarded(dialogs, [&] { after = true; });
    EXPECT_TRUE(after);
    EXPECT_EQ(dialogs.messages.size(), 2);
}

TEST(Clock, DayValuesAndText)
{
    const QDateTime t(QDate(2024, 1, 5), QTime(12, 34, 56));
    const double v = toDayValue(t);
    EXPECT_DOUBLE_EQ(v, 45296.0 + (12 * 3600 + 34 * 60 + 56) / 86400.0);  // 2024-01-05 is day 45296
    EXPECT_EQ(formatDayValue(v), QStringLiteral("2024/01/05 12:34:56"));
    EXPECT_EQ(fromDayValue(v + 12.0 / 86400.0), t.addSecs(12));
}

TEST(Dialogs, FiltersOfferBothCases)
{
    EXPECT_EQ(toQtFilter(QStringLiteral("CSV files (*.csv)|*.CSV")), QStringLiteral("CSV files (*.csv) (*.csv *.CSV)"));
    EXPECT_EQ(toQtFilter(QStringLiteral("text|*.csv")), QStringLiteral("text (*.csv *.CSV)"));
}

}  // namespace
