// The copy check of a full transmission (999 groups), and a long history (10,000 and 100,000
// checks): its reading, a check's record with the weak weights after it, and the statistics
// window's opening, each measured alone.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "bench/sample_history.h"
#include "tests/fakes/window_thread.h"
#include "training/history.h"
#include "training/history_keeper.h"
#include "training/learning_path.h"
#include "training/progress.h"
#include "ui/check_window.h"
#include "ui/statistics_window.h"

namespace {

using namespace kelvak;

constexpr int kGroups = 999;

std::u32string digits() { return U"0123456789"; }

// Error rate [%] of the copy as the benchmark's argument.
void copyCheck999Groups(benchmark::State& state) {
  std::mt19937 gen(5);
  const auto [sent, copy] = bench::sampleCopy(kGroups, digits(), state.range(0) / 100.0, gen);
  for (auto _ : state) benchmark::DoNotOptimize(checkCopy(sent, copy));
}
BENCHMARK(copyCheck999Groups)->Arg(0)->Arg(5)->Arg(20)->Arg(100)->Unit(benchmark::kMillisecond);

// A copy with nothing in common with the text: the slowest case there is.
void copyCheck999GroupsUnrelatedCopy(benchmark::State& state) {
  std::mt19937 gen(5);
  const std::u32string sent = bench::sampleCopy(kGroups, U"01234", 0, gen).first;
  const std::u32string copy = bench::sampleCopy(kGroups, U"56789", 0, gen).first;
  for (auto _ : state) benchmark::DoNotOptimize(checkCopy(sent, copy));
}
BENCHMARK(copyCheck999GroupsUnrelatedCopy)->Unit(benchmark::kMillisecond);

// The check window's whole check: alignment, the marked text, the summary.
void checkWindow999Groups(benchmark::State& state) {
  std::mt19937 gen(5);
  const auto [sent, copy] = bench::sampleCopy(kGroups, digits(), 0.05, gen);
  const History history("/dev/full");  // nothing is kept
  CheckWindow window(history, [&sent = sent] { return CheckSource{sent, 1, false, {}}; });
  window.copyEdit->setText(QString::fromStdU32String(copy));
  window.show();
  for (auto _ : state) {
    window.check();
    QCoreApplication::processEvents();  // lays out and paints the result
  }
}
BENCHMARK(checkWindow999Groups)->Unit(benchmark::kMillisecond);

struct HistoryFile {
  std::string path;
  explicit HistoryFile(int records)
      : path((std::filesystem::temp_directory_path() /
              ("kelvak_bench_history_" + std::to_string(getpid()) + "_" + std::to_string(records) +
               ".jsonl"))
                 .string()) {
    std::ofstream out(path, std::ios::binary);
    bench::forEachSample(records, 11, 1'796'000'000,
                         [&](const CheckRecord& r) { out << toJsonLine(r); });
  }
  ~HistoryFile() { std::filesystem::remove(path); }
};

// One file per size for the whole run: making 100,000 records takes a while.
const HistoryFile& historyFile(std::int64_t records) {
  static std::map<std::int64_t, std::unique_ptr<HistoryFile>> files;
  auto& file = files[records];
  if (!file) file = std::make_unique<HistoryFile>(static_cast<int>(records));
  return *file;
}

// The resident memory now and at most so far [MB].
double residentMb(const char* field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with(field)) return std::stod(line.substr(std::strlen(field))) / 1024;
  }
  return 0;
}

// Starts the keeper and waits for its whole reading to come in.
void readWhole(FakeWindowThread& window, HistoryKeeper& keeper) {
  keeper.start();
  window.runUntil([&] { return keeper.ready(); });
}

// The whole reading the program does once, off the window's thread: the time, and the memory
// the summary then holds (the growth of the resident memory; the reading's own is one piece).
void historyLoad(benchmark::State& state) {
  const HistoryFile& file = historyFile(state.range(0));
  const History h(file.path);
  const double before = residentMb("VmRSS:");
  double held = 0;
  for (auto _ : state) {
    HistoryReading reading;
    h.update(reading);
    held = residentMb("VmRSS:") - before;
    benchmark::DoNotOptimize(reading.summary.checks().size());
  }
  state.counters["MB_held"] = held;
  state.counters["MB_file"] = static_cast<double>(std::filesystem::file_size(file.path)) / 1e6;
}
BENCHMARK(historyLoad)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

// After a check: its record appended, the kept summary brought up to date (reading only the
// appended line) and the weak characters' weights made again.
void historyRecordAndWeights(benchmark::State& state) {
  const HistoryFile& file = historyFile(state.range(0));
  const std::string copy = file.path + ".grown";
  std::filesystem::copy_file(file.path, copy, std::filesystem::copy_options::overwrite_existing);
  const History h(copy);
  FakeWindowThread window;
  HistoryKeeper keeper(h, window.post());
  readWhole(window, keeper);
  LearningPath learning;
  learning.setWeakOn(true);
  const CheckRecord record = bench::sampleHistory(1, 3).front();
  for (auto _ : state) {
    h.append(record);
    keeper.update();
    learning.setTallies(keeper.summary().recentTallies());
    benchmark::DoNotOptimize(learning.weightList(1, false));
  }
  std::filesystem::remove(copy);
}
BENCHMARK(historyRecordAndWeights)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The statistics window's views under no filter, from the kept summary: the core of its opening.
void historySummary(benchmark::State& state) {
  const HistoryFile& file = historyFile(state.range(0));
  const History history(file.path);
  FakeWindowThread window;
  HistoryKeeper keeper(history, window.post());
  readWhole(window, keeper);
  for (auto _ : state) benchmark::DoNotOptimize(keeper.summary().progress({}));
}
BENCHMARK(historySummary)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// From the menu command to the painted window, the history read before (at the program's start,
// off the window's thread): summarising under the filters, building both charts, painting.
void statisticsWindowOpen(benchmark::State& state) {
  const HistoryFile& file = historyFile(state.range(0));
  const History history(file.path);
  FakeWindowThread window;
  HistoryKeeper keeper(history, window.post());
  readWhole(window, keeper);
  for (auto _ : state) {
    StatisticsWindow window(keeper);
    window.showInFront();
    QCoreApplication::processEvents();
    window.repaint();
  }
  state.counters["MB_peak"] = residentMb("VmHWM:");
}
BENCHMARK(statisticsWindowOpen)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
