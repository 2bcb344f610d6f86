// Measures loading text files of every awkward kind, as the window does when a file is chosen:
// endless devices, a FIFO with no writer, files of a gigabyte that hold no symbols or in which
// the readings never fill, UTF-16 and ordinary Russian text. Prints the time of each load
// (fastest and slowest of several) and the peak memory. The files are made in the temporary
// folder, taking room only for their first [MiB] given (default 32); the rest is left sparse.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "playback/text_source.h"

namespace {

namespace fs = std::filesystem;
constexpr std::uintmax_t kGigabyte = std::uintmax_t{1} << 30;

// A file of a gigabyte whose first `mib` MiB repeat `unit`; the rest reads as zero bytes.
fs::path makeFile(const std::string& name, const std::string& unit, long mib) {
  const fs::path path =
      fs::temp_directory_path() / ("kelvak_load_" + name + "_" + std::to_string(getpid()));
  std::string chunk;
  while (!unit.empty() && chunk.size() < (1u << 20)) chunk += unit;
  chunk.resize(1u << 20);
  {
    std::ofstream out(path, std::ios::binary);
    for (long i = 0; i < mib && !unit.empty(); ++i) {
      out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    }
  }
  fs::resize_file(path, kGigabyte);
  return path;
}

void measure(const char* what, const std::string& path) {
  double fastest = 1e9, slowest = 0;
  int count = 0;
  for (int run = 0; run < 5; ++run) {
    const auto start = std::chrono::steady_clock::now();
    count = kelvak::readFileText(path).count();
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    fastest = std::min(fastest, ms);
    slowest = std::max(slowest, ms);
  }
  std::printf("%-46s %5d symbols  %7.2f ms fastest  %7.2f ms slowest\n", what, count, fastest,
              slowest);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const long mib = argc > 1 ? std::atol(argv[1]) : 32;
  std::printf("byte bound %zu MiB; gigabyte files with their first %ld MiB written\n",
              kelvak::kMaxFileBytes >> 20, mib);
  measure("/dev/zero", "/dev/zero");
  measure("/dev/urandom", "/dev/urandom");
  const fs::path fifo =
      fs::temp_directory_path() / ("kelvak_load_fifo_" + std::to_string(getpid()));
  mkfifo(fifo.c_str(), 0600);
  measure("FIFO without a writer", fifo.string());
  fs::remove(fifo);

  const struct {
    const char* what;
    const char* name;
    std::string unit;
  } files[] = {
      {"1 GB of zero bytes (sparse)", "zeros", ""},
      {"1 GB of Latin text (no symbols)", "latin", "The quick brown fox jumps over a lazy dog. "},
      {"1 GB of capital Cyrillic UTF-8 (no symbols)", "capitals", "СЪЕШЬ ЖЕ ЕЩЁ ЭТИХ БУЛОК. "},
      {"1 GB of Russian UTF-8 text", "russian", "Съешь же ещё этих мягких булок 12345\n"},
      {"1 GB of Windows-1251 capitals (no symbols)", "cp1251", "\xD1\xDA\xC5\xD8\xDC \xC6\xC5 "},
      {"1 GB of UTF-16 LE capitals (no symbols)", "utf16",
       std::string("\x21\x04\x2A\x04\x15\x04\x20\x00", 8)},
  };
  for (const auto& f : files) {
    std::string unit = f.unit;
    const fs::path path = makeFile(f.name, unit, mib);
    if (std::string(f.name) == "utf16") {
      std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
      out.write("\xFF\xFE", 2);  // the byte-order mark in front
    }
    measure(f.what, path.string());
    fs::remove(path);
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak resident %.1f MiB\n", usage.ru_maxrss / 1024.0);
  return 0;
}
