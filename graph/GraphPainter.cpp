#include "graph/GraphPainter.h"

#include "graph/PlotMath.h"

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
const QColor kGrayText(109, 109, 109);
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
    for (const auto& [at, s] : view.texts)
        drawText(p, at.x(), at.y(), Qt::black, s);

    // Axes
    drawLine(p, kGrey, 0, originY - 1, W, originY - 1);
    drawLine(p, Qt::black, 0, originY, W, originY);
    drawLine(p, kGrey, 0, originY + 1, W, originY + 1);
    drawLine(p, Qt::black, originX, 0, originX, H);
    drawLine(p, Qt::black, originX + 1, 0, originX + 1, H);

    // Legend
    const struct {
        int y;
        QColor colour;
        const char* label;
    } legend[] = {{20, kRed, "'C (G*10)"}, {32, view.highlight, "RH(G*10)"}, {44, kMagenta, "X"}, {56, kBlue, "Y"}, {68, kGreen, "Z"}};
    for (const auto& row : legend) {
        drawLine(p, row.colour, 38, row.y, 48, row.y);
        drawText(p, 53, row.y - 5, view.shadow, QString::fromUtf8(row.label));
    }

    // Value grid. The temperature labels stand clear of the widest value
    // label, their digits in one column whatever the sign.
    QString labels[21];
    int widest = 0;
    for (int i = 0; i <= 20; ++i) {
        labels[i] = valueLabel(-100 + 10 * i, view.countsPerG, view.unit);
        widest = std::max(widest, metrics.horizontalAdvance(labels[i]));
    }
    const int minus = metrics.horizontalAdvance(QLatin1Char('-'));
    const int temperatureX = 5 + widest + 10 + minus;
    for (int i = 0; i <= 20; ++i) {
        const int v = -100 + 10 * i;
        const int y = originY + 2 * v;
        QColor pen = kSilver;
        if (v % 20 == 0) {
            pen = kGrayText;
            if (v >= -40 && v <= 40) {
                const QString label = temperatureLabel(v);
                drawText(p, temperatureX - (label.startsWith(QLatin1Char('-')) ? minus : 0), y - 9, kGrayText, label);
            }
        }
        if (v == 0)
            pen = Qt::black;
        drawLine(p, pen, 0, y, W, y);
        drawText(p, 5, y - 9, kGrayText, labels[i]);
    }

    // Time divisions; the middle one is the centre line.
    frame.centreX = centreLineX(W, originX);
    frame.centreY = originY;
    const bool hasCentre = (W / 40) / 2 >= 1;
    for (int x = 0; x < W; x += 40) {
        const bool centre = hasCentre && x + 28 == frame.centreX;
        drawLine(p, centre ? QColor(Qt::black) : kGrey, x + 28, originY - 200, x + 28, originY + 200);
    }
    const int centreX = frame.centreX;
    const int centreY = frame.centreY;

    // The interval bracket
    const int xm = centreX + view.markerOffset;
    if (view.markerOffset != 0) {
        drawLine(p, kLime, xm, centreY - 100, xm, centreY + 100);
        drawLine(p, kLime, centreX, centreY - 100, xm, centreY - 100);
        drawLine(p, kLime, centreX, centreY + 100, xm, centreY + 100);
    }

    frame.columnFirst.assign(static_cast<size_t>(std::max(W, 0)) + 1, -1);
    frame.columnLast.assign(frame.columnFirst.size(), -1);
    if (!t.hasRows()) {
        p.restore();
        return frame;
    }

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
        p.fillRect(QRect(QPoint(int(std::min(a, b)), originY - 200), QPoint(int(std::max(a, b)), originY + 200)),
                   QColor(0x33, 0x99, 0xFF, 48));
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

    static TraceBuffers buffers;
    buffers.reset(-16, W + 16);
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

    drawTrace(p, kRed, temperature, buffers.lines);
    drawTrace(p, view.highlight, humidity, buffers.lines);
    const QColor colours[3] = {kMagenta, kBlue, kGreen};
    for (int a = 0; a < 3; ++a) {
        drawTrace(p, colours[a], axes[a][0], buffers.lines);
        drawTrace(p, kGrey, axes[a][1], buffers.lines);
    }

    // The time labels, forward ones first.
    const int clockLength = view.scale.numerator == 100 ? 11 : 8;
    std::vector<std::pair<std::int64_t, std::int64_t>> spans;
    const auto label = [&](int k) {
        const std::int64_t x = xOf(k) - 5;
        if (x > W || x < -400)
            return;
        const QString s = QString::fromUtf8("↑") + QString::fromLatin1(t.timeText(k).mid(6, clockLength));
        const std::int64_t end = x + metrics.horizontalAdvance(s) + 2;
        for (const auto& span : spans)
            if (x < span.second && span.first < end)
                return;
        spans.emplace_back(x, end);
        drawText(p, static_cast<int>(x), centreY + 150, view.shadow, s);
    };
    for (const auto& [offset, row] : forwardLabels)
        label(row);
    for (const auto& [offset, row] : backwardLabels)
        label(row);

    if (view.pinnedRow >= 0 && t.isSample(view.pinnedRow)) {
        const std::int64_t x = xOf(view.pinnedRow);
        // Small marks above and below the grid, clear of the traces and the bracket.
        if (x >= 0 && x <= W) {
            const int xi = static_cast<int>(x);
            p.setPen(Qt::black);
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
