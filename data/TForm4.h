#pragma once
// The statistics window "計算結果": six text lines with the statistics of the
// interval marked in the graph window, refreshed twice a second.
#include "data/Statistics.h"

#include <QWidget>

class QLabel;

namespace zelt {

class PeriodicTimer;

class TForm4 : public QWidget {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;  // start
    QLabel* Label2 = nullptr;  // end
    QLabel* Label7 = nullptr;  // mean
    QLabel* Label3 = nullptr;  // maximum
    QLabel* Label4 = nullptr;  // minimum
    QLabel* Label5 = nullptr;  // count
    QLabel* Label8 = nullptr;  // a note on the mean override, when it was not used
    PeriodicTimer* Timer1 = nullptr;

    // The marked interval's statistics, written by the graph window.
    IntervalStats intervalStats;
};

}  // namespace zelt
