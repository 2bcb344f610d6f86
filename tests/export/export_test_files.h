// Helpers of the export tests: private temporary folders and reading files back.
#pragma once

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace kelvak::testing {

// A folder of its own for one test (tests run side by side as processes), removed at the end.
class TempFolder {
 public:
  TempFolder() { std::filesystem::create_directories(dir_); }
  ~TempFolder() { std::filesystem::remove_all(dir_); }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) {
      out.push_back(e.path().filename().string());
    }
    std::sort(out.begin(), out.end());
    return out;
  }

 private:
  inline static int made_ = 0;
  std::filesystem::path dir_ =
      std::filesystem::temp_directory_path() /
      ("kelvak_export_" + std::to_string(getpid()) + "_" + std::to_string(++made_));
};

struct SoundFile {
  int rate = 0;
  std::int64_t frames = 0;
  std::vector<std::uint8_t> samples;  // WAV and FLAC: the unsigned 8-bit samples
};

// Opens a sound file with libsndfile; reads the samples back as unsigned 8 bit when `read`.
inline SoundFile readSoundFile(const std::string& path, bool read) {
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f) throw std::runtime_error("cannot open " + path + ": " + sf_strerror(nullptr));
  SoundFile out{info.samplerate, info.frames, {}};
  std::vector<short> s(read ? static_cast<std::size_t>(info.frames) : 0);
  s.resize(static_cast<std::size_t>(sf_read_short(f, s.data(), static_cast<sf_count_t>(s.size()))));
  // 8-bit samples come as the top byte of a short.
  for (short v : s) out.samples.push_back(static_cast<std::uint8_t>((v >> 8) + 128));
  sf_close(f);
  return out;
}

// A file's samples as libsndfile decodes them to floating point, not limited to full scale.
inline std::vector<float> readFloats(const std::string& path) {
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f) throw std::runtime_error("cannot open " + path + ": " + sf_strerror(nullptr));
  sf_command(f, SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_FALSE);
  std::vector<float> out(static_cast<std::size_t>(info.frames * info.channels));
  out.resize(
      static_cast<std::size_t>(sf_read_float(f, out.data(), static_cast<sf_count_t>(out.size()))));
  sf_close(f);
  return out;
}

inline std::string readText(const std::string& path) {
  std::stringstream ss;
  ss << std::ifstream(path, std::ios::binary).rdbuf();
  return ss.str();
}

}  // namespace kelvak::testing
