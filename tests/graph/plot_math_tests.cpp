// The graph's drawing arithmetic: the fast time-to-pixel division, the
// reduction of a trace to its pixel columns, and the zoom steps.
#include "graph/PlotMath.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <random>

using namespace zelt;

TEST(PixelScale, EqualsTheTwoTruncatingDivisions)
{
    const struct {
        int numerator, denominator, divisor;
    } scales[] = {{1, 1, 300}, {100, 10, 2}, {100, 10, 125}, {1, 10, 150}, {1, 10, 216000}, {100, 10, 1}, {1, 10, 7}};
    std::mt19937_64 random(7);
    std::uniform_int_distribution<std::int64_t> anyTime(-5'000'000'000LL, 5'000'000'000LL);
    for (const auto& s : scales) {
        const PixelScale pixels(s.numerator, s.denominator, s.divisor);
        std::vector<std::int64_t> times = {0, 1, -1, 299, 300, 301, -300, -301, 86'400'000, -86'400'000,
                                           50LL * 86'400'000, 4'320'000'000LL - 1};
        for (int i = 0; i < 20000; ++i)
            times.push_back(anyTime(random));
        for (std::int64_t d : times)
            ASSERT_EQ(pixels(d), d * s.numerator / s.denominator / s.divisor)
                << d << " at " << s.numerator << "/" << s.denominator << "/" << s.divisor;
    }
}

namespace {

QImage blank() { return QImage(300, 200, QImage::Format_RGB32); }

// The pieces as single lines: what the reduced polylines must reproduce.
QImage drawPieces(const std::vector<std::pair<PlotPoint, PlotPoint>>& pieces)
{
    QImage image = blank();
    image.fill(Qt::white);
    QPainter p(&image);
    p.setPen(Qt::black);
    for (const auto& [a, b] : pieces)
        p.drawLine(a.x, a.y, b.x, b.y);
    return image;
}

QImage drawPath(TracePath& path)
{
    QImage image = blank();
    image.fill(Qt::white);
    QPainter p(&image);
    p.setPen(Qt::black);
    for (const PlotLine& l : path.lines())
        p.drawLine(l.from.x, l.from.y, l.to.x, l.to.y);
    return image;
}

// A trace of n samples whose x advances by step / 1000 pixels a sample.
std::vector<std::pair<PlotPoint, PlotPoint>> trace(int n, int stepThousandths, unsigned seed, int gapEvery = 0)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> y(20, 180);
    std::vector<std::pair<PlotPoint, PlotPoint>> pieces;
    PlotPoint last{10, y(random)};
    for (int i = 1; i < n; ++i) {
        const PlotPoint next{10 + static_cast<int>(std::int64_t(i) * stepThousandths / 1000), y(random)};
        if (gapEvery == 0 || i % gapEvery != 0)
            pieces.emplace_back(last, next);
        last = next;
    }
    return pieces;
}

}  // namespace

TEST(TracePath, CoversExactlyThePixelsOfItsPieces)
{
    const struct {
        const char* what;
        int samples, stepThousandths, gapEvery;
    } cases[] = {
        {"one sample per column", 250, 1000, 0},
        {"samples three columns apart", 90, 3000, 0},
        {"many samples per column", 20000, 13, 0},
        {"many per column, with gaps", 20000, 13, 97},
        {"a few per column", 600, 450, 0},
    };
    for (const auto& c : cases) {
        // A gap leaves a piece out: the next one starts a new polyline.
        const auto pieces = trace(c.samples, c.stepThousandths, 11, c.gapEvery);
        TracePath path(-16, 316);
        for (const auto& [a, b] : pieces)
            path.piece(a.x, a.y, b.x, b.y);
        EXPECT_EQ(drawPath(path), drawPieces(pieces)) << c.what;
        // Never more lines than pieces, nor more than two a column and a
        // few where a gap breaks the trace.
        const std::size_t gaps = c.gapEvery ? c.samples / c.gapEvery : 0;
        EXPECT_LE(path.lines().size(), std::min<std::size_t>(pieces.size(), 2 * 301 + 2 * gaps)) << c.what;
    }
}

