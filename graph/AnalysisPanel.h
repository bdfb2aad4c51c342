#pragma once
// The analysis of an interval selected in the graph: per axis the maximum,
// minimum, mean, RMS, standard deviation, peak-to-peak and crest factor, the
// peak of the acceleration vector with its time, and for regular sampling
// the amplitude spectrum with each axis's dominant frequency.
#include "graph/GraphModel.h"
#include "graph/GraphPainter.h"

#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;
class QTableWidget;

namespace zelt {

// The spectrum drawn: amplitude against frequency, X Y Z in the graph's colours.
class SpectrumView : public QWidget {
public:
    explicit SpectrumView(QWidget* parent = nullptr);
    void setSpectra(const IntervalAnalysis& analysis, ValueUnit unit);
    QString note() const { return note_; }  // what is shown instead of a spectrum

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    IntervalAnalysis analysis_;
    ValueUnit unit_ = ValueUnit::G;
    QString note_;
};

class AnalysisPanel : public QWidget {
public:
    explicit AnalysisPanel(QWidget* owner);
    void showAnalysis(const IntervalAnalysis& analysis, const GraphSampleTable& table, ValueUnit unit);

    QLabel* Summary = nullptr;
    QTableWidget* Table = nullptr;
    SpectrumView* Spectrum = nullptr;
    QPushButton* SaveCsvButton = nullptr;
    std::function<void()> onSaveCsv;

private:
    // Sizes the columns so that every cell's text is whole.
    void fitColumns();
};

// A value in the unit: G as is, or m/s².
double inUnit(double g, ValueUnit unit);
QString unitText(ValueUnit unit);
// A frequency as a reader takes it in: Hz from 1 Hz up (with the decimals
// given), below that mHz and then µHz with three significant digits, so that
// a recording of one sample a minute reads "8.33 mHz", not "0.0 Hz".
QString frequencyText(double hz, int hzDecimals = 2);

}  // namespace zelt
