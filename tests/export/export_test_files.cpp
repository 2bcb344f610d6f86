// Temporary folders and sound-file reading for the export tests.
#include "tests/export/export_test_files.h"

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kelvak::testing {

TempFolder::TempFolder() {
  // Tests run as separate processes side by side: the name holds the process and a count.
  static int made = 0;
  dir_ = std::filesystem::temp_directory_path() /
         ("kelvak_export_" + std::to_string(getpid()) + "_" + std::to_string(++made));
  std::filesystem::create_directories(dir_);
}

TempFolder::~TempFolder() { std::filesystem::remove_all(dir_); }

std::vector<std::string> TempFolder::names() const {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(dir_)) {
    out.push_back(e.path().filename().string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

SoundFile readSoundFile(const std::string& path, bool read) {
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f) throw std::runtime_error("cannot open " + path + ": " + sf_strerror(nullptr));
  SoundFile out{info.samplerate, info.frames, {}};
  if (read) {
    std::vector<short> s(static_cast<std::size_t>(info.frames));
    s.resize(static_cast<std::size_t>(sf_read_short(f, s.data(), info.frames)));
    out.samples.reserve(s.size());
    // Both formats hold 8-bit samples, which libsndfile gives as the top byte of a short.
    for (short v : s) out.samples.push_back(static_cast<std::uint8_t>((v >> 8) + 128));
  }
  sf_close(f);
  return out;
}

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace kelvak::testing
