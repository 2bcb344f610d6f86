// The sound device's own output timeline: where each written block sounds, and the samples the
// audio callback hands to the sound server.
#pragma once

#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "synth/symbol_block.h"

namespace kelvak {

// The sound server pulls samples in periods, so a block that merely joined a queue would start at
// the next period boundary: up to a whole period late, a Morse unit of jitter at speed 30. The
// timeline instead puts every block at the output position it is written for, counted in samples
// handed out since the timeline was made; the transmission's schedule thus decides where a symbol
// sounds, to the sample, however late its tick ran.
//
// Where a block meets the one before it, blockStart (playback/block_placement.h) decides: a block
// placed while the one before plays only its silent tail starts at its place and cuts that tail;
// one placed while the one before still sounds tone starts where that tone ends. Blocks never
// overlap and play in the order written. Before, between and after blocks the output holds the
// silent level 0x80, on which the blocks begin and end (give or take their noise), so the device
// adds no steps of its own.
//
// A map from the steady clock to the output position tells which sample sounds when: the device
// fixes where its positions begin from it, and tells the window which sample is heard. The map
// has two sources. By default it is learned from the moments the callback runs
// (SDL: the callback takes one period at a time, on the server's beat). A device whose server
// tells which sample is being heard (PulseAudio's timing information) calls followStreamClock
// instead, and the map then follows the stream's own clock: positionAt() is the sample heard at
// that moment.
//
// Not thread-safe: the sound device guards it with its mutex.
class OutputTimeline {
 public:
  using Clock = std::chrono::steady_clock;

  static constexpr std::uint8_t kCentreLevel = kSilentLevel;
  // How fast the clock map may slide back towards a sound card clock that runs slower than the
  // steady clock [samples of output per sample of steady time]; 200 ppm covers real crystals.
  static constexpr double kMaxDrift = 2e-4;
  // Following the stream's clock: a report's difference from the map is taken in over this time
  // [s], counting at most kStreamReportSpan [s] for any one report (the first after a stall of
  // the feeding thread is the likeliest to be stale), so that the wobble of a single report never
  // moves a block by more than a tenth of it.
  static constexpr double kStreamFollowTime = 0.2;
  static constexpr double kStreamReportSpan = 0.02;
  // A difference beyond kStreamJump [s] is a jump of the stream's clock (it stopped after an
  // underrun, or the server skipped). It is taken whole, as the median of the latest three reports
  // that showed it, but only once kStreamJumpReports reports in a row, none further than
  // kStreamReportGap [s] apart, have said so in the same direction for kStreamJumpConfirm [s]: a
  // single report that far off is a hiccup of the report itself (a timing update that came late),
  // and taking it would shift the rhythm by as much. The server reports once per request: every
  // 5 ms on PulseAudio, but once per cycle of PipeWire's graph, which runs every 43 ms when a
  // program asks for 2048 samples at 48 kHz (up to 8192, 170 ms); a limit of 30 ms between
  // reports there never let a jump be taken, and the clock stayed a whole cycle behind.
  static constexpr double kStreamJump = 0.010;
  static constexpr double kStreamJumpConfirm = 0.030;
  static constexpr double kStreamReportGap = 0.200;
  static constexpr std::size_t kStreamJumpReports = 3;

  explicit OutputTimeline(int sampleRate = kSampleRate);

  // Places a block at output `position` (or behind the tone before it, or at the first sample
  // not yet handed out) and holds a reference to it until it has been handed out. Its first
  // `toneSamples` carry tone, the rest is a silent tail the next block may cut. Returns the
  // output position of its first sample [samples]. An empty block occupies no time.
  std::int64_t write(SymbolBlock block, std::int64_t toneSamples, std::int64_t position);
  // A block that is all tone.
  std::int64_t write(SymbolBlock block, std::int64_t position) {
    const auto n = block ? static_cast<std::int64_t>(block->size()) : 0;
    return write(std::move(block), n, position);
  }

  // The stream's clock: at `now` the sample at output position `heard` is being heard
  // [samples]. From the first call on, the map follows these reports instead of the callbacks.
  void followStreamClock(Clock::time_point now, double heard);
  // A report of the stream's clock has come in.
  bool streamClockKnown() const { return streamClock_; }

  // The audio callback: fills out[0, count) with the next samples. `now` is when it runs.
  void render(std::uint8_t* out, std::size_t count, Clock::time_point now);

