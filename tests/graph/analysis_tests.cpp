// The graph window's interval analysis on its own: series statistics, the
// acceleration vector's peak, regular sample times and the amplitude
// spectrum. Every expected value is worked out by hand in the comments.
#include "graph/Analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <optional>
#include <thread>
#include <vector>

using namespace zelt;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDt = 0.005;  // the logger's 5 ms (200 Hz) sampling

// A sin(2 pi f i dt) + offset for i = 0 .. n-1.
std::vector<double> sine(std::size_t n, double amplitude, double hz, double dt = kDt, double offset = 0)
{
    std::vector<double> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = offset + amplitude * std::sin(2.0 * kPi * hz * static_cast<double>(i) * dt);
    return v;
}

// The largest amplitude outside the bins [from, to].
double largestOutside(const std::vector<double>& amplitude, std::size_t from, std::size_t to)
{
    double largest = 0;
    for (std::size_t k = 0; k < amplitude.size(); ++k) {
        if (k < from || k > to)
            largest = std::max(largest, amplitude[k]);
    }
    return largest;
}

// ---------------------------------------------------------------------------
// Series statistics

struct StatsCase {
    const char* name;
    std::vector<double> values;
    double mean, rms, stdDev, max, min, peakToPeak, crest;
};

TEST(SeriesStats, HandWorkedFixtures)
{
    const StatsCase cases[] = {
        // {1,-2,3,4}: sum 6 -> mean 1.5; squares 1+4+9+16 = 30 -> rms sqrt(7.5);
        // deviations -0.5,-3.5,1.5,2.5 -> squares 0.25+12.25+2.25+6.25 = 21,
        // /4 = 5.25; p-p 4-(-2) = 6; crest max(4,2)/rms.
        {"mixed signs", {1, -2, 3, 4}, 1.5, std::sqrt(7.5), std::sqrt(5.25), 4, -2, 6, 4 / std::sqrt(7.5)},
        // {-5,1,2}: mean -2/3; squares 25+1+4 = 30 -> rms sqrt(10);
        // variance 10 - 4/9 = 86/9; the crest takes |min| = 5: 5/sqrt(10).
        {"minimum is the peak", {-5, 1, 2}, -2.0 / 3, std::sqrt(10.0), std::sqrt(86.0 / 9), 2, -5, 7,
         5 / std::sqrt(10.0)},
        // One sample: the mean is it, rms its magnitude, no spread, crest 1.
        {"one sample", {-0.7}, -0.7, 0.7, 0, -0.7, -0.7, 0, 1},
    };
    for (const StatsCase& c : cases) {
        SCOPED_TRACE(c.name);
        const SeriesStats s = seriesStats(c.values.data(), c.values.size());
        EXPECT_EQ(s.count, c.values.size());
        EXPECT_NEAR(s.mean, c.mean, 1e-12);
        EXPECT_NEAR(s.rms, c.rms, 1e-12);
        EXPECT_NEAR(s.stdDev, c.stdDev, 1e-12);
        EXPECT_EQ(s.max, c.max);
        EXPECT_EQ(s.min, c.min);
        EXPECT_EQ(s.peakToPeak, c.peakToPeak);
        EXPECT_NEAR(s.crestFactor, c.crest, 1e-12);
    }
}

TEST(SeriesStats, EmptySeriesIsAllZero)
{
    const SeriesStats s = seriesStats(nullptr, 0);
    EXPECT_EQ(s.count, 0u);
    EXPECT_EQ(s.max, 0);
    EXPECT_EQ(s.min, 0);
    EXPECT_EQ(s.mean, 0);
    EXPECT_EQ(s.rms, 0);
    EXPECT_EQ(s.stdDev, 0);
    EXPECT_EQ(s.peakToPeak, 0);
    EXPECT_EQ(s.crestFactor, 0);
}

TEST(SeriesStats, LargeOffsetDoesNotSwampTheDeviation)
{
    // 1e9 + {1,-2,3,4}: the same deviations as the fixture above, so the
    // standard deviation is still sqrt(5.25). Squares near 1e18 carry an ulp
    // of 128, so the shortcut mean(v^2) - mean^2 would lose it entirely.
    const double offset = 1e9;
    const std::vector<double> v = {offset + 1, offset - 2, offset + 3, offset + 4};
    const SeriesStats s = seriesStats(v.data(), v.size());
    EXPECT_EQ(s.mean, offset + 1.5);
    EXPECT_NEAR(s.stdDev, std::sqrt(5.25), 1e-12);
    EXPECT_EQ(s.peakToPeak, 6);
}

