// Streaming a transmission's samples into a sound file, then naming it and its key.
#include "export/exporter.h"

#include <cstdio>
#include <filesystem>
#include <vector>

#include "export/audio_file.h"

namespace kelvak {

namespace {
constexpr std::size_t kChunk = 1 << 16;  // samples rendered and written at a time
}

std::string defaultKeyPath(const std::string& audioPath) {
  return std::filesystem::path(audioPath).replace_extension(".key.txt").string();
}

std::string answerKeyText(const TransmissionPlan& plan) { return plan.answerKey + "\n"; }

bool writeExport(const TransmissionPlan& plan, const std::string& audioPath,
                 const std::optional<std::string>& keyPath, const ExportProgress& progress) {
  AudioFileWriter writer(audioPath);
  PlanRenderer renderer(plan);
  std::vector<std::uint8_t> chunk(kChunk);
  if (progress && !progress(0, plan.totalSamples)) return false;
  while (const std::size_t n = renderer.render(chunk.data(), chunk.size())) {
    writer.write(chunk.data(), n);
    if (progress && !progress(renderer.position(), plan.totalSamples)) return false;
  }
  if (keyPath) writeTextFileAtomically(*keyPath, answerKeyText(plan));
  try {
    writer.commit();
  } catch (...) {
    if (keyPath) std::remove(keyPath->c_str());
    throw;
  }
  return true;
}

}  // namespace kelvak
