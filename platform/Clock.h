#pragma once
// Local date and time as the tool keeps them: a double of days since
// 1899-12-30 (whole days plus the fraction of the day), and the text form
// "yyyy/mm/dd hh:mm:ss". Tests may replace the clock.
#include <QDateTime>
#include <QString>
#include <functional>

namespace zelt {

QDateTime localNow();
// Replaces the clock (nullptr restores the system clock).
void setClockForTests(std::function<QDateTime()> clock);

double toDayValue(const QDateTime& t);
QDateTime fromDayValue(double days);
QString formatDayValue(double days);  // "yyyy/mm/dd hh:mm:ss"

constexpr double kMillisecondsPerDay = 86400000.0;

}  // namespace zelt
