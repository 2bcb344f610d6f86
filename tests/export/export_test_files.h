// Helpers of the export tests: private temporary folders and reading sound files back.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kelvak::testing {

// A folder of its own for one test, removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  std::vector<std::string> names() const;  // the files it holds, sorted

 private:
  std::filesystem::path dir_;
};

struct SoundFile {
  int rate = 0;
  std::int64_t frames = 0;
  std::vector<std::uint8_t> samples;  // WAV and FLAC: the unsigned 8-bit samples
};

// Opens a sound file with libsndfile; reads the samples back as unsigned 8 bit when `read`.
SoundFile readSoundFile(const std::string& path, bool read);

std::string readText(const std::string& path);

}  // namespace kelvak::testing
