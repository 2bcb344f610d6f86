// Helpers of the export tests: private temporary folders and reading files back.
#pragma once

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

// Opens a sound file; reads the samples back as unsigned 8 bit when `read`. Linux reads every
// format with libsndfile (sound_file_reader_posix.cpp), Windows reads WAV with the system's RIFF
// functions (sound_file_reader_win32.cpp).
SoundFile readSoundFile(const std::string& path, bool read);

// A file's samples as libsndfile decodes them to floating point, not limited to full scale
// (Linux only: the lossy formats).
std::vector<float> readFloats(const std::string& path);

inline std::string readText(const std::string& path) {
  std::stringstream ss;
  ss << std::ifstream(path, std::ios::binary).rdbuf();
  return ss.str();
}

}  // namespace kelvak::testing
