// Streaming a transmission's samples into a sound file, then naming it and its key.
#include "export/exporter.h"

#include <cstring>

#include <filesystem>
#include <vector>

#include "export/audio_file.h"
#include "text/utf8_path.h"

namespace kelvak {

namespace {
constexpr std::size_t kChunk = 1 << 16;  // samples rendered and written at a time
}

std::string defaultKeyPath(const std::string& audioPath) {
  return utf8String(utf8Path(audioPath).replace_extension(".key.txt"));
}

std::string englishReason(const WriteFailure& failure) {
  switch (failure.fault) {
    case WriteFault::System:
      return std::strerror(failure.error);
    case WriteFault::SymbolicLink:
      return "a symbolic link, which is not replaced: name the file itself";
    case WriteFault::NotRegular:
      return "not a regular file, which alone may be replaced";
    case WriteFault::NoTemporaryName:
      return "no free temporary name beside it";
    case WriteFault::NoFileName:
      return "no file name";
    case WriteFault::SoundFileItself:
      return "it is the sound file '" + failure.other + "' itself";
    case WriteFault::TextFileSent:
      return "it is the text file sent";
    case WriteFault::TooLongForWav:
      return "too long for a WAV file";
    case WriteFault::Encoder:
      return failure.other;
  }
  return failure.other;
}

std::string answerKeyText(const TransmissionPlan& plan) { return plan.answerKey + "\n"; }

bool writeExport(const TransmissionPlan& plan, const std::string& audioPath,
                 const std::optional<std::string>& keyPath, const ExportProgress& progress,
                 const std::optional<FileIdentity>& source) {
  // Every name is checked, and its temporary file made, before the first sample.
  TargetFile audio(audioPath);
  std::optional<TargetFile> key;
  if (keyPath) {
    key.emplace(*keyPath);
    if (key->sameAs(audio)) {
      throw UnwritablePathError(WriteFailure{*keyPath, WriteFault::SoundFileItself, 0, audioPath});
    }
  }
  if (source) {
    for (const TargetFile* t : {&audio, key ? &*key : nullptr}) {
      if (t && t->isFile(source->device, source->inode)) {
        throw UnwritablePathError(WriteFailure{t->path(), WriteFault::TextFileSent, 0, {}});
      }
    }
  }

  AudioFileWriter writer(audio);
  PlanRenderer renderer(plan);
  std::vector<std::uint8_t> chunk(kChunk);
  if (progress && !progress(0, plan.totalSamples)) return false;
  while (const std::size_t n = renderer.render(chunk.data(), chunk.size())) {
    writer.write(chunk.data(), n);
    if (progress && !progress(renderer.position(), plan.totalSamples)) return false;
  }
  writer.finish();
  if (key) {
    const std::string text = answerKeyText(plan);
    key->write(text.data(), text.size());
    commitTargets({&*key, &audio});
  } else {
    commitTargets({&audio});
  }
  return true;
}

}  // namespace kelvak
