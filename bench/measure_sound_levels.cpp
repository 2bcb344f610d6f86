// The levels of sound files as a listener's equipment meets them: the peak and the samples beyond
// full scale (decoded lossy files), and the share of the energy below 300 Hz after the 20 Hz
// high-pass of an AC-coupled line output, against the share in the tone's band.
//
//   kelvak_measure_sound_levels TONE_HZ FILE...
#include <sndfile.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tests/harness/spectrum.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s TONE_HZ FILE...\n", argv[0]);
    return 2;
  }
  const double tone = std::atof(argv[1]);
  std::printf("%-40s %6s %9s %12s %10s %10s\n", "file", "rate", "peak", "beyond 1.0", "<300 Hz",
              "tone band");
  for (int a = 2; a < argc; ++a) {
    SF_INFO info{};
    SNDFILE* f = sf_open(argv[a], SFM_READ, &info);
    if (!f) {
      std::fprintf(stderr, "%s: %s\n", argv[a], sf_strerror(nullptr));
      return 1;
    }
    // No rescaling of floats: a decoded sample beyond full scale must show as such.
    sf_command(f, SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_FALSE);
    std::vector<float> all(static_cast<std::size_t>(info.frames) *
                           static_cast<std::size_t>(info.channels));
    all.resize(static_cast<std::size_t>(sf_readf_float(f, all.data(), info.frames)) *
               static_cast<std::size_t>(info.channels));
    sf_close(f);
    std::vector<float> mono;
    for (std::size_t i = 0; i < all.size(); i += static_cast<std::size_t>(info.channels)) {
      mono.push_back(all[i]);
    }
    const auto peaks = kelvak::testing::peaksOf(all);
    const std::vector<double> x(mono.begin(), mono.end());
    const auto heard = kelvak::testing::highPass(x, info.samplerate, 20);
    const double low = kelvak::testing::bandShare(heard, info.samplerate, 0, 300);
    const double band = kelvak::testing::bandShare(heard, info.samplerate, tone - 100, tone + 100);
    std::printf("%-40s %6d %9.4f %12zu %9.3f%% %9.2f%%\n", argv[a], info.samplerate, peaks.peak,
                peaks.beyondFullScale, 100 * low, 100 * band);
  }
  return 0;
}
