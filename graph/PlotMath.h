#pragma once
// The graph's drawing arithmetic without a painter: the time-to-pixel
// division done fast, the reduction of a trace to what each pixel column
// shows, and the zoom steps of the time axis.
#include <cstdint>
#include <vector>

namespace zelt {

// d * numerator / denominator / divisor, each division truncating toward
// zero, as the time axis maps a time difference d (ms) to pixels. Two
// truncating divisions by positive numbers equal one by their product, and
// that one is done by a multiplication with the reciprocal, corrected to
// the exact quotient: a frame maps every drawn sample, so this sits on the
// graph's hottest path.
class PixelScale {
public:
    PixelScale(int numerator, int denominator, int divisor);
    std::int64_t operator()(std::int64_t d) const
    {
        const std::int64_t a = d * numerator_;
        return a < 0 ? -quotient(-a) : quotient(a);
    }

private:
    std::int64_t quotient(std::int64_t a) const
    {
        std::int64_t q = static_cast<std::int64_t>(static_cast<double>(a) * reciprocal_);
        while (q > 0 && q * divisor_ > a)
            --q;
        while ((q + 1) * divisor_ <= a)
            ++q;
        return q;
    }
    std::int64_t numerator_;
    std::int64_t divisor_;  // denominator * divisor
    double reciprocal_;
};

struct PlotPoint {
    int x;
    int y;
    friend bool operator==(PlotPoint a, PlotPoint b) { return a.x == b.x && a.y == b.y; }
};

// The line pieces of one trace in one colour, reduced to the points a
// polyline needs: where several points fall in one pixel column, only the
// first, the lowest, the highest and the last are kept. Drawn as 1-pixel
// lines, the result covers exactly the pixels the pieces themselves cover
// (inside a column the pieces join into one vertical stretch from the
// lowest to the highest point; across columns the pieces are kept), so a
// peak is never lost however many samples share a column, and a trace with
// one sample per column is drawn as before.
//
// Pieces are cut to the columns left .. right, so that far-away points (a
// fine time base over a long recording) stay within what a painter draws.
// A piece that does not start where the previous one ended starts a new
// polyline.
class TracePath {
public:
    TracePath(int left, int right) : left_(left), right_(right) {}
    void piece(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2);
    // Ends the current polyline; the next piece starts a new one.
    void breakRun();
    // The polylines, each at least two points, or one point drawn as a dot
    // when a piece has no length.
    const std::vector<std::vector<PlotPoint>>& runs();
    void clear();

private:
    void add(PlotPoint p);
    void flushColumn();

    int left_;
    int right_;
    std::vector<std::vector<PlotPoint>> runs_;
    bool open_ = false;       // a run is being built
    PlotPoint end_{0, 0};     // where the run's last piece ended
    bool columnOpen_ = false;  // the column below holds points not yet written
    int columnX_ = 0;
    int first_ = 0, last_ = 0, low_ = 0, high_ = 0;
    bool lowFirst_ = true;  // the lowest y came before the highest
};

// The time axis zoom, as tenths of a millisecond per pixel. A time scale of
// factor 100 / 10 has divisor tenths per pixel, one of 1 / 10 has 100 times
// its divisor, and the window's first scale (1 / 1, divisor 300) has 3000.
std::int64_t tenthsPerPixel(int numerator, int denominator, int divisor);

struct ScaleChoice {
    int numerator;
    int denominator;
    int divisor;
};
// The time scale for t tenths of a millisecond per pixel (at least 1, at
// most what a divisor holds): factor 1 / 10 where t is a multiple of 100,
// so the named time bases come out as their own items; else 100 / 10.
ScaleChoice scaleForTenths(std::int64_t tenths);

// t zoomed by steps (positive: in, negative: out), 5/4 a step, moving by at
// least one tenth a step and staying within what a scale holds.
std::int64_t zoomTenths(std::int64_t tenths, int steps);

// The tenths per pixel that fit spans of leftMs before and rightMs after
// the centre line into leftPx and rightPx pixels (rounded up, at least 1).
std::int64_t fitTenths(std::int64_t leftMs, std::int64_t rightMs, int leftPx, int rightPx);

constexpr std::int64_t kMaxTenthsPerPixel = 2000000000;

}  // namespace zelt
