// Measures the guarded sine over every argument the forming can produce: each frequency
// 100..5000 Hz and each sample index up to the longest sounding stretch (19 units of 8930 samples
// at speed 1). Prints the largest difference from std::sin and how often the guard had to call
// std::sin, and checks the full-level tone table against the literal formula. Exit code 1 when a
// tone differs or the difference comes near the guard's bound.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "synth/forming_kernels.h"

int main() {
  using namespace kelvak;
  constexpr std::uint32_t kIndices = 19 * 8930;
  constexpr int kAmplitude = 127;
  double worst = 0;
  double worstX = 0;
  std::uint64_t guarded = 0;
  std::uint64_t mismatches = 0;
  std::vector<std::uint8_t> tones(kIndices);
  for (int frequency = 100; frequency <= 5000; ++frequency) {
    const double step = frequency * 6.28;
    fillTones(tones.data(), 0, kIndices, step, kAmplitude);
    for (std::uint32_t j = 0; j < kIndices; ++j) {
      const double x = step * static_cast<double>(j) * kSampleStep;
      const double exact = std::sin(x);
      const double approx = approximateSine(x);
      const double diff = std::fabs(approx - exact);
      if (diff > worst) {
        worst = diff;
        worstX = x;
      }
      const int low = static_cast<int>((approx - kGuardedSineError) * kAmplitude + 127.0);
      const int high = static_cast<int>((approx + kGuardedSineError) * kAmplitude + 127.0);
      if (low != high) ++guarded;
      const auto literal = static_cast<std::uint8_t>(std::trunc(exact * kAmplitude + 127.0));
      if (tones[j] != literal) ++mismatches;
    }
  }
  const double arguments = 4901.0 * kIndices;
  std::printf("arguments checked: %.0f\n", arguments);
  std::printf("largest |approximation - std::sin|: %.3g at x = %.17g (guard bound %.3g)\n", worst,
              worstX, kGuardedSineError);
  std::printf("std::sin calls by the guard at full level: %llu\n",
              static_cast<unsigned long long>(guarded));
  std::printf("tones differing from the literal formula: %llu\n",
              static_cast<unsigned long long>(mismatches));
  return mismatches == 0 && worst * 100 < kGuardedSineError ? 0 : 1;
}
