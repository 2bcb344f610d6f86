// Writes a plausible history of checks, for pictures of the statistics window and for trying it.
// Usage: kelvak_write_sample_history FILE [COUNT]
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "bench/sample_history.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE [COUNT]\n", argv[0]);
    return 2;
  }
  const int count = argc > 2 ? std::atoi(argv[2]) : 40;
  std::ofstream out(argv[1], std::ios::binary | std::ios::app);
  kelvak::bench::forEachSample(count, 11, 1'796'000'000,
                               [&](const kelvak::CheckRecord& r) { out << kelvak::toJsonLine(r); });
  return out ? 0 : 1;
}
