#pragma once
// The numbers behind the graph window's interval analysis, free of any
// widget toolkit: statistics of one series, the peak of the acceleration
// vector, whether the sample times are regular, and the amplitude spectrum
// of a series taken at a regular interval.
//
// All values are in the caller's unit (G for the acceleration axes) and are
// expected to be finite; the functions do not check for NaN or infinity.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace zelt {

// Statistics of one series of values (in the caller's unit, e.g. G).
struct SeriesStats {
    std::size_t count = 0;
    double max = 0, min = 0, mean = 0;
    double rms = 0;          // sqrt(mean of squares)
    double stdDev = 0;       // population standard deviation, sqrt(mean((v-mean)^2))
    double peakToPeak = 0;   // max - min
    double crestFactor = 0;  // max(|max|,|min|) / rms; 0 when rms is 0
};

// n == 0 gives all zeros. The standard deviation is computed in two passes
// (mean first, then the squared deviations from it, with the rounding of the
// mean corrected), so a large common offset does not swamp it. When all
// values are equal the mean is that value exactly and the deviation 0.
SeriesStats seriesStats(const double* values, std::size_t n);

// The peak of the vector magnitude sqrt(x²+y²+z²) over n samples: its value
// and the index where it occurs (the first one on ties). n == 0 gives {0, -1}.
struct MagnitudePeak {
    double value = 0;
    long index = -1;
};
MagnitudePeak magnitudePeak(const double* x, const double* y, const double* z, std::size_t n);

// Whether the sample times (ms, in recording order) are regular: at least two
// samples, every step > 0, and every step within max(1 ms, 1 % of the median
// step) of the median step. The 1 ms floor is the timestamps' resolution.
// With an even number of steps the median is the lower of the two middle
// steps, so it is always a step that occurs in the record.
// Returns the sampling interval in seconds -- the mean step,
// (t[n-1] - t[0]) / (n-1) / 1000 -- or std::nullopt when not regular.
std::optional<double> regularSamplingInterval(const std::int64_t* timesMs, std::size_t n);

// The spectrum is taken over at most this many samples (about 5.8 hours at
// 5 ms); a longer series is cut to its first kMaxSpectrumSamples samples.
inline constexpr std::size_t kMaxSpectrumSamples = std::size_t{1} << 22;

// One-sided amplitude spectrum of a Hann-windowed series, in the unit of the
// values (G in, G out).
//
// With m = min(n, kMaxSpectrumSamples) samples transformed:
//   amplitude[k] for k = 0 .. m/2, frequency of bin k = k * binHz,
//   binHz = 1 / (m * sampleIntervalSeconds).
//
// Window: the periodic Hann window w[i] = 0.5 - 0.5 cos(2*pi*i/m), whose sum
// is exactly m/2. It is the form whose transform is zero beyond the two bins
// next to a tone that sits exactly on a bin, so such a sine of amplitude A
// reads exactly A at its bin (A/2 at the two neighbours, 0 elsewhere).
// A one-sample series uses the window {1}.
//
// Scaling: amplitude[k] = 2 |X[k]| / sum(w) for 0 < k < m/2 (and for k = m/2
// when m is odd); |X[k]| / sum(w) for k = 0 and for k = m/2 when m is even.
//
// The DC: amplitude[0] is |sum(w[i] v[i])| / sum(w), the window-weighted mean,
// so a constant c reads |c| there. The other bins are the transform of the
// windowed deviations from the plain mean: the window's own spectrum times the
// mean (which would put the full offset into bin 1 -- the 1 G of gravity on a
// resting axis, say) is left out, so a constant reads 0 everywhere but bin 0
// and an offset does not mask the vibration next to it.
//
// dominantHz / dominantAmplitude: the largest amplitude among bins 1 .. m/2
// (the lowest such bin on ties); both 0 when m < 4 or when every one of those
// bins is at most 1e-12 * max(1, amplitude[0]) (rounding noise).
//
// n == 0, or a sample interval that is not a finite positive number, gives an
// empty spectrum (no bins, binHz 0, sampleCount 0).
struct Spectrum {
    double binHz = 0;
    std::vector<double> amplitude;
    double dominantHz = 0;
    double dominantAmplitude = 0;
    std::size_t sampleCount = 0;  // samples transformed: min(n, kMaxSpectrumSamples)
};

// Thread-safe: the transform's planning, which FFTW does not allow on two
// threads at once, is serialised inside.
Spectrum amplitudeSpectrum(const double* values, std::size_t n, double sampleIntervalSeconds);

}  // namespace zelt
