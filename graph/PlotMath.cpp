#include "graph/PlotMath.h"

#include <algorithm>
#include <cmath>

namespace zelt {

PixelScale::PixelScale(int numerator, int denominator, int divisor)
    : numerator_(numerator),
      divisor_(std::max<std::int64_t>(1, std::int64_t(denominator) * divisor)),
      reciprocal_(1.0 / static_cast<double>(divisor_))
{
}

namespace {

// Rounds half away from zero, as a painter's integer line does.
int roundToInt(double v) { return static_cast<int>(std::lround(v)); }

}  // namespace

void TracePath::startPiece(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2)
{
    const auto inside = [this](std::int64_t x) { return x >= left_ && x <= right_; };
    const auto clampY = [](std::int64_t y) { return static_cast<int>(std::clamp<std::int64_t>(y, -kMaxY, kMaxY)); };
    PlotPoint a{0, 0}, b{0, 0};
    if (inside(x1) && inside(x2)) {
        a = {static_cast<int>(x1), clampY(y1)};
        b = {static_cast<int>(x2), clampY(y2)};
    } else {
        if (std::max(x1, x2) < left_ || std::min(x1, x2) > right_) {
            breakRun();
            return;
        }
        // Cut at the edges, keeping the piece's direction.
        const auto cut = [&](std::int64_t x, std::int64_t y, std::int64_t ox, std::int64_t oy) {
            if (inside(x))
                return PlotPoint{static_cast<int>(x), clampY(y)};
            const std::int64_t edge = x < left_ ? left_ : right_;
            const double yAt = double(oy) + double(y - oy) * double(edge - ox) / double(x - ox);
            return PlotPoint{static_cast<int>(edge), roundToInt(std::clamp(yAt, -1e6, 1e6))};
        };
        a = cut(x1, y1, x2, y2);
        b = cut(x2, y2, x1, y1);
    }
    if (!open_ || !(a == end_)) {
        breakRun();
        open_ = true;
        runStart_ = lines_.size();
        add(a);
    }
    add(b);
    end_ = b;
}

void TracePath::nextColumn(PlotPoint p)
{
    if (columnOpen_) {
        flushColumn();
        // The piece from the column's last point to the next column.
        lines_.push_back({{columnX_, last_}, p});
    }
    columnOpen_ = true;
    columnX_ = p.x;
    last_ = low_ = high_ = p.y;
}

void TracePath::flushColumn()
{
    if (columnOpen_ && low_ < high_)
        lines_.push_back({{columnX_, low_}, {columnX_, high_}});
}

void TracePath::endRun()
{
    flushColumn();
    if (lines_.size() == runStart_ && columnOpen_)
        lines_.push_back({{columnX_, last_}, {columnX_, last_}});  // a piece of no length: its dot
    columnOpen_ = false;
    open_ = false;
}

const std::vector<PlotLine>& TracePath::lines()
{
    breakRun();
    return lines_;
}

void TracePath::clear()
{
    lines_.clear();
    open_ = false;
    columnOpen_ = false;
}

std::int64_t tenthsPerPixel(int numerator, int denominator, int divisor)
{
    const std::int64_t t = std::int64_t(denominator) * divisor * 10 / std::max(1, numerator);
    return std::clamp<std::int64_t>(t, 1, kMaxTenthsPerPixel);
}

ScaleChoice scaleForTenths(std::int64_t tenths)
{
    const std::int64_t t = std::clamp<std::int64_t>(tenths, 1, kMaxTenthsPerPixel);
    if (t % 100 == 0)
        return {1, 10, static_cast<int>(t / 100)};
    return {100, 10, static_cast<int>(t)};
}

std::int64_t zoomTenths(std::int64_t tenths, int steps)
{
    double t = static_cast<double>(std::clamp<std::int64_t>(tenths, 1, kMaxTenthsPerPixel));
    std::int64_t result = tenths;
    for (int i = 0; i < std::abs(steps); ++i) {
        const double next = steps > 0 ? t * 0.8 : t * 1.25;
        std::int64_t rounded = std::llround(next);
        if (steps > 0 && rounded >= result)
            rounded = result - 1;
        if (steps < 0 && rounded <= result)
            rounded = result + 1;
        result = std::clamp<std::int64_t>(rounded, 1, kMaxTenthsPerPixel);
        t = static_cast<double>(result);
    }
    return result;
}

std::int64_t fitTenths(std::int64_t leftMs, std::int64_t rightMs, int leftPx, int rightPx)
{
    const auto need = [](std::int64_t ms, int px) -> std::int64_t {
        if (ms <= 0)
            return 1;
        if (px <= 0)
            return kMaxTenthsPerPixel;
        return (ms * 10 + px - 1) / px;
    };
    return std::clamp<std::int64_t>(std::max(need(leftMs, leftPx), need(rightMs, rightPx)), 1, kMaxTenthsPerPixel);
}

}  // namespace zelt
