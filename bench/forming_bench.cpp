// Speed of forming the 46 symbol blocks, beside the literal sample-by-sample forming, for the
// heaviest set the window can ask for and for the default settings.
#include <benchmark/benchmark.h>

#include <string>
#include <utility>

#include "synth/buffer_forming.h"
#include "reference/forming_oracle.h"

namespace kelvak {
namespace {

// Letters at speed 1, full signal, full noise: 5,840,220 samples with a sine and a draw each.
const FormingSettings kWorstCase{1, 1, 500, 0, 0};
// Digits at speed 12 and no noise: what Play forms when nothing was touched.
const FormingSettings kDefaultCase{};

// Both formings from the same generator state must agree to the byte and in the final state;
// figures of a wrong forming are worth nothing.
bool sameAsLiteral(const FormingSettings& settings, std::string& why) {
  Random fastRandom, literalRandom;
  fastRandom.setState(0x0123456789ABCDEFull);
  literalRandom.setState(0x0123456789ABCDEFull);
  const SymbolBuffers fast = formSymbolBuffers(settings, fastRandom, 0);
  const SymbolBuffers literal = formSymbolBuffersLiterally(settings, literalRandom, 0);
  for (int i = 0; i < kSymbolCount; ++i) {
    if (*fast.blocks[i] != *literal.blocks[i]) {
      why = "block " + std::to_string(i) + " differs from the literal forming";
      return false;
    }
  }
  if (fastRandom.state() != literalRandom.state()) {
    why = "generator state differs from the literal forming";
    return false;
  }
  return true;
}

std::size_t totalSamples(const SymbolBuffers& b) {
  std::size_t n = 0;
  for (const auto& block : b.blocks) n += block->size();
  return n;
}

void finish(benchmark::State& state, const SymbolBuffers& last) {
  const auto samples = static_cast<std::int64_t>(totalSamples(last));
  state.SetBytesProcessed(state.iterations() * samples);
  state.counters["samples"] = static_cast<double>(samples);
}

// The way the program forms again while it plays: the previous set's memory is handed back.
void fastRecycled(benchmark::State& state, const FormingSettings& settings) {
  std::string why;
  if (!sameAsLiteral(settings, why)) {
    state.SkipWithError(why.c_str());
    return;
  }
  Random random;
  SymbolBuffers previous = formSymbolBuffers(settings, random, 0);
  for (auto _ : state) {
    SymbolBuffers next = formSymbolBuffers(settings, random, 0, {}, &previous);
    benchmark::DoNotOptimize(next.blocks[0]->data());
    previous = std::move(next);
  }
  finish(state, previous);
}

// Forming without handing memory back, while the previous set is still held (as it is when the
// program forms again): every block takes memory from the allocator.
void fastWithoutRecycle(benchmark::State& state, const FormingSettings& settings) {
  std::string why;
  if (!sameAsLiteral(settings, why)) {
    state.SkipWithError(why.c_str());
    return;
  }
  Random random;
  SymbolBuffers previous = formSymbolBuffers(settings, random, 0);
  for (auto _ : state) {
    SymbolBuffers next = formSymbolBuffers(settings, random, 0);
    benchmark::DoNotOptimize(next.blocks[0]->data());
    previous = std::move(next);
  }
  finish(state, previous);
}

void literal(benchmark::State& state, const FormingSettings& settings) {
  Random random;
  SymbolBuffers last;
  for (auto _ : state) {
    last = {};
    last = formSymbolBuffersLiterally(settings, random, 0);
    benchmark::DoNotOptimize(last.blocks[0]->data());
  }
  finish(state, last);
}

// Real time: the fast forming may use a second thread, which CPU time of this one would hide.
BENCHMARK_CAPTURE(fastRecycled, worst, kWorstCase)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(fastWithoutRecycle, worst, kWorstCase)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(literal, worst, kWorstCase)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(fastRecycled, default, kDefaultCase)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(fastWithoutRecycle, default, kDefaultCase)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(literal, default, kDefaultCase)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace kelvak

BENCHMARK_MAIN();
