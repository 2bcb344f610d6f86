// A sample-rate converter for encoders that accept only some rates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct soxr;

namespace kelvak {

// libsoxr at its high quality (flat to 91 % of the lower rate's Nyquist frequency, images and
// aliases 120 dB down). Before the first and after the last input sample the input is taken to
// hold its edge value, so the program's silence at the bottom of the range comes out without a
// step at either end, which would ring and be heard as a click.
class Resampler {
 public:
  Resampler(int inRate, int outRate);
  ~Resampler();
  Resampler(const Resampler&) = delete;
  Resampler& operator=(const Resampler&) = delete;

  // Takes the next input samples and appends the output samples they complete to `out`.
  void push(const float* in, std::size_t n, std::vector<float>& out);
  // Appends the remaining output samples: round(inputs × outRate / inRate) in all.
  void finish(std::vector<float>& out);

  int inRate() const { return in_; }
  int outRate() const { return out_; }

 private:
  // Feeds `n` samples (none and null: the end) and appends what comes out, less the lead-in.
  void process(const float* in, std::size_t n, std::vector<float>& out);
  void hold(float value, std::vector<float>& out);  // the edge value, edgeLength_ times

  int in_, out_;  // the ratio in lowest terms
  soxr* soxr_;
  std::int64_t edgeLength_;  // a whole number of ratio periods [input samples]
  std::int64_t skip_;        // outputs of the lead-in still to drop
  std::int64_t received_ = 0;
  std::int64_t produced_ = 0;  // output samples handed out
  float last_ = 0;
  std::vector<float> buffer_;
};

}  // namespace kelvak