  // Drops every block not yet handed out; the output holds the silent level from there on.
  void clear();

  // Every written sample has been handed out.
  bool drained() const { return blocks_.empty(); }
  // When the last written sample was handed out (the callback's time); epoch before any.
  Clock::time_point drainedAt() const { return drainedAt_; }
  // Samples still to hand out up to the end of the last written block [samples].
  std::int64_t pendingSamples() const;
  // Samples handed out so far [samples].
  std::int64_t handedOut() const { return handedOut_; }
  // End of the last written block as it will play [samples].
  std::int64_t writtenEnd() const { return lastEnd_; }
  // Blocks that could not start at their place because the samples there had already been
  // handed out (their tick came too late), since the timeline was made.
  int lateWrites() const { return lateWrites_; }
  // Jumps of the stream's clock taken since the timeline was made.
  int streamJumps() const { return streamJumps_; }
  // The output position that the map gives for a moment [samples]; before the first callback,
  // the samples handed out so far.
  double positionAt(Clock::time_point t) const;
  int sampleRate() const { return sampleRate_; }

 private:
  struct Entry {
    SymbolBlock block;
    std::int64_t start;    // output position of the first sample [samples]
    std::int64_t toneEnd;  // one past the last tone sample [samples]
    std::int64_t end;      // one past the last sample that plays: a cut tail ends early [samples]
  };

  void learnClock(std::size_t count, Clock::time_point now);
  double secondsSinceEpoch(Clock::time_point t) const;

  int sampleRate_;
  std::deque<Entry> blocks_;
  std::int64_t handedOut_ = 0;  // the next sample the callback hands out [samples]
  std::int64_t lastEnd_ = 0;    // end of the last written block [samples]
  int lateWrites_ = 0;
  // Following the stream's clock: a smoothed map of which sample is heard when.
  bool streamClock_ = false;
  Clock::time_point lastReport_{};
  std::vector<double> jumpReports_;  // differences of the far-off reports since jumpSince_
  Clock::time_point jumpSince_{};
  int streamJumps_ = 0;
  Clock::time_point drainedAt_{};

  // Clock map: position(t) = offset_ + seconds since epoch_ * sampleRate_.
  bool clockKnown_ = false;
  bool settled_ = false;  // the start-up burst of callbacks is over
  Clock::time_point epoch_{};
  Clock::time_point lastCallback_{};
  std::size_t lastCount_ = 0;
  double offset_ = 0.0;
};

// The timeline as a device that writes ahead of what its server or driver plays uses it: a block
// for the device's `position` goes to `origin + position` on the timeline, one lead beyond what is
// heard at the open. Not thread-safe either: the device guards it with its mutex.
struct LeadTimeline {
  using Clock = OutputTimeline::Clock;

  explicit LeadTimeline(std::int64_t initialLead) : lead(initialLead) {}

  OutputTimeline timeline{kSampleRate};
  std::int64_t lead;        // [samples]
  std::int64_t origin = 0;  // the timeline's position of the device's position 0 [samples]

  // A late tick's block must still come before its samples go out: should the queue, counted
  // from what is heard, come within WaveDevice::kLateTickMs of the lead (a server or driver that
  // keeps more than it was asked to), the lead and position 0 move on to stay `margin` beyond, up
  // to a lead of `limit` [samples]. Settled before the first block (a Play's first tick comes a
  // whole interval after the open), so no symbol ever moves; a queue swollen by an underrun later
  // on changes nothing.
  void keepLeadAboveQueue(Clock::time_point now, std::int64_t margin, std::int64_t limit);
  // Places a block at the device's `position`; true when it came too late for its place.
  bool write(SymbolBlock block, std::size_t toneSamples, std::int64_t position);
  // Something written is still to be handed out, or not yet heard by the stream's clock.
  bool sounding(Clock::time_point now) const {
    return !timeline.drained() ||
           timeline.positionAt(now) < static_cast<double>(timeline.writtenEnd());
  }
  // Everything still to be heard at `now`, the last block whole [ms].
  double msToEnd(Clock::time_point now) const;
  // The device's position heard at `moment` [samples].
  std::int64_t heardAt(Clock::time_point moment) const {
    return std::llround(timeline.positionAt(moment)) - origin;
  }
};

}  // namespace kelvak
