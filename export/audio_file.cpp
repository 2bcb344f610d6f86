// Writing sound files through libsndfile, by way of a temporary file beside the target.
#include "export/audio_file.h"

#include <fcntl.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "base/error.h"

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
  int sndfileFormat;
};

constexpr FormatInfo kFormats[] = {
    {AudioFormat::Wav, ".wav", "WAV", SF_FORMAT_WAV | SF_FORMAT_PCM_U8},
    {AudioFormat::Flac, ".flac", "FLAC", SF_FORMAT_FLAC | SF_FORMAT_PCM_S8},
    {AudioFormat::OggVorbis, ".ogg", "Ogg Vorbis", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
    {AudioFormat::Opus, ".opus", "Opus", SF_FORMAT_OGG | SF_FORMAT_OPUS},
    {AudioFormat::Mp3, ".mp3", "MP3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III},
};

const FormatInfo& info(AudioFormat f) {
  return *std::find_if(std::begin(kFormats), std::end(kFormats),
                       [f](const FormatInfo& i) { return i.format == f; });
}

SNDFILE* sf(void* p) { return static_cast<SNDFILE*>(p); }

std::string lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

}  // namespace

std::optional<AudioFormat> audioFormatForPath(const std::string& path) {
  const std::string ext = lower(std::filesystem::path(path).extension().string());
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

std::string createTemporaryBeside(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  const std::filesystem::path t(target);
  if (t.filename().empty())
    throw UnwritablePathError("cannot write '" + target + "': no file name");
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = "." + t.filename().string() + "." + std::to_string(::getpid()) + "-" +
                             std::to_string(counter++) + ".part";
    const std::string path = (t.parent_path() / name).string();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      return path;
    }
    if (errno != EEXIST) {
      throw UnwritablePathError("cannot write '" + target + "': " + std::strerror(errno));
    }
  }
  throw UnwritablePathError("cannot write '" + target + "': no free temporary name beside it");
}

namespace {

void renameOver(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) {
    const int e = errno;
    std::remove(from.c_str());
    throw UnwritablePathError("cannot write '" + to + "': " + std::strerror(e));
  }
}

}  // namespace

void writeTextFileAtomically(const std::string& target, const std::string& text) {
  const std::string tmp = createTemporaryBeside(target);
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  bool ok = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (f) ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    const int e = errno;
    std::remove(tmp.c_str());
    throw UnwritablePathError("cannot write '" + target + "': " + std::strerror(e));
  }
  renameOver(tmp, target);
}

AudioFileWriter::AudioFileWriter(const std::string& target) : target_(target) {
  const std::optional<AudioFormat> format = audioFormatForPath(target);
  if (!format) {
    throw KelvakError("unknown file extension of '" + target + "': use " + knownExtensions());
  }
  format_ = *format;
  temporary_ = createTemporaryBeside(target);
  SF_INFO sfInfo{};
  sfInfo.samplerate = audioFileRate(format_);
  sfInfo.channels = 1;
  sfInfo.format = info(format_).sndfileFormat;
  file_ = sf_open(temporary_.c_str(), SFM_WRITE, &sfInfo);
  if (!file_) {
    const std::string why = sf_strerror(nullptr);
    std::remove(temporary_.c_str());
    throw AudioWriteError("cannot write " + std::string(audioFormatName(format_)) + " file '" +
                          target + "': " + why);
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
    resampler_ = std::make_unique<Resampler>(kProgramRate, kOpusRate);
  }
}

AudioFileWriter::~AudioFileWriter() {
  if (file_) sf_close(sf(file_));
  if (!committed_) std::remove(temporary_.c_str());
}

void AudioFileWriter::fail(const std::string& what) {
  const std::string why = file_ ? sf_strerror(sf(file_)) : what;
  throw AudioWriteError("cannot write '" + target_ + "': " + why);
}

void AudioFileWriter::writeFloats(const float* data, std::size_t n) {
  const auto count = static_cast<sf_count_t>(n);
  if (sf_write_float(sf(file_), data, count) != count) fail("write failed");
}

void AudioFileWriter::write(const std::uint8_t* samples, std::size_t n) {
  if (n == 0) return;
  const auto count = static_cast<sf_count_t>(n);
  switch (format_) {
    case AudioFormat::Wav:
      // The file's own sample format: the bytes go in as they are.
      if (sf_write_raw(sf(file_), samples, count) != count) fail("write failed");
      return;
    case AudioFormat::Flac:
      // Unsigned 8 bit less 128 is the signed 8-bit sample; libsndfile keeps the top byte.
      shorts_.resize(n);
      for (std::size_t i = 0; i < n; ++i) shorts_[i] = static_cast<short>((samples[i] - 128) * 256);
      if (sf_write_short(sf(file_), shorts_.data(), count) != count) fail("write failed");
      return;
    default:
      floats_.resize(n);
      for (std::size_t i = 0; i < n; ++i)
        floats_[i] = static_cast<float>(samples[i] - 128) / 128.0f;
      if (resampler_) {
        resampled_.clear();
        resampler_->push(floats_.data(), n, resampled_);
        writeFloats(resampled_.data(), resampled_.size());
      } else {
        writeFloats(floats_.data(), n);
      }
  }
}

void AudioFileWriter::commit() {
  if (resampler_) {
    resampled_.clear();
    resampler_->finish(resampled_);
    writeFloats(resampled_.data(), resampled_.size());
  }
  const int closed = sf_close(sf(file_));
  file_ = nullptr;
  if (closed != 0)
    throw AudioWriteError("cannot write '" + target_ + "': " + sf_error_number(closed));
  renameOver(temporary_, target_);
  committed_ = true;
}

}  // namespace kelvak
