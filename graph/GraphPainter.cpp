#include "graph/GraphPainter.h"

#include "graph/PlotMath.h"
#include "platform/Readable.h"

#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QStaticText>
#include <QPainter>
#include <QLine>
#include <QVector>
#include <algorithm>
#include <cstdlib>

namespace zelt {

namespace {


// The grid's labels and lines in the desktop's "grey text" colour: a mid
// grey that reads well on the window's light background.
const QColor kGridGray(109, 109, 109);
const QColor kGrey(0x80, 0x80, 0x80);
const QColor kSilver(0xC0, 0xC0, 0xC0);
const QColor kMagenta(0xFF, 0x00, 0xFF);
const QColor kBlue(0x00, 0x00, 0xFF);
const QColor kGreen(0x00, 0x80, 0x00);
const QColor kRed(0xFF, 0x00, 0x00);
const QColor kLime(0x00, 0xFF, 0x00);

const QFont& graphFont()
{
    static const QFont font = [] {
        QFont f(QStringLiteral("ＭＳ Ｐゴシック"));
        f.setPixelSize(12);
        return f;
    }();
    return font;
}

// A text whose top left is at (x, y). The graph writes the same few dozen
// texts frame after frame (grid labels, legend, times): each is laid out
// once and kept.
void drawText(QPainter& p, int x, int y, const QColor& colour, const QString& s)
{
    static QHash<QString, QStaticText> laidOut;
    auto it = laidOut.find(s);
    if (it == laidOut.end()) {
        if (laidOut.size() > 512)
            laidOut.clear();
        QStaticText text(s);
        text.setTextFormat(Qt::PlainText);
        text.setPerformanceHint(QStaticText::AggressiveCaching);
        it = laidOut.insert(s, text);
    }
    p.setPen(colour);
    p.drawStaticText(x, y, *it);
}

void drawLine(QPainter& p, const QColor& colour, int x1, int y1, int x2, int y2)
{
    p.setPen(colour);
    p.drawLine(x1, y1, x2, y2);
}

// The traces' buffers, kept from frame to frame so that a frame allocates
// nothing. The painting runs on the user-interface thread only.
struct TraceBuffers {
    TracePath temperature{0, 0}, humidity{0, 0};
    TracePath axes[3][2] = {{{0, 0}, {0, 0}}, {{0, 0}, {0, 0}}, {{0, 0}, {0, 0}}};
    QVector<QLine> lines;

