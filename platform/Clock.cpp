#include "platform/Clock.h"

#include <cmath>

namespace zelt {
namespace {
std::function<QDateTime()>& clockHook()
{
    static std::function<QDateTime()> hook;
    return hook;
}
const QDate kEpoch(1899, 12, 30);
}  // namespace

QDateTime localNow()
{
    return clockHook() ? clockHook()() : QDateTime::currentDateTime();
}

void setClockForTests(std::function<QDateTime()> clock)
{
    clockHook() = std::move(clock);
}

double toDayValue(const QDateTime& t)
{
    const double days = static_cast<double>(kEpoch.daysTo(t.date()));
    return days + t.time().msecsSinceStartOfDay() / kMillisecondsPerDay;
}

QDateTime fromDayValue(double days)
{
    const double whole = std::floor(days);
    const qint64 ms = std::llround((days - whole) * kMillisecondsPerDay);
    return QDateTime(kEpoch.addDays(static_cast<qint64>(whole)), QTime(0, 0)).addMSecs(ms);
}

QString formatDayValue(double days)
{
    return fromDayValue(days).toString(QStringLiteral("yyyy/MM/dd hh:mm:ss"));
}

}  // namespace zelt
