// Sound files by extension: WAV, FLAC, Ogg Vorbis, Opus and MP3, written through libsndfile to a
// temporary file beside the target that takes the target's name only when complete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "export/resampler.h"

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

// Thrown when the target cannot be written (a missing folder, no permission): the user's input.
class UnwritablePathError : public KelvakError {
 public:
  using KelvakError::KelvakError;
};

// Thrown when writing fails part-way (an encoder error, a full disk).
class AudioWriteError : public KelvakError {
 public:
  using KelvakError::KelvakError;
};

// The level the lossy formats get the samples at: 0.35 (-9.1 dB). A lossy coder keeps the spectrum,
// not the waveform: full-scale noise, which the forming draws evenly over the whole range, comes
// out of MP3, Vorbis and Opus with peaks of 2.0 to 2.3 times full scale, a full-level tone alone
// up to 1.15 times. At this level every signal and noise setting decodes within full scale.
constexpr float kLossyGain = 0.35f;

// A file under construction. The samples are the program's: unsigned 8 bit, 11025 per second.
// WAV keeps them as they are; FLAC holds them as signed 8 bit, one to one; the lossy formats get
// them as floating point at kLossyGain, resampled for Opus. Nothing shows under the target's name
// until commit(); the destructor removes the temporary file of a file never committed.
class AudioFileWriter {
 public:
  // Throws UnwritablePathError when the temporary file cannot be created, KelvakError when the
  // extension names no known format, AudioWriteError when the encoder refuses.
  explicit AudioFileWriter(const std::string& target);
  ~AudioFileWriter();
  AudioFileWriter(const AudioFileWriter&) = delete;
  AudioFileWriter& operator=(const AudioFileWriter&) = delete;

  void write(const std::uint8_t* samples, std::size_t n);
  // Finishes the file and gives it the target's name (replacing a file of that name).
  void commit();
  AudioFormat format() const { return format_; }

 private:
  void writeFloats(const float* data, std::size_t n);
  void fail(const std::string& what);

  std::string target_;
  std::string temporary_;
  AudioFormat format_;
  void* file_ = nullptr;  // SNDFILE*
  std::unique_ptr<Resampler> resampler_;
  std::vector<float> floats_, resampled_;
  std::vector<short> shorts_;
  bool committed_ = false;
};

// Writes a small text file through a temporary file as well; throws UnwritablePathError.
void writeTextFileAtomically(const std::string& target, const std::string& text);

// A temporary name beside `target` that no other process uses, created empty (mode 0666 less the
// umask); throws UnwritablePathError.
std::string createTemporaryBeside(const std::string& target);

}  // namespace kelvak
