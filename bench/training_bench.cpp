// The copy check of a full transmission (999 groups) and the statistics window over a long
// history (10,000 checks): core and window, each measured alone.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <filesystem>
#include <fstream>

#include "bench/sample_history.h"
#include "training/history.h"
#include "training/progress.h"
#include "ui/check_window.h"
#include "ui/statistics_window.h"

namespace {

using namespace kelvak;

constexpr int kGroups = 999;
constexpr int kRecords = 10000;

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

struct HistoryFile {
  std::string path;
  explicit HistoryFile(int records = kRecords)
      : path((std::filesystem::temp_directory_path() /
              ("kelvak_bench_history_" + std::to_string(getpid()) + "_" + std::to_string(records) +
               ".jsonl"))
                 .string()) {
    std::ofstream out(path, std::ios::binary);
    for (const CheckRecord& r : bench::sampleHistory(records)) out << toJsonLine(r);
  }
  ~HistoryFile() { std::filesystem::remove(path); }
};

void historyLoad10000(benchmark::State& state) {
  static HistoryFile file;
  const History h(file.path);
  for (auto _ : state) benchmark::DoNotOptimize(h.load());
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(file.path));
}
BENCHMARK(historyLoad10000)->Unit(benchmark::kMillisecond);

// The history of the argument's checks read whole, streamed: its time and the memory it ends up
// holding grow with the checks, the reading's own memory does not.
void historyLoad(benchmark::State& state) {
  const HistoryFile file(static_cast<int>(state.range(0)));
  const History h(file.path);
  for (auto _ : state) benchmark::DoNotOptimize(h.load());
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(file.path));
}
BENCHMARK(historyLoad)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// After a check: its record appended and the kept history brought up to date, reading only the
// appended line.
void historyRecordAndRefresh(benchmark::State& state) {
  const HistoryFile file(static_cast<int>(state.range(0)));
  const History h(file.path);
  h.refresh();
  const CheckRecord record = bench::sampleHistory(1, 3).front();
  for (auto _ : state) {
    h.append(record);
    benchmark::DoNotOptimize(h.refresh().records.size());
  }
}
BENCHMARK(historyRecordAndRefresh)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void historySummary10000(benchmark::State& state) {
  static HistoryFile file;
  const HistoryContents contents = History(file.path).load();
  for (auto _ : state) benchmark::DoNotOptimize(summarize(contents.records));
}
BENCHMARK(historySummary10000)->Unit(benchmark::kMillisecond);

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

// From the menu command to the painted window: reading, summarising, building both charts.
void statisticsWindowOpen10000(benchmark::State& state) {
  static HistoryFile file;
  const History history(file.path);
  for (auto _ : state) {
    StatisticsWindow window(history);
    window.showInFront();
    QCoreApplication::processEvents();
    window.repaint();
  }
}
BENCHMARK(statisticsWindowOpen10000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
