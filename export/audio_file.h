// Sound files by extension: WAV, FLAC, Ogg Vorbis, Opus and MP3, written through libsndfile into a
// target's temporary file, every byte of it checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "export/resampler.h"
#include "export/target_files.h"

namespace kelvak {

enum class AudioFormat { Wav, Flac, OggVorbis, Opus, Mp3 };

// The format a file name's extension (any case) names; nullopt for any other.
std::optional<AudioFormat> audioFormatForPath(const std::string& path);
// The format's name and extension, e.g. "WAV" and ".wav".
const char* audioFormatName(AudioFormat format);
const char* audioFormatExtension(AudioFormat format);
// The rate the file holds [samples/s]: 11025, except Opus, which encodes at fixed rates only.
int audioFileRate(AudioFormat format);
// One line naming the extensions, for messages.
std::string knownExtensions();
// False for a format this build cannot write (the Windows build writes WAV alone).
bool audioFormatWritable(AudioFormat format);

// The level the lossy formats get the samples at: 0.35 (-9.1 dB). A lossy coder keeps the spectrum,
// not the waveform: full-scale noise, which the forming draws evenly over the whole range, comes
// out of MP3, Vorbis and Opus with peaks of 2.0 to 2.3 times full scale, a full-level tone alone
// up to 1.15 times. At this level every signal and noise setting decodes within full scale.
constexpr float kLossyGain = 0.35f;

// A file under construction. The samples are the program's: unsigned 8 bit, 11025 per second.
// WAV keeps them as they are; FLAC holds them as signed 8 bit, one to one; the lossy formats get
// them as floating point at kLossyGain, resampled for Opus. Every byte the encoder gives goes
// through the target's own checked writes, whatever the format: an encoder that would not tell of a
// full disk cannot hide it.
class AudioFileWriter {
 public:
  // Throws KelvakError when the extension names no known format, AudioWriteError when the
  // encoder refuses.
  explicit AudioFileWriter(TargetFile& target);
  ~AudioFileWriter();
  AudioFileWriter(const AudioFileWriter&) = delete;
  AudioFileWriter& operator=(const AudioFileWriter&) = delete;

  void write(const std::uint8_t* samples, std::size_t n);
  // Finishes the file; the target is ready for commitTargets. Throws AudioWriteError.
  void finish();
  AudioFormat format() const { return format_; }
  TargetFile& target() const { return target_; }

  // The errno of the first failed write, 0 while none failed; for the file's input/output.
  int ioError = 0;

 private:
  void writeFloats(const float* data, std::size_t n);
  void check();
  [[noreturn]] void fail();

  TargetFile& target_;
  AudioFormat format_;
  void* file_ = nullptr;  // SNDFILE*
  // Shared only so that its deleter is taken where one is made: the Windows build, which writes
  // WAV alone, has no resampler to link.
  std::shared_ptr<Resampler> resampler_;
  std::vector<float> floats_, resampled_;
  std::vector<short> shorts_;
  std::uint64_t written_ = 0;  // samples, for the Windows build's WAV header
};

}  // namespace kelvak
