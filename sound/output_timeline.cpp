// The sound device's output timeline: block placement, the clock map and sample hand-out.
#include "sound/output_timeline.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "playback/block_placement.h"
#include "playback/wave_device.h"

namespace kelvak {

OutputTimeline::OutputTimeline(int sampleRate) : sampleRate_(sampleRate) {}

double OutputTimeline::secondsSinceEpoch(Clock::time_point t) const {
  return std::chrono::duration<double>(t - epoch_).count();
}

double OutputTimeline::positionAt(Clock::time_point t) const {
  if (!clockKnown_) return static_cast<double>(handedOut_);
  return offset_ + secondsSinceEpoch(t) * sampleRate_;
}

std::int64_t OutputTimeline::write(SymbolBlock block, std::int64_t toneSamples,
                                   std::int64_t position) {
  const std::int64_t due = position;
  // Behind the block before by the one rule for that; never into samples already handed out.
  std::int64_t wanted = std::max(due, lastEnd_);
  if (!blocks_.empty()) {
    const Entry& prev = blocks_.back();
    const auto size = static_cast<std::int64_t>(prev.block->size());
    wanted = blockStart(due, prev.start, size, size - (prev.toneEnd - prev.start));
  }
  if (handedOut_ > wanted) ++lateWrites_;
  const std::int64_t start = std::max(wanted, handedOut_);
  if (!block || block->empty()) return start;
  if (!blocks_.empty() && blocks_.back().end > start) blocks_.back().end = start;  // a silent tail
  const auto size = static_cast<std::int64_t>(block->size());
  const std::int64_t tone = std::clamp<std::int64_t>(toneSamples, 0, size);
  blocks_.push_back({std::move(block), start, start + tone, start + size});
  lastEnd_ = blocks_.back().end;
  return start;
}

void OutputTimeline::followStreamClock(Clock::time_point now, double heard) {
  if (!streamClock_) {
    streamClock_ = true;
    clockKnown_ = true;
    epoch_ = now;
    offset_ = heard;
    lastReport_ = now;
    return;
  }
  const double sinceLast = std::chrono::duration<double>(now - lastReport_).count();
  lastReport_ = now;
  const double error = heard - secondsSinceEpoch(now) * sampleRate_ - offset_;
  if (std::abs(error) <= kStreamJump * sampleRate_) {
    jumpReports_.clear();
    offset_ += std::clamp(sinceLast, 0.0, kStreamReportSpan) / kStreamFollowTime * error;
    return;
  }
  // Far off: a jump once the reports agree on it for long enough, in one direction and without a
  // gap between them.
  if (jumpReports_.empty() || (error > 0) != (jumpReports_.back() > 0) ||
      sinceLast > kStreamReportGap) {
    jumpReports_.clear();
    jumpSince_ = now;
  }
  jumpReports_.push_back(error);
  if (jumpReports_.size() < kStreamJumpReports ||
      std::chrono::duration<double>(now - jumpSince_).count() < kStreamJumpConfirm) {
    return;
  }
  // The latest three must agree with one another: while the clock is still coming in over several
  // reports they do not, and taking it then would take it in two steps.
  const auto latest = jumpReports_.end() - static_cast<std::ptrdiff_t>(kStreamJumpReports);
  const auto [low, high] = std::minmax_element(latest, jumpReports_.end());
  if (*high - *low > kStreamJump * sampleRate_) return;
  // The median of the latest three: current, yet no single report decides.
  const auto middle = latest + static_cast<std::ptrdiff_t>(kStreamJumpReports / 2);
  std::nth_element(latest, middle, jumpReports_.end());
  offset_ += *middle;
  jumpReports_.clear();
  ++streamJumps_;
}

void OutputTimeline::learnClock(std::size_t count, Clock::time_point now) {
  if (!clockKnown_) {
    epoch_ = now;
    clockKnown_ = true;
    settled_ = false;
    offset_ = static_cast<double>(handedOut_);
    lastCallback_ = now;
    lastCount_ = count;
    return;
  }
  const double elapsed = std::chrono::duration<double>(now - lastCallback_).count();  // [s]
  // Where the map would put this callback if it ran exactly on time.
  const double observed = static_cast<double>(handedOut_) - secondsSinceEpoch(now) * sampleRate_;
  if (!settled_) {
    // Right after opening, and after a stall, the server asks for a burst of periods to fill its
    // buffer; those callbacks run early and say nothing about the pace. Follow the latest one
    // until a callback comes a normal distance after the one before it.
    offset_ = observed;
    if (elapsed * sampleRate_ >= static_cast<double>(lastCount_) / 2) settled_ = true;
  } else {
    // Callbacks run on time or late, never early: keep the earliest, letting it slide back only
    // as fast as a slow sound card clock could drift.
    const double drifted = offset_ - kMaxDrift * elapsed * sampleRate_;
    offset_ = std::max(observed, drifted);
    // A callback far behind the map means the server lost time (an underrun or a stall): take
    // its pace anew rather than keep a latency that has grown.
    const double stallLimit = std::max(3.0 * static_cast<double>(count), 0.05 * sampleRate_);
    if (observed < offset_ - stallLimit) {
      offset_ = observed;
      settled_ = false;
    }
  }
  lastCallback_ = now;
  lastCount_ = count;
}

void OutputTimeline::render(std::uint8_t* out, std::size_t count, Clock::time_point now) {
  if (!streamClock_) learnClock(count, now);
  const bool hadBlocks = !blocks_.empty();
  const std::int64_t endPos = handedOut_ + static_cast<std::int64_t>(count);
  std::int64_t pos = handedOut_;
  while (pos < endPos) {
    if (!blocks_.empty() && blocks_.front().start <= pos) {
      const Entry& e = blocks_.front();
      const std::int64_t n = std::max<std::int64_t>(0, std::min(e.end, endPos) - pos);
      std::memcpy(out + (pos - handedOut_), e.block->data() + (pos - e.start),
                  static_cast<std::size_t>(n));
      pos += n;
      if (pos >= e.end) blocks_.pop_front();
      continue;
    }
    const std::int64_t fillEnd = blocks_.empty() ? endPos : std::min(endPos, blocks_.front().start);
    std::memset(out + (pos - handedOut_), kCentreLevel, static_cast<std::size_t>(fillEnd - pos));
    pos = fillEnd;
  }
  handedOut_ = endPos;
  if (hadBlocks && blocks_.empty()) drainedAt_ = now;
}

void OutputTimeline::clear() {
  blocks_.clear();
  lastEnd_ = handedOut_;
}

std::int64_t OutputTimeline::pendingSamples() const {
  return blocks_.empty() ? 0 : std::max<std::int64_t>(0, lastEnd_ - handedOut_);
}

void LeadTimeline::keepLeadAboveQueue(Clock::time_point now, std::int64_t margin,
                                      std::int64_t limit) {
  if (timeline.writtenEnd() > 0) return;
  const double queue = static_cast<double>(timeline.handedOut()) - timeline.positionAt(now);
  const auto needed = static_cast<std::int64_t>(queue) +
                      WaveDevice::kLateTickMs * timeline.sampleRate() / 1000 + margin;
  if (needed > lead && needed <= limit) {
    origin += needed - lead;
    lead = needed;
  }
}

bool LeadTimeline::write(SymbolBlock block, std::size_t toneSamples, std::int64_t position) {
  const int before = timeline.lateWrites();
  timeline.write(std::move(block), static_cast<std::int64_t>(toneSamples), origin + position);
  return timeline.lateWrites() != before;
}

double LeadTimeline::msToEnd(Clock::time_point now) const {
  const double toEnd = static_cast<double>(timeline.writtenEnd()) - timeline.positionAt(now);
  return 1000.0 * static_cast<double>(static_cast<std::int64_t>(std::max(0.0, toEnd))) /
         timeline.sampleRate();
}

}  // namespace kelvak
