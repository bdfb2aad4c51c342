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

void TracePath::piece(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2)
{
    PlotPoint a{0, 0}, b{0, 0};
    if (x1 >= left_ && x1 <= right_ && x2 >= left_ && x2 <= right_) {
        a = {static_cast<int>(x1), static_cast<int>(std::clamp<std::int64_t>(y1, -1000000, 1000000))};
        b = {static_cast<int>(x2), static_cast<int>(std::clamp<std::int64_t>(y2, -1000000, 1000000))};
    } else {
        if (std::max(x1, x2) < left_ || std::min(x1, x2) > right_) {
            breakRun();
            return;
        }
        // Cut at the edges, keeping the piece's direction.
        const auto cut = [&](std::int64_t x, std::int64_t y, std::int64_t ox, std::int64_t oy) {
            if (x >= left_ && x <= right_)
                return PlotPoint{static_cast<int>(x), static_cast<int>(std::clamp<std::int64_t>(y, -1000000, 1000000))};
            const std::int64_t edge = x < left_ ? left_ : right_;
            const double yAt = double(oy) + double(y - oy) * double(edge - ox) / double(x - ox);
            return PlotPoint{static_cast<int>(edge), roundToInt(std::clamp(yAt, -1e6, 1e6))};
        };
        a = cut(x1, y1, x2, y2);
        b = cut(x2, y2, x1, y1);
    }
    if (!open_ || !(a == end_)) {
        breakRun();
        runs_.emplace_back();
        open_ = true;
        add(a);
    }
    add(b);
    end_ = b;
}

void TracePath::add(PlotPoint p)
{
    if (columnOpen_ && p.x == columnX_) {
        last_ = p.y;
        if (p.y < low_) {
            low_ = p.y;
            lowFirst_ = false;
        }
        if (p.y > high_) {
            high_ = p.y;
            lowFirst_ = true;
        }
        return;
    }
    flushColumn();
    columnOpen_ = true;
    columnX_ = p.x;
    first_ = last_ = low_ = high_ = p.y;
    lowFirst_ = true;
}

void TracePath::flushColumn()
{
    if (!columnOpen_)
        return;
    columnOpen_ = false;
    std::vector<PlotPoint>& run = runs_.back();
    const auto put = [&run, this](int y) {
        const PlotPoint p{columnX_, y};
        if (run.empty() || !(run.back() == p))
            run.push_back(p);
    };
    // lowFirst_ tells which extreme was reached last; the other comes first.
    put(first_);
    if (lowFirst_) {
        put(low_);
        put(high_);
    } else {
        put(high_);
        put(low_);
    }
    put(last_);
}

void TracePath::breakRun()
{
    flushColumn();
    open_ = false;
}

const std::vector<std::vector<PlotPoint>>& TracePath::runs()
{
    breakRun();
    return runs_;
}

void TracePath::clear()
{
    runs_.clear();
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
