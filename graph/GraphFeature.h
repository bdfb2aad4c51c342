#pragma once
// The graph window's behaviour: opening from the main window's "グラフ"
// button, parsing, time base, drawing, scrolling, trace switches, printing
// and the interval marker with its statistics.
#include "graph/GraphModel.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QImage;
class QPainter;
class QPaintDevice;
class QWidget;

namespace zelt {

class TForm1;
class TForm2;
class TForm4;

// The printer: a selection dialog and, once a printer is chosen, the page to
// paint on. Tests stand in for it.
class GraphPrinter {
public:
    virtual ~GraphPrinter() = default;
    // Shows the printer dialog; true when the user confirms.
    virtual bool choosePrinter(QWidget* owner) = 0;
    // Paints one document of one page through the painter given to draw.
    virtual void printPage(const std::function<void(QPainter&, QPaintDevice&)>& draw) = 0;
};

// The system's printer through the toolkit's print dialog.
std::unique_ptr<GraphPrinter> makeSystemPrinter();

class GraphFeature : public QObject {
public:
    GraphFeature(TForm1& main, TForm2& graph, TForm4& statistics);
    ~GraphFeature() override;

    // The feature joined to a graph window, if any.
    static GraphFeature* of(TForm2& graph);

    void Button12Click();  // main window "グラフ"
    void FormShow();
    void Button1Click();   // fill Memo1 from the line list
    void Button4Click();   // parse Memo1
    void ScrollBar1Change();
    void ComboBox1Change();
    void ComboBox2Change();
    void Edit8Return();    // Return in Edit8: apply the typed divisor
    void Button2Click();   // 印刷
    void FormPaint(QPainter& painter);
    void FormMouseDown(int x);
    void Edit1DblClick();
    void FormClose();

    void setPrinter(std::unique_ptr<GraphPrinter> printer) { printer_ = std::move(printer); }

    // The most lines an opening takes, a guard for memory only: it lies far
    // above a full download with a marker line before every record. An
    // opening that is cut says so.
    static constexpr int kDefaultLineLimit = 400000;
    void setLineLimit(int lines) { lineLimit_ = lines; }

    // View state
    int originX = 28;
    int originY = 390;
    int centreX = 0;
    int centreY = 0;
    int scaleNumerator = 1;
    int scaleDenominator = 1;
    int timeDivisor = 300;
    int backStepCount() const { return table.backStepCount; }

    // Interval state
    int markerOffset = 0;
    int markerStart = 0;
    int markerEnd = 0;
    int statsAxis = 0;

    GraphSampleTable table;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TimeScale scale() const { return TimeScale{scaleNumerator, scaleDenominator, timeDivisor}; }
    int lineCount() const;
    void applyEdit8();  // timeDivisor from Edit8, or a conversion error

    TForm1& f1_;
    TForm2& f_;
    TForm4& f4_;
    std::unique_ptr<GraphPrinter> printer_;
    int lineLimit_ = kDefaultLineLimit;
};

}  // namespace zelt
