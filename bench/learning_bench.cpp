// Choosing the next group of five in each learning mode, with the weights at hand and with them
// made anew from a history of 10,000 checks (after a check, a new lesson or a mode switched).
#include <benchmark/benchmark.h>

#include "bench/sample_history.h"
#include "playback/text_source.h"
#include "training/learning_path.h"

namespace {

using namespace kelvak;

enum Mode { Off, Course, Weak, Both };

LearningPath pathFor(int mode, const std::vector<CheckRecord>& history) {
  LearningPath path;
  CourseProgress progress;
  progress.on = mode == Course || mode == Both;
  progress.lessons = {5, 20, 30};
  path.setProgress(progress);
  path.setWeakOn(mode == Weak || mode == Both);
  path.setHistory(history);
  return path;
}

const std::vector<CheckRecord>& history() {
  static const std::vector<CheckRecord> records = bench::sampleHistory(10000);
  return records;
}

// The weights kept from the tick before, as during a transmission.
void nextGroup(benchmark::State& state) {
  LearningPath path = pathFor(static_cast<int>(state.range(0)), history());
  Random random;
  const FileText none;
  for (auto _ : state) {
    SymbolChoice choice{true, 2, false, true, nullptr};
    for (int c = 1; c <= 5; ++c) {
      const auto weights = path.weightsFor(choice);
      choice.weights = weights.get();
      benchmark::DoNotOptimize(nextSymbolIndex(choice, c, none, random));
    }
  }
}
BENCHMARK(nextGroup)->DenseRange(Off, Both)->Unit(benchmark::kMicrosecond);

// Reading the history's weak characters anew and the group that follows: this happens once a
// check is recorded or the mode is switched on, never between the ticks of a transmission.
void historyWeighedAnew(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  Random random;
  const FileText none;
  LearningPath path = pathFor(mode, history());
  for (auto _ : state) {
    path.setHistory(history());
    SymbolChoice choice{true, 2, false, true, nullptr};
    const auto weights = path.weightsFor(choice);
    choice.weights = weights.get();
    for (int c = 1; c <= 5; ++c) benchmark::DoNotOptimize(nextSymbolIndex(choice, c, none, random));
  }
}
BENCHMARK(historyWeighedAnew)->DenseRange(Off, Both)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