    void reset(int left, int right)
    {
        for (TracePath* path : {&temperature, &humidity, &axes[0][0], &axes[0][1], &axes[1][0], &axes[1][1],
                                &axes[2][0], &axes[2][1]}) {
            path->clear();
            path->setColumns(left, right);
        }
    }
};

void drawTrace(QPainter& p, const QColor& colour, TracePath& path, QVector<QLine>& buffer)
{
    const std::vector<PlotLine>& lines = path.lines();
    if (lines.empty())
        return;
    buffer.resize(static_cast<qsizetype>(lines.size()));
    for (size_t i = 0; i < lines.size(); ++i)
        buffer[static_cast<qsizetype>(i)] = QLine(lines[i].from.x, lines[i].from.y, lines[i].to.x, lines[i].to.y);
    p.setPen(colour);
    p.drawLines(buffer.constData(), static_cast<int>(buffer.size()));
}


// The colours of one frame. On a light window they are the recording's own
// (the fixed RGB colours and the desktop's roles); on a dark one the black
// lines take the palette's text colour, the greys lie between background
// and text as they do on a light window, and every trace and mark is
// lightened until it stands out (3:1 for lines, 4.5:1 for texts).
struct Colours {
    QColor axis, axisSide, division, centre, gridMajor, gridMinor, labelText, text, bracket, pin;
    QColor temperature, humidity, trace[3], wide;
};

Colours coloursFor(const GraphView& v)
{
    const QColor paper = v.paper.isValid() ? v.paper : QColor(Qt::white);
    const QColor ink = readableOn(v.ink.isValid() ? v.ink : QColor(Qt::black), paper, kTextContrast);
    Colours c;
    c.text = contrastRatio(v.shadow, paper) >= kTextContrast ? v.shadow : ink;
    if (!isDarkBackground(paper)) {
        c.axis = c.centre = c.pin = QColor(Qt::black);
        c.axisSide = c.division = c.wide = kGrey;
        c.gridMajor = kGridGray;
        c.gridMinor = kSilver;
        c.labelText = readableOn(kGridGray, paper, kTextContrast);
        c.bracket = kLime;
        c.temperature = kRed;
        c.humidity = v.highlight;
        c.trace[0] = kMagenta;
        c.trace[1] = kBlue;
        c.trace[2] = kGreen;
        return c;
    }
    c.axis = c.centre = c.pin = ink;
    c.axisSide = c.division = mixColours(paper, ink, 0.5);
    c.gridMajor = mixColours(paper, ink, 0.45);
    c.gridMinor = mixColours(paper, ink, 0.25);
    c.labelText = readableOn(mixColours(paper, ink, 0.6), paper, kTextContrast);
    c.wide = readableOn(mixColours(paper, ink, 0.5), paper, kLineContrast);
    c.bracket = readableOn(kLime, paper, kLineContrast);
    c.temperature = readableOn(kRed, paper, kLineContrast);
    c.humidity = readableOn(v.highlight, paper, kLineContrast);
    c.trace[0] = readableOn(kMagenta, paper, kLineContrast);
    c.trace[1] = readableOn(kBlue, paper, kLineContrast);
    c.trace[2] = readableOn(kGreen, paper, kLineContrast);
    return c;
}

// Where the texts of a frame go: inside the picture, off the vertical axis,
// clear of the controls standing on the graph and of each other.
class LabelPlaces {
public:
    LabelPlaces(int width, int height, int axisX, const std::vector<QRect>& keepClear)
        : width_(width), height_(height), axisX_(axisX), keepClear_(keepClear)
    {
    }

    bool isFree(const QRect& r) const { return blocker(r).isNull() && inside(r); }

    // r where it stands, or moved right past what it meets, its left edge
    // at most at maxLeft; a null rectangle where there is no such place.
    QRect rightward(QRect r, int maxLeft) const
    {
        while (r.left() <= maxLeft && inside(r)) {
            const QRect b = blocker(r);
            if (b.isNull())
                return r;
            r.moveLeft(b.right() + 4);
        }
        return QRect();
    }

    void take(const QRect& r, const QString& text) { taken_.push_back(GraphFrame::Label{r, text}); }
    const std::vector<GraphFrame::Label>& taken() const { return taken_; }
    const std::vector<QRect>& keepClear() const { return keepClear_; }

private:
    bool inside(const QRect& r) const { return r.left() >= 0 && r.top() >= 0 && r.right() < width_ && r.bottom() < height_; }

    // The axis (its two columns and a pixel either side), a control or a
    // text already placed that r meets; null when none.
    QRect blocker(const QRect& r) const
    {
        const QRect axis(axisX_ - 1, 0, 4, height_);
        if (r.intersects(axis))
            return axis;
        for (const QRect& c : keepClear_)
            if (r.intersects(c))
                return c;
        for (const auto& l : taken_)
            if (r.intersects(l.rect))
                return l.rect;
        return QRect();
    }