// ---------------------------------------------------------------------------
// A constant series: statistics and spectrum

struct ConstantCase {
    double c;
    std::size_t n;
};

TEST(ConstantSeries, StatisticsAndSpectrum)
{
    const ConstantCase cases[] = {{0.25, 1000}, {-1.3, 1000}, {-1.3, 999}, {1000.0, 2000}, {0.0, 64}};
    for (const ConstantCase& k : cases) {
        SCOPED_TRACE(testing::Message() << "c = " << k.c << ", n = " << k.n);
        const std::vector<double> v(k.n, k.c);
        const double magnitude = std::fabs(k.c);

        const SeriesStats s = seriesStats(v.data(), v.size());
        EXPECT_EQ(s.mean, k.c);
        EXPECT_EQ(s.rms, magnitude);
        EXPECT_EQ(s.stdDev, 0);
        EXPECT_EQ(s.peakToPeak, 0);
        EXPECT_EQ(s.crestFactor, k.c == 0 ? 0.0 : 1.0);  // rms 0 gives crest 0

        const Spectrum sp = amplitudeSpectrum(v.data(), v.size(), kDt);
        ASSERT_EQ(sp.amplitude.size(), k.n / 2 + 1);
        EXPECT_NEAR(sp.amplitude[0], magnitude, 1e-12 * magnitude);
        for (std::size_t b = 1; b < sp.amplitude.size(); ++b)
            ASSERT_LE(sp.amplitude[b], 1e-12 * magnitude) << "bin " << b;
        EXPECT_EQ(sp.dominantHz, 0);
        EXPECT_EQ(sp.dominantAmplitude, 0);
    }
}

// ---------------------------------------------------------------------------
// A sine sampled at 5 ms

