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

QImage drawPath(TracePath& path, std::size_t* points = nullptr)
{
    QImage image = blank();
    image.fill(Qt::white);
    QPainter p(&image);
    p.setPen(Qt::black);
    std::size_t n = 0;
    // As the graph draws them: the lines between a run's points.
    for (const auto& run : path.runs()) {
        n += run.size();
        for (size_t i = 1; i < run.size(); ++i)
            p.drawLine(run[i - 1].x, run[i - 1].y, run[i].x, run[i].y);
    }
    if (points)
        *points = n;
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
        std::size_t points = 0;
        const QImage reduced = drawPath(path, &points);
        EXPECT_EQ(reduced, drawPieces(pieces)) << c.what;
        // Never more than four points a column and run.
        EXPECT_LE(points, 4u * 300u + 4u * path.runs().size()) << c.what;
    }
}

TEST(TracePath, KeepsASinglePeakAmongManySamplesOfAColumn)
{
    TracePath path(0, 299);
    // 1000 samples in column 50, all at y 100 but one at y 5.
    int y = 100;
    for (int i = 0; i < 1000; ++i) {
        const int next = i == 517 ? 5 : 100;
        path.piece(50, y, 50, next);
        y = next;
    }
    path.piece(50, y, 51, 100);
    const auto& runs = path.runs();
    ASSERT_EQ(runs.size(), 1u);
    int top = 1000;
    for (const PlotPoint& p : runs[0])
        top = std::min(top, p.y);
    EXPECT_EQ(top, 5);
    EXPECT_LE(runs[0].size(), 5u);
}

TEST(TracePath, CutsFarAwayPiecesAtTheEdgesAndBreaksAtJumps)
{
    TracePath path(0, 100);
    path.piece(-1'000'000'000LL, 0, 50, 50);       // from far left: cut at column 0, where y is nearly 50
    path.piece(50, 50, 2'000'000'000LL, 50);       // on to far right: cut at 100, joined
    path.piece(-5'000, 10, -4'000, 10);            // wholly outside: nothing
    path.piece(20, 80, 30, 80);                    // does not start where the last ended
    const auto& runs = path.runs();
    ASSERT_EQ(runs.size(), 2u);
    ASSERT_EQ(runs[0].size(), 3u);
    EXPECT_EQ(runs[0][0], (PlotPoint{0, 50}));
    EXPECT_EQ(runs[0][1], (PlotPoint{50, 50}));
    EXPECT_EQ(runs[0][2], (PlotPoint{100, 50}));
    EXPECT_EQ(runs[1].front(), (PlotPoint{20, 80}));
    EXPECT_EQ(runs[1].back(), (PlotPoint{30, 80}));
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
        if (t > 1)
            EXPECT_TRUE(c.left * 10 > (t - 1) * c.leftPx || c.right * 10 > (t - 1) * c.rightPx) << c.left << " " << c.right;
    }
}
