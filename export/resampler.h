// A rational-ratio sample-rate converter for encoders that accept only some rates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelvak {

// Windowed-sinc interpolation with one precomputed filter per output phase (Blackman window,
// cutoff at the lower of the two Nyquist frequencies). Each phase's taps sum to exactly one, so a
// constant input gives the same constant out: the program's silence sits at the bottom of the
// range, and a ripple on it would be heard as a hiss. Before the first and after the last input
// sample the input is taken to hold its edge value.
class Resampler {
 public:
  static constexpr int kHalfTaps = 32;  // taps on each side of an output sample [input samples]

  Resampler(int inRate, int outRate);

  // Takes the next input samples and appends every output sample they complete to `out`.
  void push(const float* in, std::size_t n, std::vector<float>& out);
  // Appends the remaining output samples: round(inputs × outRate / inRate) in all.
  void finish(std::vector<float>& out);

  int inRate() const { return in_; }
  int outRate() const { return out_; }

 private:
  float sampleAt(std::int64_t k) const;
  void produce(std::int64_t available, std::vector<float>& out);

  int in_, out_;                // the ratio in lowest terms
  std::vector<float> taps_;     // out_ phases × 2·kHalfTaps
  std::vector<float> history_;  // input from index base_ on
  std::int64_t base_ = 0;
  std::int64_t received_ = 0;  // input samples so far
  std::int64_t produced_ = 0;  // output samples so far
  float first_ = 0, last_ = 0;
  bool finished_ = false;
};

}  // namespace kelvak