TEST(SineSeries, OnBinSineReadsItsAmplitude)
{
    // 12.5 Hz at 5 ms: 16 samples a period, 2000 samples = 125 whole periods.
    // Samples 4 and 12 of each period sit on +A and -A, so p-p is 2A; over
    // whole periods the mean square is A^2/2 exactly, so rms = A/sqrt(2) and
    // the crest factor sqrt(2). binHz = 1/(2000 * 0.005 s) = 0.1 Hz, the tone
    // sits on bin 125. The periodic Hann window spreads it into bins 124 and
    // 126 at A/2 each and nowhere else.
    const double a = 0.8;
    const std::vector<double> v = sine(2000, a, 12.5);

    const SeriesStats s = seriesStats(v.data(), v.size());
    EXPECT_NEAR(s.rms, a / std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(s.peakToPeak, 2 * a, 1e-12);
    EXPECT_NEAR(s.crestFactor, std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(s.mean, 0, 1e-12);

    const Spectrum sp = amplitudeSpectrum(v.data(), v.size(), kDt);
    EXPECT_EQ(sp.sampleCount, 2000u);
    ASSERT_EQ(sp.amplitude.size(), 1001u);
    EXPECT_NEAR(sp.binHz, 0.1, 1e-12);
    EXPECT_NEAR(sp.dominantHz, 12.5, 1e-9);
    EXPECT_NEAR(sp.dominantAmplitude, a, 1e-9 * a);
    EXPECT_NEAR(sp.amplitude[125], a, 1e-9 * a);
    EXPECT_NEAR(sp.amplitude[124], a / 2, 1e-9 * a);
    EXPECT_NEAR(sp.amplitude[126], a / 2, 1e-9 * a);
    EXPECT_LE(largestOutside(sp.amplitude, 124, 126), 1e-9 * a);
}

TEST(SineSeries, OffBinSineStaysWithinItsBounds)
{
    // 13.33 Hz at 5 ms: the phase advances 2 pi * 0.06665 = 0.41878 rad a
    // sample, so some sample lies within half of that, 0.20939 rad, of every
    // crest and trough: cos(0.20939) = 0.97816 <= max/A <= 1, same for -min.
    // 2000 samples are no whole number of periods: the mean square is
    // A^2/2 (1 - sum(cos 2 phi_i)/n), and that cosine sum is bounded by
    // 1/sin(0.41878) = 2.46, so rms is A/sqrt(2) within 2.46/2000/2 = 6.2e-4
    // relative. The tone lies 0.3 of a bin above bin 133 (13.3 Hz), where the
    // Hann response is sinc(0.3)/(1 - 0.3^2) = 0.85839/0.91 = 0.94329 of A.
    const double a = 0.8, hz = 13.33;
    const std::vector<double> v = sine(2000, a, hz);
    const double nearCrest = std::cos(kPi * hz * kDt);
    const double rmsTolerance = 6.3e-4;

    const SeriesStats s = seriesStats(v.data(), v.size());
    EXPECT_NEAR(s.rms, a / std::sqrt(2.0), rmsTolerance * a / std::sqrt(2.0));
    EXPECT_GE(s.max, a * nearCrest);
    EXPECT_LE(s.max, a);
    EXPECT_LE(s.min, -a * nearCrest);
    EXPECT_GE(s.min, -a);
    EXPECT_GE(s.peakToPeak, 2 * a * nearCrest);
    EXPECT_LE(s.peakToPeak, 2 * a);
    EXPECT_GE(s.crestFactor, std::sqrt(2.0) * nearCrest / (1 + rmsTolerance));
    EXPECT_LE(s.crestFactor, std::sqrt(2.0) / (1 - rmsTolerance));

    const Spectrum sp = amplitudeSpectrum(v.data(), v.size(), kDt);
    EXPECT_LE(std::fabs(sp.dominantHz - hz), sp.binHz);
    EXPECT_NEAR(sp.dominantHz, 13.3, 1e-9);
    EXPECT_NEAR(sp.dominantAmplitude, 0.94329 * a, 1e-4 * a);
}

// ---------------------------------------------------------------------------
// Two sines on an offset

struct TwoSinesCase {
    double offset;
    double a1, hz1;  // bin 125 at 0.1 Hz a bin
    double a2, hz2;  // bin 400
    double dominantHz, dominantAmplitude;
};

TEST(Spectrum, TwoSinesOnAnOffset)
{
    // 40 Hz at 5 ms is 5 samples a period, 400 whole periods in 2000 samples.
    // The offset (gravity on a resting axis) reads at bin 0 only; without the
    // mean taken out of the non-DC bins the window would also put it at bin 1
    // at full size and make it the dominant.
    const TwoSinesCase cases[] = {
        {1.0, 0.8, 12.5, 0.3, 40.0, 12.5, 0.8},
        {-1.0, 0.2, 12.5, 0.5, 40.0, 40.0, 0.5},
    };
    for (const TwoSinesCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "offset " << c.offset << ", dominant " << c.dominantHz);
        std::vector<double> v = sine(2000, c.a1, c.hz1, kDt, c.offset);
        const std::vector<double> second = sine(2000, c.a2, c.hz2);
        for (std::size_t i = 0; i < v.size(); ++i)
            v[i] += second[i];

        const Spectrum sp = amplitudeSpectrum(v.data(), v.size(), kDt);
        ASSERT_EQ(sp.amplitude.size(), 1001u);
        EXPECT_NEAR(sp.amplitude[0], std::fabs(c.offset), 1e-9);
        EXPECT_LE(sp.amplitude[1], 1e-9);
        EXPECT_NEAR(sp.amplitude[125], c.a1, 1e-9);
        EXPECT_NEAR(sp.amplitude[400], c.a2, 1e-9);
        EXPECT_NEAR(sp.dominantHz, c.dominantHz, 1e-9);
        EXPECT_NEAR(sp.dominantAmplitude, c.dominantAmplitude, 1e-9);
    }
}

// ---------------------------------------------------------------------------
// Short series, bad intervals and the size limit

struct TinyCase {
    const char* name;
    std::vector<double> values;
    double dt;
    double binHz;
    std::vector<double> amplitude;
    double dominantHz, dominantAmplitude;
};

TEST(Spectrum, ShortSeries)
{
    const TinyCase cases[] = {
        {"empty", {}, kDt, 0, {}, 0, 0},
        // One sample: window {1}, only the DC, |v0|; binHz 1/(1 * 0.005).
        {"one sample", {-0.4}, kDt, 200, {0.4}, 0, 0},
        // Hann of 2 is {0, 1} (sum 1): bin 0 = v1 = 3; mean 2, deviations
        // windowed {0, 1}, X[1] = 0 - 1 -> |X[1]|/1 = 1. Too short for a dominant.
        {"two samples", {1, 3}, kDt, 100, {3, 1}, 0, 0},
        // Hann of 3 is {0, .75, .75} (sum 1.5): bin 0 = (1.5 + 1.5)/1.5 = 2;
        // mean 3, windowed deviations {0, -.75, -.75},
        // X[1] = -.75 (e^{-2pi i/3} + e^{-4pi i/3}) = .75, m odd so bin 1 doubles:
        // 2 * .75 / 1.5 = 1. binHz 1/(3 * 0.01).
        {"three samples", {5, 2, 2}, 0.01, 1 / 0.03, {2, 1}, 0, 0},
        // Hann of 4 is {0, .5, 1, .5} (sum 2); {0,1,0,-1} windowed is
        // {0, .5, 0, -.5}: X[1] = .5(-i) - .5(i) = -i -> 2 * 1 / 2 = 1;
        // X[2] = -.5 + .5 = 0. At 0.25 s a bin is 1 Hz: a 1 Hz tone of 1.
        {"four samples", {0, 1, 0, -1}, 0.25, 1, {0, 1, 0}, 1, 1},
    };
    for (const TinyCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Spectrum sp = amplitudeSpectrum(c.values.data(), c.values.size(), c.dt);
        EXPECT_EQ(sp.sampleCount, c.values.size());
        EXPECT_NEAR(sp.binHz, c.binHz, 1e-9);
        ASSERT_EQ(sp.amplitude.size(), c.amplitude.size());
        for (std::size_t k = 0; k < c.amplitude.size(); ++k)
            EXPECT_NEAR(sp.amplitude[k], c.amplitude[k], 1e-12) << "bin " << k;
        EXPECT_NEAR(sp.dominantHz, c.dominantHz, 1e-12);
        EXPECT_NEAR(sp.dominantAmplitude, c.dominantAmplitude, 1e-12);
    }
}

TEST(Spectrum, IntervalThatIsNoPositiveNumberGivesNoSpectrum)
{
    const std::vector<double> v = sine(64, 1.0, 12.5);
    const double intervals[] = {0.0, -kDt, std::numeric_limits<double>::quiet_NaN(),
                                std::numeric_limits<double>::infinity()};
    for (const double dt : intervals) {
        SCOPED_TRACE(testing::Message() << "dt = " << dt);
        const Spectrum sp = amplitudeSpectrum(v.data(), v.size(), dt);
        EXPECT_TRUE(sp.amplitude.empty());
        EXPECT_EQ(sp.binHz, 0);
        EXPECT_EQ(sp.sampleCount, 0u);
        EXPECT_EQ(sp.dominantHz, 0);
        EXPECT_EQ(sp.dominantAmplitude, 0);
    }
}

TEST(Spectrum, LongSeriesIsCutToTheLimit)
{
    // The first kMaxSpectrumSamples samples are a whole-period 12.5 Hz sine
    // of 0.8 G with no offset; after them come 4096 samples of 1000 G. If
    // the tail were taken in, bin 0 would read about 1 G and the bin size
    // would change. Cut: binHz = 1/(2^22 * 0.005 s), 12.5 Hz is bin 2^22/16.
    const std::size_t extra = 4096;
    std::vector<double> v = sine(kMaxSpectrumSamples, 0.8, 12.5);
    v.resize(kMaxSpectrumSamples + extra, 1000.0);

    const Spectrum sp = amplitudeSpectrum(v.data(), v.size(), kDt);
    EXPECT_EQ(sp.sampleCount, kMaxSpectrumSamples);
    ASSERT_EQ(sp.amplitude.size(), kMaxSpectrumSamples / 2 + 1);
    EXPECT_NEAR(sp.binHz, 1.0 / (static_cast<double>(kMaxSpectrumSamples) * kDt), 1e-15);
    EXPECT_LE(sp.amplitude[0], 1e-9);
    EXPECT_NEAR(sp.amplitude[kMaxSpectrumSamples / 16], 0.8, 1e-9);
    EXPECT_NEAR(sp.dominantHz, 12.5, 1e-9);
    EXPECT_NEAR(sp.dominantAmplitude, 0.8, 1e-9);
}

TEST(Spectrum, ConcurrentCallsAgree)
{
    // Threads plan and free transforms of different lengths at the same time;
    // each must still read its own on-bin tone: a sine with a period of 16
    // samples over n = 16 p samples lies on bin p.
    const std::size_t lengths[] = {1024, 1600, 2000, 4096};
    std::vector<std::thread> threads;
    std::vector<int> wrong(std::size(lengths), 0);
    for (std::size_t t = 0; t < std::size(lengths); ++t) {
        threads.emplace_back([&, t] {
            const std::size_t n = lengths[t];
            const std::vector<double> v = sine(n, 0.5, 12.5);
            for (int round = 0; round < 25; ++round) {
                const Spectrum sp = amplitudeSpectrum(v.data(), v.size(), kDt);
                if (sp.amplitude.size() != n / 2 + 1 || std::fabs(sp.amplitude[n / 16] - 0.5) > 1e-9
                    || std::fabs(sp.dominantHz - 12.5) > 1e-9)
                    ++wrong[t];
            }
        });
    }
    for (std::thread& th : threads)
        th.join();
    for (std::size_t t = 0; t < std::size(lengths); ++t)
        EXPECT_EQ(wrong[t], 0) << "length " << lengths[t];
}

// ---------------------------------------------------------------------------
// Peak of the acceleration vector

struct PeakCase {
    const char* name;
    std::vector<double> x, y, z;
    double value;
    long index;
};

TEST(MagnitudePeak, HandWorkedFixtures)
{
    const PeakCase cases[] = {
        {"empty", {}, {}, {}, 0, -1},
        // |(1,0,0)| = 1, |(3,4,0)| = 5, |(0,1,1)| = sqrt(2).
        {"3-4-5", {1, 3, 0}, {0, 4, 1}, {0, 0, 1}, 5, 1},
        // 5, 5 and 5 from (0,0,5), (3,4,0), (-3,-4,0): the first stays.
        {"ties keep the first", {0.5, 0, 3, -3}, {0, 0, 4, -4}, {0, 5, 0, 0}, 5, 1},
        // (-2,-3,-6): sqrt(4+9+36) = 7 beats (1,1,1) = sqrt(3).
        {"negative components", {1, -2}, {1, -3}, {1, -6}, 7, 1},
        // (6,0,0) has the largest single axis, (4,4,4) the larger vector:
        // sqrt(48) = 6.928.
        {"vector, not axis", {6, 4}, {0, 4}, {0, 4}, std::sqrt(48.0), 1},
        {"all zero", {0, 0}, {0, 0}, {0, 0}, 0, 0},
    };
    for (const PeakCase& c : cases) {
        SCOPED_TRACE(c.name);
        const MagnitudePeak p = magnitudePeak(c.x.data(), c.y.data(), c.z.data(), c.x.size());
        EXPECT_EQ(p.index, c.index);
        EXPECT_NEAR(p.value, c.value, 1e-12);
    }
}

// ---------------------------------------------------------------------------
// Regular sample times

struct IntervalCase {
    const char* name;
    std::vector<std::int64_t> timesMs;
    std::optional<double> seconds;
};

TEST(RegularSamplingInterval, Cases)
{
    const IntervalCase cases[] = {
        {"5 ms steps", {0, 5, 10, 15, 20}, 0.005},
        {"two samples, one step", {100, 105}, 0.005},
        // Steps 5,6,5,5: median 5, 6 is 1 ms off, within the 1 ms floor.
        // Mean step 21/4 ms.
        {"one 6 ms step among 5 ms", {0, 5, 11, 16, 21}, 0.00525},
        {"one 4 ms step among 5 ms", {0, 5, 9, 14, 19}, 0.00475},
        // Steps 5,7,5,5: 7 is 2 ms off.
        {"one 7 ms step among 5 ms", {0, 5, 12, 17, 22}, std::nullopt},
        {"one 10 ms step among 5 ms", {0, 5, 15, 20, 25}, std::nullopt},
        // Steps 5,7,5,7: the median is the lower middle, 5; 7 is 2 ms off.
        {"alternating 5 and 7 ms", {0, 5, 12, 17, 24}, std::nullopt},
        {"zero step", {0, 5, 5, 10}, std::nullopt},
        {"backward step", {0, 5, 4, 10}, std::nullopt},
        {"single sample", {1000}, std::nullopt},
        {"no sample", {}, std::nullopt},
        {"10 minute steps", {0, 600000, 1200000, 1800000}, 600.0},
        // 1 % of 600000 ms is 6000 ms: a 605 s step passes; mean 1805 s / 3.
        {"10 minutes, 5 s late once", {0, 600000, 1205000, 1805000}, 1805.0 / 3},
        {"10 minutes, 7 s late once", {0, 600000, 1207000, 1807000}, std::nullopt},
        // Median 200000 ms, tolerance exactly 2000 ms.
        {"1 % edge, inside", {0, 200000, 402000, 602000}, 602.0 / 3},
        {"1 % edge, just outside", {0, 200000, 402001, 602001}, std::nullopt},
        // Times from a late midnight offset: only the steps matter.
        {"large start time", {1'000'000'000'000, 1'000'000'000'005, 1'000'000'000'010}, 0.005},
    };
    for (const IntervalCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<double> got = regularSamplingInterval(c.timesMs.data(), c.timesMs.size());
        ASSERT_EQ(got.has_value(), c.seconds.has_value());
        if (got) {
            EXPECT_NEAR(*got, *c.seconds, 1e-12 * *c.seconds);
        }
    }
}

}  // namespace
