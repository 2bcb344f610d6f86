// Measures loading a large text file: time and peak memory. Writes a file of the given size
// [MiB] (default 1024) of Russian UTF-8 text with line breaks, loads it, and prints the figures.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "playback/text_source.h"

int main(int argc, char** argv) {
  const long mib = argc > 1 ? std::atol(argv[1]) : 1024;
  const auto path = std::filesystem::temp_directory_path() / "kelvak_large_text.txt";
  {
    std::string chunk;
    while (chunk.size() < (1u << 20)) chunk += "Съешь же ещё этих мягких французских булок 12345\n";
    chunk.resize(1u << 20);  // may cut a character: the file is then not valid UTF-8 at the end
    std::ofstream out(path, std::ios::binary);
    for (long i = 0; i < mib; ++i) out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
  }
  const auto start = std::chrono::steady_clock::now();
  const kelvak::FileText text = kelvak::readFileText(path.string());
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("file %ld MiB: %d symbols kept (%d groups), %.2f s, peak resident %.1f MiB\n", mib,
              text.count(), text.groups(), seconds, usage.ru_maxrss / 1024.0);
  std::filesystem::remove(path);
  return 0;
}
