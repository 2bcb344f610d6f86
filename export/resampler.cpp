// Sample-rate conversion by polyphase windowed-sinc interpolation.
#include "export/resampler.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

namespace kelvak {

Resampler::Resampler(int inRate, int outRate) {
  const int g = std::gcd(inRate, outRate);
  in_ = inRate / g;
  out_ = outRate / g;
  // Cutoff relative to the input rate: half the lower rate, so neither images nor aliases pass.
  const double cutoff = 0.5 * std::min(1.0, static_cast<double>(out_) / in_);
  const int width = 2 * kHalfTaps;
  taps_.resize(static_cast<std::size_t>(out_) * width);
  for (int phase = 0; phase < out_; ++phase) {
    const double frac = static_cast<double>(phase) / out_;  // output time past its left input
    double sum = 0;
    float* row = &taps_[static_cast<std::size_t>(phase) * width];
    for (int j = 0; j < width; ++j) {
      const double d = (kHalfTaps - 1 - j) + frac;  // distance from input sample [input samples]
      const double x = 2 * cutoff * d;
      const double sinc = x == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
      const double w = 0.42 + 0.5 * std::cos(std::numbers::pi * d / kHalfTaps) +
                       0.08 * std::cos(2 * std::numbers::pi * d / kHalfTaps);
      const double h = std::abs(d) >= kHalfTaps ? 0.0 : sinc * w;
      row[j] = static_cast<float>(h);
      sum += h;
    }
    for (int j = 0; j < width; ++j) row[j] = static_cast<float>(row[j] / sum);
  }
}

float Resampler::sampleAt(std::int64_t k) const {
  if (k < 0) return first_;
  if (k >= received_) return last_;
  return history_[static_cast<std::size_t>(k - base_)];
}

// Output m lies at input time m·in/out; it needs the inputs up to kHalfTaps past that time.
void Resampler::produce(std::int64_t available, std::vector<float>& out) {
  const int width = 2 * kHalfTaps;
  for (;;) {
    const std::int64_t num = produced_ * in_;
    const std::int64_t left = num / out_;
    if (!finished_ && left + kHalfTaps >= available) break;
    if (finished_ && produced_ >= (received_ * out_ + in_ / 2) / in_) break;
    const float* row = &taps_[static_cast<std::size_t>(num % out_) * width];
    const std::int64_t k0 = left - kHalfTaps + 1;
    float acc = 0;
    if (k0 >= base_ && k0 + width <= received_) {
      const float* x = &history_[static_cast<std::size_t>(k0 - base_)];
      for (int j = 0; j < width; ++j) acc += row[j] * x[j];
    } else {
      for (int j = 0; j < width; ++j) acc += row[j] * sampleAt(k0 + j);
    }
    out.push_back(std::clamp(acc, -1.0f, 1.0f));
    ++produced_;
  }
  // Keep only the inputs the next output can still reach.
  const std::int64_t keepFrom = produced_ * in_ / out_ - kHalfTaps + 1;
  if (keepFrom > base_ + 4096) {
    const std::int64_t drop = std::min<std::int64_t>(keepFrom, received_) - base_;
    history_.erase(history_.begin(), history_.begin() + drop);
    base_ += drop;
  }
}

void Resampler::push(const float* in, std::size_t n, std::vector<float>& out) {
  if (n == 0) return;
  if (received_ == 0) first_ = in[0];
  history_.insert(history_.end(), in, in + n);
  received_ += static_cast<std::int64_t>(n);
  last_ = in[n - 1];
  produce(received_, out);
}

void Resampler::finish(std::vector<float>& out) {
  finished_ = true;
  produce(received_, out);
}

}  // namespace kelvak