TEST(TracePath, KeepsASinglePeakAmongManySamplesOfAColumn)
{
    TracePath path(0, 299);
    // 1000 samples in column 50, all at y 100 but one at y 5, then on to
    // column 51.
    int y = 100;
    for (int i = 0; i < 1000; ++i) {
        const int next = i == 517 ? 5 : 100;
        path.piece(50, y, 50, next);
        y = next;
    }
    path.piece(50, y, 51, 100);
    const auto& lines = path.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].from, (PlotPoint{50, 5}));   // the column, peak included
    EXPECT_EQ(lines[0].to, (PlotPoint{50, 100}));
    EXPECT_EQ(lines[1].from, (PlotPoint{50, 100}));  // on to the next column
    EXPECT_EQ(lines[1].to, (PlotPoint{51, 100}));
}

TEST(TracePath, CutsFarAwayPiecesAtTheEdgesAndBreaksAtJumps)
{
    TracePath path(0, 100);
    path.piece(-1'000'000'000LL, 0, 50, 50);  // from far left: cut at column 0, where y is nearly 50
    path.piece(50, 50, 2'000'000'000LL, 50);  // on to far right: cut at 100
    path.piece(-5'000, 10, -4'000, 10);       // wholly outside: nothing
    path.piece(20, 80, 30, 80);               // does not start where the last ended
    path.piece(70, 90, 70, 90);               // nor this one, of no length: a dot
    const auto& lines = path.lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].from, (PlotPoint{0, 50}));
    EXPECT_EQ(lines[0].to, (PlotPoint{50, 50}));
    EXPECT_EQ(lines[1].from, (PlotPoint{50, 50}));
    EXPECT_EQ(lines[1].to, (PlotPoint{100, 50}));
    EXPECT_EQ(lines[2].from, (PlotPoint{20, 80}));
    EXPECT_EQ(lines[2].to, (PlotPoint{30, 80}));
    EXPECT_EQ(lines[3].from, (PlotPoint{70, 90}));
    EXPECT_EQ(lines[3].to, (PlotPoint{70, 90}));
}

TEST(Zoom, ScalesForTenthsPerPixel)
{
    // The named time bases come back as their own factor and divisor.
    const struct {
        int numerator, denominator, divisor;
        std::int64_t tenths;
    } rows[] = {{1, 1, 300, 3000}, {100, 10, 2, 2}, {100, 10, 250, 250}, {1, 10, 150, 15000}, {1, 10, 216000, 21600000}};
    for (const auto& r : rows) {
        EXPECT_EQ(tenthsPerPixel(r.numerator, r.denominator, r.divisor), r.tenths);
        const ScaleChoice c = scaleForTenths(r.tenths);
        EXPECT_EQ(tenthsPerPixel(c.numerator, c.denominator, c.divisor), r.tenths);
    }
    EXPECT_EQ(scaleForTenths(15000).numerator, 1);
    EXPECT_EQ(scaleForTenths(15000).divisor, 150);
    EXPECT_EQ(scaleForTenths(250).numerator, 100);
    EXPECT_EQ(scaleForTenths(0).divisor, 1);
}

TEST(Zoom, StepsMoveAndStayInRange)
{
    EXPECT_EQ(zoomTenths(1000, 1), 800);
    EXPECT_EQ(zoomTenths(1000, -1), 1250);
    EXPECT_EQ(zoomTenths(1000, 2), 640);
    EXPECT_EQ(zoomTenths(2, 1), 1);   // at least one tenth a step
    EXPECT_EQ(zoomTenths(1, 5), 1);   // no finer than a tenth per pixel
    EXPECT_EQ(zoomTenths(3, -1), 4);
    EXPECT_EQ(zoomTenths(kMaxTenthsPerPixel, -3), kMaxTenthsPerPixel);
}

TEST(Zoom, FitPutsBothSpansInsideTheirPixels)
{
    const struct {
        std::int64_t left, right;
        int leftPx, rightPx;
    } cases[] = {{50LL * 86'400'000, 10LL * 86'400'000, 350, 400}, {0, 1000, 350, 400}, {7, 3, 1, 1}, {0, 0, 300, 300}};
    for (const auto& c : cases) {
        const std::int64_t t = fitTenths(c.left, c.right, c.leftPx, c.rightPx);
        const ScaleChoice s = scaleForTenths(t);
        const PixelScale pixels(s.numerator, s.denominator, s.divisor);
        EXPECT_LE(-pixels(-c.left), c.leftPx);
        EXPECT_LE(pixels(c.right), c.rightPx);
        // The finest that fits: one tenth less per pixel and a span would
        // need more pixels than it has (unless at the finest already).
        if (t > 1) {
            EXPECT_TRUE(c.left * 10 > (t - 1) * c.leftPx || c.right * 10 > (t - 1) * c.rightPx) << c.left << " " << c.right;
        }
    }
}

