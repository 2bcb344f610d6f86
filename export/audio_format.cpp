// The sound file formats by extension, and their names and rates.
#include <algorithm>
#include <filesystem>

#include "export/audio_file.h"
#include "text/utf8_path.h"

namespace kelvak {

namespace {

constexpr int kProgramRate = 11025;  // [samples/s]
// Opus encodes at 8, 12, 16, 24 or 48 kHz only. 16 kHz is the lowest common rate whose band
// (8 kHz) holds everything the program makes, tones up to 5 kHz and noise up to 5.5 kHz, with room
// for the resampler's filter to roll off.
constexpr int kOpusRate = 16000;

struct FormatInfo {
  AudioFormat format;
  const char* extension;
  const char* name;
};

constexpr FormatInfo kFormats[] = {
    {AudioFormat::Wav, ".wav", "WAV"},
    {AudioFormat::Flac, ".flac", "FLAC"},
    {AudioFormat::OggVorbis, ".ogg", "Ogg Vorbis"},
    {AudioFormat::Opus, ".opus", "Opus"},
    {AudioFormat::Mp3, ".mp3", "MP3"},
};

const FormatInfo& info(AudioFormat f) {
  return *std::find_if(std::begin(kFormats), std::end(kFormats),
                       [f](const FormatInfo& i) { return i.format == f; });
}

std::string lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

}  // namespace

std::optional<AudioFormat> audioFormatForPath(const std::string& path) {
  const std::string ext = lower(utf8String(utf8Path(path).extension()));
  for (const FormatInfo& i : kFormats) {
    if (ext == i.extension) return i.format;
  }
  return std::nullopt;
}

const char* audioFormatName(AudioFormat format) { return info(format).name; }
const char* audioFormatExtension(AudioFormat format) { return info(format).extension; }
int audioFileRate(AudioFormat format) {
  return format == AudioFormat::Opus ? kOpusRate : kProgramRate;
}

std::string knownExtensions() {
  std::string s;
  for (const FormatInfo& i : kFormats) {
    if (!s.empty()) s += ", ";
    s += i.extension;
  }
  return s;
}

}  // namespace kelvak
