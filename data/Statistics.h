#pragma once
// The statistics window's refresh: the marked interval's start and end, its
// maximum, minimum and mean in G with the raw counts beside them, and the
// number of samples, printed twice a second.
#include <QObject>
#include <QString>

namespace zelt {

struct SharedState;
class TForm4;

// The statistics of the interval marked in the graph window, in raw counts.
// The graph window writes them; the statistics window only reads them.
struct IntervalStats {
    QString statsStartText;
    QString statsEndText;
    int statsMax = 0;
    int statsMin = 0;
    int statsMean = 0;
    int statsCount = 0;
    // Why the mean override was not used (a text that is no whole number);
    // empty when there is nothing to say.
    QString meanNote;
};

// Line formats of the three values: sign, whole G, three fraction digits,
// then the raw value.
extern const char kMaxLineFormat[];
extern const char kMinLineFormat[];
extern const char kMeanLineFormat[];

// One value line: format filled with the sign character ('-' for zero and
// below, a blank above), |v| div c, the three digits of (|v| mod c) x
// (1000 div c), and v itself. A count below 1 is taken as 1.
QString gValueLine(const char* format, int value, int countsPerG);

// The count line "●データ数  : n個".
QString sampleCountLine(int count);

class StatisticsFeature : public QObject {
public:
    // Refreshes the window's labels on every tick of its timer, from the
    // window's interval statistics and the main window's counts per G.
    StatisticsFeature(TForm4& form, const SharedState& shared);

    void Timer1Timer();

private:
    TForm4& f_;
    const SharedState& shared_;
};

}  // namespace zelt
