#include "data/Statistics.h"

#include "data/TForm4.h"
#include "platform/PeriodicTimer.h"
#include "shell/SharedState.h"

#include <QLabel>
#include <cstdlib>

namespace zelt {

const char kMaxLineFormat[] = "●最大値  : %c%2d.%3sg    (%d)dgt";
const char kMinLineFormat[] = "●最小値  : %c%2d.%3sg    (%d)dgt";
const char kMeanLineFormat[] = "●平均値  : %c%2d.%3sg    (%d)dgt";

QString gValueLine(const char* format, int value, int countsPerG)
{
    // A count of 0 (or less) would divide by zero; 1 count per G is the
    // plain reading.
    const long long c = countsPerG < 1 ? 1 : countsPerG;
    const long long a = std::llabs(static_cast<long long>(value));
    const char sign = value <= 0 ? '-' : ' ';
    const int whole = static_cast<int>(a / c);
    const long long fraction = (a % c) * (1000 / c);
    const char digits[4] = {static_cast<char>('0' + fraction / 100 % 10), static_cast<char>('0' + fraction / 10 % 10),
                            static_cast<char>('0' + fraction % 10), '\0'};
    return QString::asprintf(format, sign, whole, digits, value);
}

QString sampleCountLine(int count)
{
    return QString::asprintf("●データ数  : %d個", count);
}

StatisticsFeature::StatisticsFeature(TForm4& form, const SharedState& shared) : QObject(&form), f_(form), shared_(shared)
{
    connect(f_.Timer1, &PeriodicTimer::timeout, this, [this] { Timer1Timer(); });
}

void StatisticsFeature::Timer1Timer()
{
    const IntervalStats& s = f_.intervalStats;
    const int c = shared_.countsPerG;
    f_.Label1->setText(s.statsStartText);
    f_.Label2->setText(s.statsEndText);
    f_.Label3->setText(gValueLine(kMaxLineFormat, s.statsMax, c));
    f_.Label4->setText(gValueLine(kMinLineFormat, s.statsMin, c));
    f_.Label7->setText(gValueLine(kMeanLineFormat, s.statsMean, c));
    f_.Label5->setText(sampleCountLine(s.statsCount));
    f_.Label8->setText(s.meanNote);
}

}  // namespace zelt
