// What a sound card's output stage makes of our samples: a high-pass as its AC coupling does, and
// the share of the energy below a frequency; and the peaks of a decoded sound file.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <vector>

namespace kelvak::testing {

// Unsigned 8-bit samples as signed values around the zero level, -1 .. +1.
inline std::vector<double> centred(const std::vector<std::uint8_t>& samples) {
  std::vector<double> out(samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i) out[i] = (samples[i] - 128.0) / 128.0;
  return out;
}

// A first-order high-pass at `cornerHz`, the coupling capacitor of a line output.
inline std::vector<double> highPass(const std::vector<double>& x, double rate, double cornerHz) {
  const double rc = 1.0 / (2 * std::numbers::pi * cornerHz);
  const double a = rc / (rc + 1.0 / rate);
  std::vector<double> y(x.size());
  for (std::size_t i = 1; i < x.size(); ++i) y[i] = a * (y[i - 1] + x[i] - x[i - 1]);
  return y;
}

// In-place radix-2 FFT; the size must be a power of two.
inline void fft(std::vector<std::complex<double>>& v) {
  const std::size_t n = v.size();
  for (std::size_t i = 1, j = 0; i < n; ++i) {
    std::size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(v[i], v[j]);
  }
  for (std::size_t len = 2; len <= n; len <<= 1) {
    const std::complex<double> step = std::polar(1.0, -2 * std::numbers::pi / len);
    for (std::size_t i = 0; i < n; i += len) {
      std::complex<double> w = 1;
      for (std::size_t k = 0; k < len / 2; ++k, w *= step) {
        const auto u = v[i + k];
        const auto t = w * v[i + k + len / 2];
        v[i + k] = u + t;
        v[i + k + len / 2] = u - t;
      }
    }
  }
}

// The share of the signal's energy in [lowHz, highHz), from its spectrum over the whole signal
// (zero-padded to a power of two).
inline double bandShare(const std::vector<double>& x, double rate, double lowHz, double highHz) {
  std::size_t n = 1;
  while (n < x.size()) n <<= 1;
  std::vector<std::complex<double>> v(n);
  std::copy(x.begin(), x.end(), v.begin());
  fft(v);
  double inBand = 0, total = 0;
  for (std::size_t k = 0; k <= n / 2; ++k) {
    const double hz = rate * static_cast<double>(k) / static_cast<double>(n);
    const double e = std::norm(v[k]) * (k == 0 || k == n / 2 ? 1.0 : 2.0);
    total += e;
    if (hz >= lowHz && hz < highHz) inBand += e;
  }
  return total > 0 ? inBand / total : 0.0;
}

// The largest magnitude and the samples beyond full scale (|x| > 1) of a decoded signal.
struct Peaks {
  double peak = 0;
  std::size_t beyondFullScale = 0;
};
inline Peaks peaksOf(const std::vector<float>& x) {
  Peaks p;
  for (float s : x) {
    p.peak = std::max(p.peak, static_cast<double>(std::fabs(s)));
    if (std::fabs(s) > 1.0f) ++p.beyondFullScale;
  }
  return p;
}

}  // namespace kelvak::testing