    int width_, height_, axisX_;
    const std::vector<QRect>& keepClear_;
    std::vector<GraphFrame::Label> taken_;
};

// A line along a row or a column, broken where it would run through one of
// the rectangles (with a pixel to spare).
template <class Rects>
void drawBroken(QPainter& p, const QColor& colour, bool horizontal, int at, int from, int to, const Rects& cuts)
{
    static std::vector<std::pair<int, int>> gaps;  // kept: the paint runs on one thread
    gaps.clear();
    for (const QRect& r : cuts) {
        if (horizontal ? (at >= r.top() && at <= r.bottom()) : (at >= r.left() && at <= r.right()))
            gaps.emplace_back(horizontal ? r.left() - 1 : r.top() - 1, horizontal ? r.right() + 1 : r.bottom() + 1);
    }
    p.setPen(colour);
    if (gaps.empty()) {
        horizontal ? p.drawLine(from, at, to, at) : p.drawLine(at, from, at, to);
        return;
    }
    std::sort(gaps.begin(), gaps.end());
    int start = from;
    for (const auto& [a, b] : gaps) {
        if (a > start)
            horizontal ? p.drawLine(start, at, std::min(a - 1, to), at) : p.drawLine(at, start, at, std::min(a - 1, to));
        start = std::max(start, b + 1);
        if (start > to)
            return;
    }
    horizontal ? p.drawLine(start, at, to, at) : p.drawLine(at, start, at, to);
}

}  // namespace

int centreLineX(int width, int originX)
{
    const int division = (width / 40) / 2;  // counted from 1
    return division >= 1 ? 28 + 40 * (division - 1) : originX;
}

QString valueLabel(int v, int countsPerG, ValueUnit unit)
{
    if (unit == ValueUnit::G)
        return gLabel(v, countsPerG);
    const double value = -v * kStandardGravity / std::max(1, countsPerG);
    return QString::number(value, 'f', std::abs(value) >= 100 ? 0 : std::abs(value) >= 10 ? 1 : 2) +
           QString::fromUtf8("m/s²");
}

GraphFrame paintGraph(QPainter& p, const GraphSampleTable& t, const GraphView& view)
{
    GraphFrame frame;
    const int W = view.size.width();
    const int H = view.size.height();
    const int originX = view.originX;
    const int originY = view.originY;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    if (view.background.isValid())
        p.fillRect(QRect(0, 0, W, H), view.background);
    p.setFont(graphFont());
    const QFontMetrics metrics(graphFont());
    const int lineHeight = metrics.height();
    // The colours change only with the palette.
    static Colours colours;
    static QRgb coloursFor4[4] = {0, 0, 0, 0};
    static bool coloursKnown = false;
    const QRgb key[4] = {view.paper.rgba(), view.ink.rgba(), view.shadow.rgba(), view.highlight.rgba()};
    if (!coloursKnown || !std::equal(key, key + 4, coloursFor4)) {
        colours = coloursFor(view);
        std::copy(key, key + 4, coloursFor4);
        coloursKnown = true;
    }
    // The same few dozen texts come back frame after frame: their widths
    // are measured once.
    static QHash<QString, int> widths;
    if (widths.size() > 512)
        widths.clear();
    const auto advance = [&](const QString& s) {
        auto it = widths.constFind(s);
        return it != widths.constEnd() ? *it : *widths.insert(s, metrics.horizontalAdvance(s));
    };
    const auto textRect = [&](int x, int y, const QString& s) { return QRect(x, y, advance(s), lineHeight); };

    // The texts first: where they stand decides where the lines break.
    LabelPlaces places(W, H, originX, view.keepClear);
    for (const auto& [at, s] : view.texts)
        places.take(textRect(at.x(), at.y(), s), s);

    // Legend
    const struct {
        int y;
        QColor colour;
        const char* label;
    } legend[] = {{20, colours.temperature, "'C (G*10)"},
                  {32, colours.humidity, "RH(G*10)"},
                  {44, colours.trace[0], "X"},
                  {56, colours.trace[1], "Y"},
                  {68, colours.trace[2], "Z"}};
    // The legend is one block: its rows stand closer than a line of text.
    QRect legendBlock;
    for (const auto& row : legend)
        legendBlock = legendBlock.united(textRect(53, row.y - 5, QString::fromUtf8(row.label)).united(QRect(38, row.y - 1, 11, 3)));
    places.take(legendBlock, QStringLiteral("legend"));

    // Value grid labels, each centred on its line right of the axis; the
    // temperature labels in a column of their own right of the widest, their
    // digits in one column whatever the sign. A label that would meet the
    // legend or a control moves right past it.
    QString labels[21];
    int widest = 0;
    for (int i = 0; i <= 20; ++i) {
        labels[i] = valueLabel(-100 + 10 * i, view.countsPerG, view.unit);
        widest = std::max(widest, advance(labels[i]));
    }
    const int minus = advance(QStringLiteral("-"));
    const int valueX = originX + 6;
    const int temperatureX = valueX + widest + 10 + minus;
    std::vector<std::pair<QRect, QString>> gridTexts;  // drawn in the grey-text colour
    for (int i = 0; i <= 20; ++i) {
        const int v = -100 + 10 * i;
        const int y = originY + 2 * v;
        const QRect at = places.rightward(textRect(valueX, y - lineHeight / 2, labels[i]), W / 3);
        if (!at.isNull()) {
            places.take(at, labels[i]);
            gridTexts.emplace_back(at, labels[i]);
        }
        if (v % 20 == 0 && v >= -40 && v <= 40) {
            const QString label = temperatureLabel(v);
            const int x = std::max(temperatureX, at.isNull() ? 0 : at.right() + 11 + minus) -
                          (label.startsWith(QLatin1Char('-')) ? minus : 0);
            const QRect tat = places.rightward(textRect(x, y - lineHeight / 2, label), W / 2);
            if (!tat.isNull()) {
                places.take(tat, label);
                gridTexts.emplace_back(tat, label);
            }
        }
    }

    frame.centreX = centreLineX(W, originX);
    frame.centreY = originY;
    const int centreX = frame.centreX;
    const int centreY = frame.centreY;
    const int xm = centreX + view.markerOffset;
    frame.columnFirst.assign(static_cast<size_t>(std::max(W, 0)) + 1, -1);
    frame.columnLast.assign(frame.columnFirst.size(), -1);

    static TraceBuffers buffers;
    buffers.reset(-16, W + 16);
    QRect selection;
    std::int64_t pinnedX = -1;
    // Time labels: (rect, time, date), drawn in the text colour.
    std::vector<std::tuple<QRect, QString, QString>> timeTexts;
    if (t.hasRows()) {
        const PixelScale pixels(view.scale.numerator, view.scale.denominator, view.scale.divisor);
        const int P = std::clamp(view.centreRow, t.firstRow, t.lastRow);
        const std::int64_t base = t.timeMs[P];
        const auto xOf = [&](int k) { return pixels(t.timeMs[k] - base) + centreX; };

        // The average step between the ten samples from the centre on. A step
        // longer than twice that is drawn grey. It is compared in time, not in
        // whole pixels: zoomed out, where samples lie less than a pixel apart,
        // the average in pixels is 0 and every step into the next column would
        // count as a long one, greying whole traces of a regular recording.
        int steps = 0;
        std::int64_t stepSumMs = 0;
        for (int k = t.isSample(P) ? P : t.nextSample[P]; k >= 0 && steps < 10 && t.nextSample[k] >= 0; ++steps) {
            stepSumMs += t.timeMs[t.nextSample[k]] - t.timeMs[k];
            k = t.nextSample[k];
        }
        // Without a step to average (the last sample) every step is a long one,
        // as an average of 0 makes it.
        const auto isWide = [&](std::int64_t dtMs, std::int64_t dx) {
            return steps > 0 ? dtMs * steps > 2 * stepSumMs : dx > 0;
        };

        // Forward pass: the rows from the centre to the first one right of the
        // window (or the end of the lines).
        const int count = view.lineCount;
        int E = P;
        while (!(E >= count - 1) && E + 1 < t.rows() && xOf(E) <= W)
            ++E;
        // Backward pass: from the centre to where two rows in a row lie on or
        // left of the axis.
        int B = P;
        while (B > t.firstRow && !(xOf(B) <= originX && xOf(B - 1) <= originX))
            --B;
        frame.startRow = B;
        frame.endRow = E;

        // The selected interval, shaded under the traces.
        if (view.selectionFirst >= 0 && view.selectionLast >= view.selectionFirst &&
            view.selectionLast < t.rows()) {
            const std::int64_t a = std::clamp<std::int64_t>(xOf(view.selectionFirst), -1, W + 1);
            const std::int64_t b = std::clamp<std::int64_t>(xOf(view.selectionLast), -1, W + 1);
            selection = QRect(QPoint(int(std::min(a, b)), originY - 200), QPoint(int(std::max(a, b)), originY + 200));
        }

        // The drawn pieces join each sample row to the next sample row, from
        // the sample before the first one right of B to the last one before E.
        int from = -1;
        const int firstAfterB = t.nextSample[B];
        if (firstAfterB >= 0 && firstAfterB <= P)
            from = t.previousSample[firstAfterB] >= 0 ? t.previousSample[firstAfterB] : firstAfterB;
        else if (t.isSample(P))
            from = P;
        else
            from = t.previousSample[P] >= 0 ? t.previousSample[P] : t.nextSample[P];

        TracePath& temperature = buffers.temperature;
        TracePath& humidity = buffers.humidity;
        auto& axes = buffers.axes;
        const bool shown[3] = {view.traceX, view.traceY, view.traceZ};
        const std::vector<std::int32_t>* values[3] = {&t.x, &t.y, &t.z};

        // Time labels at the sample rows whose offset from the centre is a
        // multiple of 80 pixels: one a column, the first met walking out from
        // the centre (forward first), none that would run into another.
        std::vector<std::pair<std::int64_t, int>> forwardLabels, backwardLabels;  // offset, row
        const auto columnOf = [&](std::int64_t x) -> int { return x >= 0 && x <= W ? int(x) : -1; };
        // Walking backward the last row met comes first: the later row wins.
        const auto backwardLabel = [&backwardLabels](std::int64_t offset, int row) {
            auto it = std::find_if(backwardLabels.begin(), backwardLabels.end(), [&](auto& l) { return l.first == offset; });
            if (it == backwardLabels.end())
                backwardLabels.emplace_back(offset, row);
            else
                it->second = row;
        };

        int markerEnd = 0;
        std::int64_t xNext = from >= 0 ? xOf(from) : 0;
        const auto yOf = [centreY](std::int32_t v) { return centreY - 2LL * v; };
        constexpr int kBlock = GraphSampleTable::kBlockRows;
        const int blockCount = static_cast<int>(t.blocks.size());
        for (int k = from; k >= 0 && k < E;) {
            const int next = t.nextSample[k];
            const std::int64_t xk = xNext;

            if (const int c = columnOf(xk); c >= 0) {
                if (frame.columnFirst[c] < 0)
                    frame.columnFirst[c] = k;
                frame.columnLast[c] = k;
            }
            const std::int64_t offset = xk - centreX;
            if (offset % 80 == 0) {
                if (k >= P) {
                    if (std::none_of(forwardLabels.begin(), forwardLabels.end(), [&](auto& l) { return l.first == offset; }))
                        forwardLabels.emplace_back(offset, k);
                } else if (k > B && offset != 0) {
                    backwardLabel(offset, k);
                }
            }
            // A whole block after row k in row k's column: its pieces go up and
            // down within the column, which its lowest and highest values draw
            // as well as its rows do. Not across the centre row (the time
            // labels of the two sides differ), nor where one of its steps is a
            // long one (drawn grey).
            if (next == k + 1 && (k + 1) % kBlock == 0 && (k + 1) / kBlock < blockCount && k + kBlock < E &&
                (k >= P || k + kBlock < P)) {
                const GraphSampleTable::Block& block = t.blocks[static_cast<size_t>((k + 1) / kBlock)];
                const int last = k + kBlock;
                const std::int64_t firstStep = t.timeMs[k + 1] - t.timeMs[k];
                if (block.clean && firstStep >= 0 && firstStep < kTraceGapMs && !isWide(std::max(firstStep, block.longestStepMs), 0) &&
                    (t.humidity[k] != 0) == block.humidity && xk >= -16 && xk <= W + 16 && xOf(last) == xk) {
                    if (k >= P && view.markerOffset != 0 && markerEnd == 0 && xk > xm)
                        markerEnd = k;
                    const std::int64_t offset = xk - centreX;
                    if (k < P && offset != 0 && offset % 80 == 0 && last > B)
                        backwardLabel(offset, last);
                    if (xk >= 0 && xk <= W)
                        frame.columnLast[static_cast<size_t>(xk)] = last;
                    const auto column = [&](TracePath& path, int c, std::int32_t from, std::int32_t to) {
                        const std::int64_t low = yOf(block.high[c]), high = yOf(block.low[c]);
                        path.piece(xk, yOf(from), xk, low);
                        path.piece(xk, low, xk, high);
                        path.piece(xk, high, xk, yOf(to));
                    };
                    column(temperature, 0, t.temperature[k], t.temperature[last]);
                    if (block.humidity)
                        column(humidity, 1, t.humidity[k], t.humidity[last]);
                    else
                        humidity.breakRun();
                    for (int a = 0; a < 3; ++a) {
                        if (!shown[a])
                            continue;
                        column(axes[a][0], 2 + a, (*values[a])[k], (*values[a])[last]);
                        axes[a][1].breakRun();
                    }
                    k = last;
                    continue;
                }
            }

            if (next < 0)
                break;
            const std::int64_t xn = xOf(next);
            xNext = xn;
            if (k >= P && view.markerOffset != 0 && markerEnd == 0 && xn > xm)
                markerEnd = k;
            if (std::abs(t.timeMs[next] - t.timeMs[k]) >= kTraceGapMs) {
                temperature.breakRun();
                humidity.breakRun();
                for (auto& axis : axes) {
                    axis[0].breakRun();
                    axis[1].breakRun();
                }
            } else {
                temperature.piece(xk, yOf(t.temperature[k]), xn, yOf(t.temperature[next]));
                // Humidity is drawn where the row nearer the centre has a value.
                if (t.humidity[k >= P ? k : next] != 0)
                    humidity.piece(xk, yOf(t.humidity[k]), xn, yOf(t.humidity[next]));
                else
                    humidity.breakRun();
                const int wide = isWide(t.timeMs[next] - t.timeMs[k], xn - xk) ? 1 : 0;
                for (int a = 0; a < 3; ++a) {
                    if (!shown[a])
                        continue;
                    axes[a][wide].piece(xk, yOf((*values[a])[k]), xn, yOf((*values[a])[next]));
                    axes[a][1 - wide].breakRun();
                }
            }
            k = next;
            if (k >= E && E < t.rows()) {
                // The last row drawn to: record its column too.
                if (const int c = columnOf(xOf(k)); c >= 0) {
                    if (frame.columnFirst[c] < 0)
                        frame.columnFirst[c] = k;
                    frame.columnLast[c] = k;
                }
            }
        }
        frame.markerEnd = markerEnd;
        if (view.pinnedRow >= 0 && view.pinnedRow < t.rows())
            pinnedX = xOf(view.pinnedRow);

        // The time labels, forward ones first; none that would meet another
        // text, a control or the axis, or run out of the picture. Where the
        // labels fall on more than one day each carries its date under the
        // time: the time alone repeats from day to day.
        const int clockLength = view.scale.numerator == 100 ? 11 : 8;
        LabelPlaces trial = places;
        std::vector<int> shownRows;
        const auto choose = [&](int k) {
            const std::int64_t x = xOf(k) - 5;
            if (x < 0 || x > W)
                return;
            const QString s = QString::fromUtf8("↑") + QString::fromLatin1(t.timeText(k).mid(6, clockLength));
            const QRect r = textRect(int(x), centreY + 150, s);
            if (!trial.isFree(r))
                return;
            trial.take(r, s);
            shownRows.push_back(k);
        };
        for (const auto& [offset, row] : forwardLabels)
            choose(row);
        for (const auto& [offset, row] : backwardLabels)
            choose(row);
        bool dated = false;
        for (const int k : shownRows)
            dated = dated || t.timeText(k).left(5) != t.timeText(shownRows.front()).left(5);
        for (const int k : shownRows) {
            const QString s = QString::fromUtf8("↑") + QString::fromLatin1(t.timeText(k).mid(6, clockLength));
            const QString date = dated ? QString::fromLatin1(t.timeText(k).left(5)) : QString();
            const int x = int(xOf(k) - 5);
            QRect r = textRect(x, centreY + 150, s);
            if (dated)
                r = r.united(textRect(x + metrics.horizontalAdvance(QString::fromUtf8("↑")), centreY + 150 + lineHeight, date));
            if (!places.isFree(r))
                continue;
            places.take(r, date.isEmpty() ? s : s + QLatin1Char('\n') + date);
            timeTexts.emplace_back(r, s, date);
        }
    }

    // The lines, broken where a text stands on them (and the horizontal ones
    // where a control stands).
    std::vector<QRect> cuts;
    for (const auto& l : places.taken())
        cuts.push_back(l.rect);
    std::vector<QRect> rowCuts = cuts;
    rowCuts.insert(rowCuts.end(), view.keepClear.begin(), view.keepClear.end());
    drawBroken(p, colours.axisSide, true, originY - 1, 0, W, rowCuts);
    drawBroken(p, colours.axis, true, originY, 0, W, rowCuts);
    drawBroken(p, colours.axisSide, true, originY + 1, 0, W, rowCuts);
    for (int i = 0; i <= 20; ++i) {
        const int v = -100 + 10 * i;
        const QColor pen = v == 0 ? colours.axis : v % 20 == 0 ? colours.gridMajor : colours.gridMinor;
        drawBroken(p, pen, true, originY + 2 * v, 0, W, rowCuts);
    }
    // Time divisions; the middle one is the centre line.
    const bool hasCentre = (W / 40) / 2 >= 1;
    for (int x = 0; x < W; x += 40) {
        const bool centre = hasCentre && x + 28 == frame.centreX;
        drawBroken(p, centre ? colours.centre : colours.division, false, x + 28, originY - 200, originY + 200, cuts);
    }
    // The vertical axis over the grid.
    drawLine(p, colours.axis, originX, 0, originX, H);
    drawLine(p, colours.axis, originX + 1, 0, originX + 1, H);
    // The interval bracket
    if (view.markerOffset != 0) {
        drawLine(p, colours.bracket, xm, centreY - 100, xm, centreY + 100);
        drawLine(p, colours.bracket, centreX, centreY - 100, xm, centreY - 100);
        drawLine(p, colours.bracket, centreX, centreY + 100, xm, centreY + 100);
    }
    if (!selection.isNull())
        p.fillRect(selection, QColor(0x33, 0x99, 0xFF, 48));

    if (t.hasRows()) {
        drawTrace(p, colours.temperature, buffers.temperature, buffers.lines);
        drawTrace(p, colours.humidity, buffers.humidity, buffers.lines);
        for (int a = 0; a < 3; ++a) {
            drawTrace(p, colours.trace[a], buffers.axes[a][0], buffers.lines);
            drawTrace(p, colours.wide, buffers.axes[a][1], buffers.lines);
        }
    }

    // The texts over it all.
    for (const auto& [at, s] : view.texts)
        drawText(p, at.x(), at.y(), colours.text, s);
    for (const auto& row : legend) {
        drawLine(p, row.colour, 38, row.y, 48, row.y);
        drawText(p, 53, row.y - 5, colours.text, QString::fromUtf8(row.label));
    }
    for (const auto& [r, s] : gridTexts)
        drawText(p, r.left(), r.top(), colours.labelText, s);
    for (const auto& [r, s, date] : timeTexts) {
        drawText(p, r.left(), r.top(), colours.text, s);
        if (!date.isEmpty())
            drawText(p, r.left() + metrics.horizontalAdvance(QString::fromUtf8("↑")), r.top() + lineHeight, colours.text, date);
    }
    frame.labels = places.taken();

    if (t.hasRows() && view.pinnedRow >= 0 && t.isSample(view.pinnedRow)) {
        const std::int64_t x = pinnedX;
        // Small marks above and below the grid, clear of the traces and the bracket.
        if (x >= 0 && x <= W) {
            const int xi = static_cast<int>(x);
            p.setPen(colours.pin);
            for (int dx = -1; dx <= 1; ++dx) {
                p.drawLine(xi + dx, originY - 208, xi + dx, originY - 202);
                p.drawLine(xi + dx, originY + 202, xi + dx, originY + 208);
            }
        }
    }
    p.restore();
    return frame;
}

}  // namespace zelt
