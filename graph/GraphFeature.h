#pragma once
// The graph window's behaviour: opening from the main window's "グラフ"
// button, parsing, time base, drawing, scrolling, trace switches, printing
// and the interval marker with its statistics.
#include "graph/GraphModel.h"
#include "graph/GraphPainter.h"

#include <QMargins>
#include <QObject>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QImage;
class QPainter;
class QPaintDevice;
class QWidget;

namespace zelt {

class AnalysisPanel;
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

// Where a panel of the graph window opens (its client geometry): inside the
// screen's area, clear of every one of the window's controls, and clear of
// the graph window itself where the screen has room beside, below or above
// it, at its preferred size or narrowed or shortened down to its minimum.
// Where it has no such room, it covers as little of the graph as it can and
// still none of its controls. All rectangles on the screen; frame is what
// the panel's window frame adds around its client area.
QRect panelPlace(QSize preferred, QSize minimum, const QRect& graphFrame, const std::vector<QRect>& controls,
                 const QRect& area, const QMargins& frame);

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

    // Zoom and scroll of the time axis. The time base list sets a zoom too;
    // a zoom that is no named time base shows the blank item with its
    // divisor in Edit8.
    void zoomAt(int x, int steps);  // steps > 0 in, < 0 out; the time at x stays at x
    void fitAll();                  // 全体: every sample in the window
    void scrollByPixels(int pixels);
    void scrollToEnd(bool last);    // Home: the first sample on the centre line, End: the last
    // The readout at the sample nearest to x; pinned ones stay put.
    void hoverAt(QPoint at);
    void pinAt(QPoint at);
    void unpin();
    // Selects the sample rows drawn between columns x1 and x2 (either order)
    // and shows their analysis.
    void selectColumns(int x1, int x2);
    void setUnit(ValueUnit unit);
    ValueUnit unit() const { return unit_; }
    // The picture as a file: "png", "svg" or "pdf", through the save dialog.
    void exportPicture(const QString& format);
    // The picture of the current view, as the window shows it, on a
    // painter of any device of the window's size.
    GraphFrame paintView(QPainter& painter, bool withTexts);
    // The selected rows written as a recording file (CP932, CR LF), through
    // the save dialog.
    void exportSelection();

    AnalysisPanel& analysisPanel() { return *panel_; }
    int selectionFirst() const { return selectionFirst_; }
    int selectionLast() const { return selectionLast_; }
    int pinnedRow() const { return pinnedRow_; }
    const GraphFrame& lastFrame() const { return frame_; }

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
    GraphView view() const;
    void applyTenths(std::int64_t tenths);  // the scale for tenths per pixel; the list follows
    void centreOnTime(std::int64_t timeMs);
    int sampleNear(int x) const;            // -1 when nothing is drawn
    void showReadout(int row, QPoint at);
    void refreshReadout();
    void updateAnalysis();
    void placePanel();
    bool mouseEvent(QEvent* event);
    int lineCount() const;
    void applyEdit8();  // timeDivisor from Edit8, or a conversion error

    TForm1& f1_;
    TForm2& f_;
    TForm4& f4_;
    std::unique_ptr<GraphPrinter> printer_;
    int lineLimit_ = kDefaultLineLimit;
    GraphFrame frame_;
    ValueUnit unit_ = ValueUnit::G;
    AnalysisPanel* panel_ = nullptr;
    int selectionFirst_ = -1;
    int selectionLast_ = -1;
    int pinnedRow_ = -1;
    QPoint readoutAt_;
    int readoutRow_ = -1;
    // A press on the graph: a click when released where it was, else a
    // drag that scrolls (left button) or selects (Shift, or right button).
    struct Press {
        bool active = false;
        QPoint at;
        bool select = false;
        bool dragging = false;
        std::int64_t centreTime = 0;
        std::int64_t tenths = 0;
    } press_;
};

}  // namespace zelt
