// Writing sound files through libsndfile into a target's temporary file.
#include "export/audio_file.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "base/error.h"

namespace kelvak {

namespace {

// libsndfile's format for each of ours.
int sndfileFormat(AudioFormat format) {
  switch (format) {
    case AudioFormat::Wav:
      return SF_FORMAT_WAV | SF_FORMAT_PCM_U8;
    case AudioFormat::Flac:
      return SF_FORMAT_FLAC | SF_FORMAT_PCM_S8;
    case AudioFormat::OggVorbis:
      return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    case AudioFormat::Opus:
      return SF_FORMAT_OGG | SF_FORMAT_OPUS;
    case AudioFormat::Mp3:
      break;
  }
  return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
}

SNDFILE* sf(void* p) { return static_cast<SNDFILE*>(p); }

}  // namespace

bool audioFormatWritable(AudioFormat) { return true; }

namespace {

// The file's input/output as libsndfile asks for it, on the target's descriptor. Every write is
// checked here: a failure is kept in the writer's ioError (nothing may be thrown through the
// encoder), and the writer looks at it after every call.
AudioFileWriter& writerOf(void* user) { return *static_cast<AudioFileWriter*>(user); }

struct Io {
  static int fdOf(void* user);
  static sf_count_t length(void* user) {
    struct stat info {};
    return ::fstat(fdOf(user), &info) == 0 ? info.st_size : -1;
  }
  static sf_count_t seek(sf_count_t offset, int whence, void* user) {
    return ::lseek(fdOf(user), offset, whence);
  }
  static sf_count_t read(void* data, sf_count_t count, void* user) {
    sf_count_t done = 0;
    while (done < count) {
      const ssize_t n = ::read(fdOf(user), static_cast<char*>(data) + done,
                               static_cast<std::size_t>(count - done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += n;
    }
    return done;
  }
  static sf_count_t write(const void* data, sf_count_t count, void* user) {
    AudioFileWriter& w = writerOf(user);
    if (w.ioError != 0) return 0;
    sf_count_t done = 0;
    while (done < count) {
      const ssize_t n = ::write(fdOf(user), static_cast<const char*>(data) + done,
                                static_cast<std::size_t>(count - done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        w.ioError = n < 0 ? errno : ENOSPC;  // a write of nothing: no room
        break;
      }
      done += n;
    }
    return done;
  }
  static sf_count_t tell(void* user) { return ::lseek(fdOf(user), 0, SEEK_CUR); }
};

SF_VIRTUAL_IO kIo = {Io::length, Io::seek, Io::read, Io::write, Io::tell};

}  // namespace

AudioFileWriter::AudioFileWriter(TargetFile& target) : target_(target) {
  const std::optional<AudioFormat> format = audioFormatForPath(target.path());
  if (!format) {
    throw KelvakError("unknown file extension of '" + target.path() + "': use " +
                      knownExtensions());
  }
  format_ = *format;
  SF_INFO sfInfo{};
  sfInfo.samplerate = audioFileRate(format_);
  sfInfo.channels = 1;
  sfInfo.format = sndfileFormat(format_);
  file_ = sf_open_virtual(&kIo, SFM_WRITE, &sfInfo, this);
  if (!file_) {
    if (ioError != 0) target_.fail(ioError);
    const std::string why = sf_strerror(nullptr);
    throw AudioWriteError(WriteFailure{target.path(), WriteFault::Encoder, 0, why},
                          "cannot write " + std::string(audioFormatName(format_)) + " file '" +
                              target.path() + "': " + why);
  }
  if (format_ == AudioFormat::Mp3) {
    // One tone and its noise need few bits: LAME's variable bitrate at its lowest quality keeps
    // the signal clean at about 20 kbit/s and encodes fastest of its settings, below the time
    // a constant 16 kbit/s takes.
    int mode = SF_BITRATE_MODE_VARIABLE;
    double level = 1.0;
    sf_command(sf(file_), SFC_SET_BITRATE_MODE, &mode, sizeof mode);
    sf_command(sf(file_), SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
  }
  if (format_ == AudioFormat::Opus) {
    resampler_ =
        std::make_unique<Resampler>(audioFileRate(AudioFormat::Wav), audioFileRate(format_));
  }
}

int Io::fdOf(void* user) { return writerOf(user).target().fd(); }

AudioFileWriter::~AudioFileWriter() {
  if (file_) sf_close(sf(file_));
}

void AudioFileWriter::fail() {
  // The file's own error first: the encoder's word for it is often only "internal error".
  if (ioError != 0) target_.fail(ioError);
  const std::string why = file_ ? sf_strerror(sf(file_)) : "write failed";
  throw AudioWriteError(WriteFailure{target_.path(), WriteFault::Encoder, 0, why});
}

void AudioFileWriter::check() {
  if (ioError != 0) fail();
}

void AudioFileWriter::writeFloats(const float* data, std::size_t n) {
  const auto count = static_cast<sf_count_t>(n);
  if (sf_write_float(sf(file_), data, count) != count) fail();
  check();
}

void AudioFileWriter::write(const std::uint8_t* samples, std::size_t n) {
  if (n == 0) return;
  const auto count = static_cast<sf_count_t>(n);
  switch (format_) {
    case AudioFormat::Wav:
      // The file's own sample format: the bytes go in as they are.
      if (sf_write_raw(sf(file_), samples, count) != count) fail();
      check();
      return;
    case AudioFormat::Flac:
      // Unsigned 8 bit less 128 is the signed 8-bit sample; libsndfile keeps the top byte.
      shorts_.resize(n);
      for (std::size_t i = 0; i < n; ++i) shorts_[i] = static_cast<short>((samples[i] - 128) * 256);
      if (sf_write_short(sf(file_), shorts_.data(), count) != count) fail();
      check();
      return;
    default:
      floats_.resize(n);
      for (std::size_t i = 0; i < n; ++i) {
        floats_[i] = static_cast<float>(samples[i] - 128) / 128.0f * kLossyGain;
      }
      if (resampler_) {
        resampled_.clear();
        resampler_->push(floats_.data(), n, resampled_);
        writeFloats(resampled_.data(), resampled_.size());
      } else {
        writeFloats(floats_.data(), n);
      }
  }
}

void AudioFileWriter::finish() {
  if (resampler_) {
    resampled_.clear();
    resampler_->finish(resampled_);
    writeFloats(resampled_.data(), resampled_.size());
  }
  // Closing writes what the encoder still holds and the header's final sizes.
  const int closed = sf_close(sf(file_));
  file_ = nullptr;
  check();
  if (closed != 0) {
    throw AudioWriteError(
        WriteFailure{target_.path(), WriteFault::Encoder, 0, sf_error_number(closed)});
  }
}

}  // namespace kelvak
