// Reading sound files back with libsndfile.
#include <sndfile.h>

#include "tests/export/export_test_files.h"

namespace kelvak::testing {

// Opens a sound file with libsndfile; reads the samples back as unsigned 8 bit when `read`.
SoundFile readSoundFile(const std::string& path, bool read) {
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
std::vector<float> readFloats(const std::string& path) {
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

}  // namespace kelvak::testing
