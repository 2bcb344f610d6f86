// Speed of an export: the longest transmission the default pauses give, 999 groups of digits at
// speed 1 with noise (about 18 hours of sound), planned and written to a WAV file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "export/exporter.h"
#include "export/transmission_plan.h"

namespace kelvak {
namespace {

void BM_Export999GroupsAtSpeed1WithNoise(benchmark::State& state, const char* extension) {
  TransmissionSettings s;
  s.speed = 1;
  s.groups = 999;
  s.noisePosition = 64;  // the label's 49 %
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() /
      ("kelvak_export_bench_" + std::to_string(getpid()) + extension);
  std::int64_t samples = 0;
  for (auto _ : state) {
    Random random;
    const TransmissionPlan plan = planTransmission(s, {}, random);
    if (!writeExport(plan, path.string(), std::nullopt)) state.SkipWithError("cancelled");
    samples = plan.totalSamples;
  }
  state.counters["sound_hours"] = static_cast<double>(samples) / 11025 / 3600;
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
  std::filesystem::remove(path);
}

BENCHMARK_CAPTURE(BM_Export999GroupsAtSpeed1WithNoise, wav, ".wav")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace
}  // namespace kelvak

BENCHMARK_MAIN();
