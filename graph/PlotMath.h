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

struct PlotLine {
    PlotPoint from;
    PlotPoint to;
};

// The line pieces of one trace in one colour, reduced to the lines a
// painter needs: where several points fall in one pixel column, one
// vertical line from the lowest to the highest of them, and the piece from
// the last point of a column to the first of the next. Drawn as 1-pixel
// lines these cover exactly the pixels the pieces themselves cover (inside
// a column the pieces join into one vertical stretch; across columns the
// pieces are kept), so a peak is never lost however many samples share a
// column, and the picture is the pieces' picture, with at most two lines a
// column.
//
// Pieces are cut to the columns left .. right, so that far-away points (a
// fine time base over a long recording) stay within what a painter draws.
// A piece that does not start where the previous one ended starts a new
// run. The buffers keep their memory over clear(), so a frame after the
// first allocates nothing.
class TracePath {
public:
    TracePath(int left, int right) : left_(left), right_(right) {}
    void piece(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2)
    {
        // The common case inline: the piece goes on from where the last one
        // ended, and stays inside.
        if (open_ && x1 == end_.x && y1 == end_.y && x2 >= left_ && x2 <= right_ && y2 >= -kMaxY && y2 <= kMaxY) {
            // From a local, not from end_: reading back the two halves just
            // stored as one word stalls the processor.
            const PlotPoint p{static_cast<int>(x2), static_cast<int>(y2)};
            end_ = p;
            add(p);
            return;
        }
        startPiece(x1, y1, x2, y2);
    }
    // Ends the current run; the next piece starts a new one.
    void breakRun()
    {
        if (open_)
            endRun();
    }
    // The lines to draw (a run of one point gives a line of no length).
    const std::vector<PlotLine>& lines();
    void clear();
    void setColumns(int left, int right)
    {
        left_ = left;
        right_ = right;
    }

private:
    static constexpr std::int64_t kMaxY = 1000000;
    void startPiece(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2);
    void add(PlotPoint p)
    {
        if (columnOpen_ && p.x == columnX_) {
            last_ = p.y;
            low_ = p.y < low_ ? p.y : low_;
            high_ = p.y > high_ ? p.y : high_;
            return;
        }
        nextColumn(p);
    }
    void nextColumn(PlotPoint p);
    void endRun();
    void flushColumn();

    int left_;
    int right_;
    std::vector<PlotLine> lines_;
    bool open_ = false;        // a run is being built
    PlotPoint end_{0, 0};      // where the run's last piece ended
    std::size_t runStart_ = 0; // lines_ size when the run began
    bool columnOpen_ = false;  // the column below holds points
    int columnX_ = 0;
    int last_ = 0, low_ = 0, high_ = 0;
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
