#include "graph/Analysis.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <type_traits>

namespace zelt {

namespace {

constexpr double kPi = 3.14159265358979323846;

// FFTW's planner keeps global state: creating or destroying plans on two
// threads at once is not allowed, executing them is. Every plan this file
// makes goes through this lock.
std::mutex& plannerMutex()
{
    static std::mutex m;
    return m;
}

struct FftwFree {
    void operator()(void* p) const { fftw_free(p); }
};
template <typename T>
using FftwBuffer = std::unique_ptr<T[], FftwFree>;

template <typename T>
FftwBuffer<T> fftwAlloc(std::size_t count)
{
    FftwBuffer<T> buffer(static_cast<T*>(fftw_malloc(sizeof(T) * count)));
    if (!buffer)
        throw std::bad_alloc();
    return buffer;
}

struct PlanDestroy {
    void operator()(fftw_plan p) const
    {
        std::lock_guard<std::mutex> lock(plannerMutex());
        fftw_destroy_plan(p);
    }
};
using Plan = std::unique_ptr<std::remove_pointer_t<fftw_plan>, PlanDestroy>;

double meanOf(const double* values, std::size_t n)
{
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i)
        sum += values[i];
    return sum / static_cast<double>(n);
}

}  // namespace

SeriesStats seriesStats(const double* values, std::size_t n)
{
    SeriesStats s;
    if (n == 0)
        return s;
    s.count = n;

    double lo = values[0], hi = values[0];
    double sumSquares = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double v = values[i];
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        sumSquares += v * v;
    }
    s.min = lo;
    s.max = hi;
    s.peakToPeak = hi - lo;

    if (lo == hi) {
        // All values equal: no rounding may make the mean drift off the
        // value or the deviation come out other than 0.
        s.mean = lo;
        s.rms = std::fabs(lo);
        s.stdDev = 0;
    } else {
        const double count = static_cast<double>(n);
        const double mean = meanOf(values, n);
        // Second pass: squared deviations, and the sum of the deviations,
        // which would be 0 but for the mean's rounding and corrects it.
        double sumDev = 0, sumDevSquares = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double d = values[i] - mean;
            sumDev += d;
            sumDevSquares += d * d;
        }
        const double variance = (sumDevSquares - sumDev * sumDev / count) / count;
        s.mean = std::clamp(mean, lo, hi);
        s.rms = std::sqrt(sumSquares / count);
        s.stdDev = std::sqrt(std::max(variance, 0.0));
    }

    s.crestFactor = s.rms > 0 ? std::max(std::fabs(hi), std::fabs(lo)) / s.rms : 0.0;
    return s;
}

MagnitudePeak magnitudePeak(const double* x, const double* y, const double* z, std::size_t n)
{
    MagnitudePeak peak;
    double bestSquare = -1;
    for (std::size_t i = 0; i < n; ++i) {
        const double square = x[i] * x[i] + y[i] * y[i] + z[i] * z[i];
        if (square > bestSquare) {  // strict: the first of equal peaks stays
            bestSquare = square;
            peak.index = static_cast<long>(i);
        }
    }
    if (peak.index >= 0) {
        const std::size_t i = static_cast<std::size_t>(peak.index);
        peak.value = std::hypot(x[i], y[i], z[i]);
    }
    return peak;
}

std::optional<double> regularSamplingInterval(const std::int64_t* timesMs, std::size_t n)
{
    if (n < 2)
        return std::nullopt;

    std::vector<std::int64_t> steps(n - 1);
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const std::int64_t step = timesMs[i + 1] - timesMs[i];
        if (step <= 0)
            return std::nullopt;
        steps[i] = step;
    }

    std::vector<std::int64_t> sorted = steps;
    const auto middle = sorted.begin() + static_cast<std::ptrdiff_t>((sorted.size() - 1) / 2);
    std::nth_element(sorted.begin(), middle, sorted.end());
    const double median = static_cast<double>(*middle);
    const double tolerance = std::max(1.0, 0.01 * median);

    for (const std::int64_t step : steps) {
        if (std::fabs(static_cast<double>(step) - median) > tolerance)
            return std::nullopt;
    }

    const double span = static_cast<double>(timesMs[n - 1] - timesMs[0]);
    return span / static_cast<double>(n - 1) / 1000.0;
}

Spectrum amplitudeSpectrum(const double* values, std::size_t n, double sampleIntervalSeconds)
{
    Spectrum spectrum;
    if (n == 0 || !std::isfinite(sampleIntervalSeconds) || !(sampleIntervalSeconds > 0))
        return spectrum;

    const std::size_t m = std::min(n, kMaxSpectrumSamples);
    const std::size_t bins = m / 2 + 1;
    const double count = static_cast<double>(m);
    spectrum.sampleCount = m;
    spectrum.binHz = 1.0 / (count * sampleIntervalSeconds);

    // Periodic Hann window; its sum is m/2 exactly. One sample: window {1}.
    const double windowSum = m == 1 ? 1.0 : count / 2.0;
    const double mean = meanOf(values, m);

    FftwBuffer<double> in = fftwAlloc<double>(m);
    FftwBuffer<fftw_complex> out = fftwAlloc<fftw_complex>(bins);
    Plan plan;
    {
        std::lock_guard<std::mutex> lock(plannerMutex());
        // FFTW_ESTIMATE plans without touching the arrays, so they may be
        // filled afterwards.
        plan.reset(fftw_plan_dft_r2c_1d(static_cast<int>(m), in.get(), out.get(), FFTW_ESTIMATE));
    }
    if (!plan)
        throw std::runtime_error("amplitudeSpectrum: the transform could not be planned");

    // Transform the windowed deviations from the mean, then put the mean's
    // share back into bin 0 only: X[0] = sum(w (v - mean)) + mean sum(w).
    for (std::size_t i = 0; i < m; ++i) {
        const double w = m == 1 ? 1.0 : 0.5 - 0.5 * std::cos(2.0 * kPi * static_cast<double>(i) / count);
        in[i] = w * (values[i] - mean);
    }
    fftw_execute(plan.get());
    out[0][0] += mean * windowSum;

    spectrum.amplitude.resize(bins);
    for (std::size_t k = 0; k < bins; ++k) {
        const double magnitude = std::hypot(out[k][0], out[k][1]);
        const bool single = k == 0 || (m % 2 == 0 && k == m / 2);
        spectrum.amplitude[k] = (single ? 1.0 : 2.0) * magnitude / windowSum;
    }

    if (m >= 4) {
        const double noise = 1e-12 * std::max(1.0, spectrum.amplitude[0]);
        std::size_t best = 0;
        double bestAmplitude = noise;
        for (std::size_t k = 1; k < bins; ++k) {
            if (spectrum.amplitude[k] > bestAmplitude) {  // strict: lowest bin on ties
                bestAmplitude = spectrum.amplitude[k];
                best = k;
            }
        }
        if (best > 0) {
            spectrum.dominantHz = static_cast<double>(best) * spectrum.binHz;
            spectrum.dominantAmplitude = bestAmplitude;
        }
    }
    return spectrum;
}

}  // namespace zelt
