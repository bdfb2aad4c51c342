#pragma once
// Draws a view of a recording onto any painter: the window, a printer page,
// an image, an SVG or a PDF file all go through paintGraph, so what is
// exported is what is seen. The window only decides the view.
#include "graph/GraphModel.h"

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <utility>
#include <vector>

class QPainter;

namespace zelt {

// Unit of the values shown: counts divided by counts per G, or that in
// metres per second squared.
enum class ValueUnit { G, MetresPerSecond2 };
constexpr double kStandardGravity = 9.80665;  // m/s² in 1 G

struct GraphView {
    QSize size{800, 550};
    int originX = 28;
    int originY = 275;
    TimeScale scale;
    int centreRow = 3;    // the scroll position: the sample on the centre line
    int lineCount = 0;    // lines of the line list that may be drawn
    int markerOffset = 0; // pixels right of the centre line; 0 = no interval
    bool traceX = true, traceY = true, traceZ = true;
    int countsPerG = 10;
    ValueUnit unit = ValueUnit::G;
    QColor highlight{0x33, 0x99, 0xFF};  // humidity trace
    QColor shadow{0, 0, 0};              // legend and time label texts
    QColor background;                   // filled first when valid (exports)
    // The colour the graph is painted on (the window's background) and the
    // palette's text colour: the colours drawn stay readable on it.
    QColor paper{0xEF, 0xEF, 0xEF};
    QColor ink{0, 0, 0};
    // The window's controls standing on the graph (the trace switches, the
    // centre time): the texts drawn keep clear of them and the grid's lines
    // stop at them.
    std::vector<QRect> keepClear;
    // An interval selected by dragging, first and last row; -1 = none.
    int selectionFirst = -1;
    int selectionLast = -1;
    // A sample pinned by the readout, drawn circled; -1 = none.
    int pinnedRow = -1;
    // Texts that the window shows in its labels, written by the paint only
    // where no label widget stands (an exported picture).
    std::vector<std::pair<QPoint, QString>> texts;
};

// What one paint found out.
struct GraphFrame {
    int centreX = 28;
    int centreY = 275;
    int startRow = -1;  // the backward pass's last row; -1 without rows
    int endRow = -1;    // the forward pass's last row
    int markerEnd = 0;  // the row where the marked interval ends; 0 = not found
    // The first and last sample row drawn in each pixel column 0 .. width
    // (-1 = none), for finding the sample under the mouse.
    std::vector<int> columnFirst;
    std::vector<int> columnLast;
    // Every text written, where it stands: none overlaps another, the axis
    // or a control kept clear, and no grid line runs through one.
    struct Label {
        QRect rect;
        QString text;
    };
    std::vector<Label> labels;
};

// Where the centre line stands in a window of this width: the middle
// division line, or the axis when the window has no middle division.
int centreLineX(int width, int originX);

// The grid label at v counts in the unit: "0.50G", or "-4.9m/s²".
QString valueLabel(int v, int countsPerG, ValueUnit unit);

GraphFrame paintGraph(QPainter& painter, const GraphSampleTable& table, const GraphView& view);

}  // namespace zelt
