// Sample-rate conversion by libsoxr, with the input's edge values held before and after it.
#include "export/resampler.h"

#include <soxr.h>

#include <algorithm>
#include <numeric>
#include <string>

#include "base/error.h"

namespace kelvak {

namespace {

// The held edge reaches past the filter's half length, so no output near the ends sees the step
// to the silence libsoxr assumes outside the input.
constexpr std::int64_t kMinEdge = 2048;  // [input samples]

void check(soxr_error_t error) {
  if (error) throw KelvakError(std::string("resampler: ") + error);
}

}  // namespace

Resampler::Resampler(int inRate, int outRate) {
  const int g = std::gcd(inRate, outRate);
  in_ = inRate / g;
  out_ = outRate / g;
  // A whole number of periods of the ratio gives a whole number of outputs to drop.
  const std::int64_t periods = (kMinEdge + in_ - 1) / in_;
  edgeLength_ = periods * in_;
  skip_ = periods * out_;
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
  const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
  soxr_error_t error = nullptr;
  soxr_ = soxr_create(inRate, outRate, 1, &error, nullptr, &quality, &runtime);
  check(error);
}

Resampler::~Resampler() { soxr_delete(soxr_); }

void Resampler::process(const float* in, std::size_t n, std::vector<float>& out) {
  const std::size_t room = n * out_ / in_ + 256;
  buffer_.resize(room);
  std::size_t used = 0;
  for (;;) {
    std::size_t taken = 0, made = 0;
    check(soxr_process(soxr_, in ? in + used : nullptr, n - used, &taken, buffer_.data(), room,
                       &made));
    used += taken;
    const auto dropped = static_cast<std::size_t>(std::min<std::int64_t>(skip_, made));
    skip_ -= static_cast<std::int64_t>(dropped);
    for (std::size_t k = dropped; k < made; ++k) out.push_back(std::clamp(buffer_[k], -1.0f, 1.0f));
    if (used == n && made < room) break;
  }
}

void Resampler::hold(float value, std::vector<float>& out) {
  const std::vector<float> edge(static_cast<std::size_t>(edgeLength_), value);
  process(edge.data(), edge.size(), out);
}

void Resampler::push(const float* in, std::size_t n, std::vector<float>& out) {
  if (n == 0) return;
  const std::size_t before = out.size();
  if (received_ == 0) hold(in[0], out);
  process(in, n, out);
  received_ += static_cast<std::int64_t>(n);
  last_ = in[n - 1];
  produced_ += static_cast<std::int64_t>(out.size() - before);
}

void Resampler::finish(std::vector<float>& out) {
  const std::int64_t total = (received_ * out_ + in_ / 2) / in_;
  const std::size_t before = out.size();
  if (received_ > 0) hold(last_, out);
  process(nullptr, 0, out);
  const std::int64_t wanted = std::max<std::int64_t>(total - produced_, 0);
  out.resize(before + static_cast<std::size_t>(std::min<std::int64_t>(
                          wanted, static_cast<std::int64_t>(out.size() - before))));
  produced_ += static_cast<std::int64_t>(out.size() - before);
}

}  // namespace kelvak