// The block summaries of a table draw what its rows draw: a frame painted
// with them and one painted row by row are the same picture, at every time
// base, on a recording with what breaks a block (markers, a gap, humidity
// coming and going, time stepping back) among 20,000 samples and spikes.
#include "graph/GraphModel.h"
#include "graph/GraphPainter.h"

namespace {

ByteLines awkwardRecording()
{
    ByteLines lines;
    lines.append("Start Year=2024 @1G=10");
    lines.append("date time,x(G),y(G),z(G),temperature(C)");
    lines.append("OK");
    std::mt19937 random(5);
    std::int64_t ms = 9LL * 3600000;
    for (int i = 0; i < 20000; ++i) {
        if (i % 997 == 0)
            lines.append("//\x81\xAB" "Irregular Record //");
        ms += i == 7000 ? 2 * 3600000 : (i % 1501 == 0 ? -30000 : 60000);  // a gap, and steps back
        const std::int64_t t = ms % 86400000;
        const int day = 24 + static_cast<int>(ms / 86400000);
        const int spike = i % 613 == 0 ? 90 : 0;
        QByteArray line = QStringLiteral("2024/06/%1 %2:%3:%4.000,%5,%6,%7, %8.4")
                              .arg(day, 2, 10, QLatin1Char('0'))
                              .arg(t / 3600000, 2, 10, QLatin1Char('0'))
                              .arg(t / 60000 % 60, 2, 10, QLatin1Char('0'))
                              .arg(t / 1000 % 60, 2, 10, QLatin1Char('0'))
                              .arg(int(random() % 40) - 20 + spike, 3)
                              .arg(int(random() % 40) - 20, 3)
                              .arg(int(random() % 40) - 20 - spike, 3)
                              .arg(int(random() % 30))
                              .toLatin1();
        if ((i / 700) % 2 == 1)
            line += QStringLiteral(",%1").arg(30 + int(random() % 20)).toLatin1();
        lines.append(line);
    }
    for (const char* tail : {"", "end", ""})
        lines.append(tail);
    return lines;
}

QImage paint(const GraphSampleTable& table, const GraphView& view, GraphFrame& frame)
{
    QImage image(view.size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    frame = paintGraph(painter, table, view);
    return image;
}

}  // namespace

TEST(GraphPainter, BlockSummariesDrawTheRowsPicture)
{
    const ByteLines lines = awkwardRecording();
    GraphSampleTable withBlocks;
    parseRecording(lines, lines.size(), withBlocks);
    ASSERT_GT(withBlocks.backStepCount, 0);
    const auto clean = std::count_if(withBlocks.blocks.begin(), withBlocks.blocks.end(), [](auto& b) { return b.clean; });
    ASSERT_GT(clean, 500);
    GraphSampleTable rowsOnly = withBlocks;
    rowsOnly.blocks.clear();

    const int tenths[] = {3000, 15000, 150000, 1800000, 3600000, 10800000, 21600000, 50000000};
    for (const std::int64_t t : tenths) {
        const ScaleChoice s = scaleForTenths(t);
        for (const int centre : {3, 5000, 10000, 10003, withBlocks.lastRow}) {
            GraphView view;
            view.size = QSize(1280, 700);
            view.originY = 350;
            view.scale = TimeScale{s.numerator, s.denominator, s.divisor};
            view.centreRow = centre;
            view.lineCount = lines.size();
            view.markerOffset = 200;
            GraphFrame fa, fb;
            const QImage a = paint(withBlocks, view, fa);
            const QImage b = paint(rowsOnly, view, fb);
            // What the frame found: the rows drawn, the marker's end, the
            // samples under each column (the readout's and selection's).
            EXPECT_EQ(fa.startRow, fb.startRow);
            EXPECT_EQ(fa.endRow, fb.endRow);
            EXPECT_EQ(fa.markerEnd, fb.markerEnd);
            EXPECT_EQ(fa.columnFirst, fb.columnFirst);
            EXPECT_EQ(fa.columnLast, fb.columnLast);
            std::string where;
            for (int y = 0; y < a.height() && where.size() < 300; ++y)
                for (int x = 0; x < a.width() && where.size() < 300; ++x)
                    if (a.pixel(x, y) != b.pixel(x, y))
                        where += " (" + std::to_string(x) + "," + std::to_string(y) + ")";
            EXPECT_TRUE(where.empty()) << "tenths " << t << " centre " << centre << ": pixels differ at" << where;
        }
    }
}
