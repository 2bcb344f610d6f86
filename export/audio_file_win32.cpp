// Writing WAV files on Windows with a RIFF writer of our own: the Windows build has no
// libsndfile. The file holds the program's samples as they are, unsigned 8 bit, 11025 per second,
// in the same header libsndfile gives them on Linux, so both builds write the same bytes.
#include <io.h>

#include <cerrno>
#include <cstdio>

#include "export/audio_file.h"

namespace kelvak {

namespace {

constexpr std::size_t kHeaderBytes = 44;
constexpr std::size_t kRiffSizeAt = 4;   // the bytes after the RIFF chunk's own eight
constexpr std::size_t kDataSizeAt = 40;  // the samples' bytes

void putU32(std::uint8_t* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void putU16(std::uint8_t* at, std::uint16_t v) {
  at[0] = static_cast<std::uint8_t>(v);
  at[1] = static_cast<std::uint8_t>(v >> 8);
}

}  // namespace

bool audioFormatWritable(AudioFormat format) { return format == AudioFormat::Wav; }

AudioFileWriter::AudioFileWriter(TargetFile& target) : target_(target) {
  const std::optional<AudioFormat> format = audioFormatForPath(target.path());
  if (!format) {
    throw KelvakError("unknown file extension of '" + target.path() + "': use " +
                      knownExtensions());
  }
  format_ = *format;
  if (!audioFormatWritable(format_)) {
    throw KelvakError("cannot write " + std::string(audioFormatName(format_)) + " file '" +
                      target.path() + "': the Windows build writes WAV files only");
  }
  // The sizes are written by finish(), once they are known.
  std::uint8_t header[kHeaderBytes] = {'R', 'I', 'F', 'F', 0,   0,   0,   0,
                                       'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
  putU32(header + 16, 16);  // the format chunk's size
  putU16(header + 20, 1);   // integer PCM
  putU16(header + 22, 1);   // one channel
  const auto rate = static_cast<std::uint32_t>(audioFileRate(format_));
  putU32(header + 24, rate);
  putU32(header + 28, rate);  // bytes per second: one byte a sample
  putU16(header + 32, 1);     // bytes per frame
  putU16(header + 34, 8);     // bits per sample
  header[36] = 'd';
  header[37] = 'a';
  header[38] = 't';
  header[39] = 'a';
  target_.write(header, sizeof header);
}

AudioFileWriter::~AudioFileWriter() = default;

void AudioFileWriter::write(const std::uint8_t* samples, std::size_t n) {
  target_.write(samples, n);
  written_ += n;
}

void AudioFileWriter::finish() {
  // RIFF chunks are padded to an even length.
  if (written_ % 2 != 0) {
    const std::uint8_t pad = 0;
    target_.write(&pad, 1);
  }
  if (written_ > 0xFFFFFFFFu - kHeaderBytes) {
    throw AudioWriteError(WriteFailure{target_.path(), WriteFault::TooLongForWav, 0, {}});
  }
  const auto data = static_cast<std::uint32_t>(written_);
  std::uint8_t size[4];
  const auto seekTo = [&](std::size_t at) {
    if (_lseeki64(target_.fd(), static_cast<long long>(at), SEEK_SET) < 0) target_.fail(errno);
  };
  putU32(size, static_cast<std::uint32_t>(kHeaderBytes - 8) + data + (data % 2));
  seekTo(kRiffSizeAt);
  target_.write(size, 4);
  putU32(size, data);
  seekTo(kDataSizeAt);
  target_.write(size, 4);
}

}  // namespace kelvak
