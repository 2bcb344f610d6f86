// The transmission engine: one symbol per timer tick, paced by the symbol's length and the pauses.
#include "playback/transmission.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "base/error.h"
#include "playback/block_placement.h"
#include "playback/settings.h"
#include "synth/symbol_table.h"
#include "text/int_text.h"

namespace kelvak {

Transmission::Transmission(Controls& controls, Timer& timer, WaveDevice& device, Random& random)
    : controls_(controls), timer_(timer), device_(device), random_(random) {}

SymbolChoice Transmission::choice() const { return symbolChoiceFrom(controls_); }

int Transmission::nextSymbolIndex() {
  SymbolChoice now = choice();
  weights_ = now.randomSource ? weightsFor(now) : nullptr;
  now.weights = weights_.get();
  return kelvak::nextSymbolIndex(now, symbolCounter_, fileText_, random_);
}

std::optional<std::int32_t> Transmission::fileCount() const {
  if (controls_.randomSource()) return std::nullopt;
  return fileText_.count();
}

SymbolBuffers Transmission::formNewSet() {
  const FormingSettings settings = formingSettingsFrom(controls_);
  lastSound_ = settings;
  // Speed 0 fails here, before the window shows any forming: the set in use goes on playing.
  unitDuration(settings.speed, settings.textKind);

  controls_.setStatusText(kFormingStatus);
  controls_.setProgressMax(kSymbolCount);
  auto progress = [this](int) {
    controls_.setProgressPosition(static_cast<std::uint16_t>(controls_.progressPosition() + 1));
  };
  SymbolBuffers* recycle = spare_.formed() ? &spare_ : nullptr;
  return formSymbolBuffers(settings, random_, unitMs_, progress, recycle);
}

void Transmission::adopt(SymbolBuffers fresh) {
  // The replaced set's memory may serve the next forming; a block of it that the device still
  // holds stays alive through the device's own reference.
  spare_ = std::move(buffers_);
  buffers_ = std::move(fresh);
  unitMs_ = buffers_.unitMs;
}

void Transmission::finishForming() {
  controls_.setStatusText(kPlayingStatus);
  const std::int32_t groups = fieldInteger(controls_.groupCountText());
  controls_.setProgressMax(static_cast<std::uint16_t>(wrap32(std::int64_t{groups} * 5 + 1)));
  controls_.setProgressPosition(static_cast<std::uint16_t>(heardCounter_));
  buffersStale_ = false;
}

void Transmission::bufferForming() {
  adopt(formNewSet());
  finishForming();
}

void Transmission::play() {
  // Speed 0 can form no sound: it is refused before anything changes, so that after the error
  // report the window is as it was, ready to play.
  unitDuration(controls_.speed(), controls_.textKind());
  endSymbols();  // a drill left open gives the device back first
  controls_.setPlayEnabled(false);
  controls_.setStopEnabled(true);
  controls_.setPauseEnabled(true);
  controls_.setGroupCountEnabled(false);
  controls_.clearText();
  sent_.symbols.clear();
  ++sent_.number;
  sent_.fromFile = !controls_.randomSource();
  sent_.filePath = sent_.fromFile ? filePath_ : std::string();
  shown_ = 0;
  heardSymbols_ = 0;
  pending_.clear();
  bufferForming();
  spare_.release();  // nothing of an earlier transmission is worth keeping

  if (!device_.open()) {
    // Nothing plays: the status says so while the box is up, as after Stop.
    controls_.setStatusText("");
    controls_.showMessage(kOpenErrorText, kOpenErrorCaption);
    setIdleControls();
    buffers_.release();
    return;
  }
  symbolCounter_ = 0;
  // The start signal comes after the interval the timer holds, the last one the previous
  // transmission set. One that stood still (P + L zero or negative leaves no interval or one of
  // weeks) would keep every later transmission silent, so that one gives way to the first.
  if (static_cast<std::int32_t>(timer_.interval()) <= 0) {
    timer_.setInterval(Timer::kInitialInterval);
  }
  nominalInterval_ = timer_.interval();
  timer_.setEnabled(true);
  // The transmission's sample 0: the device placed its own one lead after the open, a moment ago.
  start_ = timer_.tickMoment();
  schedule_.start(nominalInterval_);
}

void Transmission::rebase() {
  const auto sinceStart = std::chrono::nanoseconds(timer_.tickMoment() - start_).count();
  schedule_.rebase(schedule_.samplesOf(sinceStart), nominalInterval_);
}

std::uint32_t Transmission::steered(std::uint32_t interval, std::int64_t onset) const {
  const std::int64_t lead = device_.leadSamples();
  if (lead <= 0 || interval == 0 || interval > kSteeredIntervalLimit) return interval;
  // How much later than one lead before its place this tick fell due, by the stream's clock.
  const std::int64_t ahead = onset - device_.heardAt(timer_.tickMoment());
  const auto lateMs = std::llround(static_cast<double>(lead - ahead) * 1000 / kSampleRate);
  const std::int64_t shift = std::clamp<std::int64_t>(lateMs, -kSteerLaterMs, interval / 2);
  return static_cast<std::uint32_t>(std::int64_t{interval} - shift);
}

void Transmission::tick() {
  if (!device_.isOpen() || !buffers_.formed()) {
    // No transmission is open; a stray tick must not send anything.
    timer_.setEnabled(false);
    return;
  }
  const std::int32_t c = symbolCounter_;
  if (const auto count = fileCount(); count && beyondText(c, *count)) {
    // The source became a file text shorter than what has been sent already.
    stopPlayback();
    return;
  }

  // The pause is read before anything is sent, so a field holding no integer fails the tick
  // without sending a symbol that would never be shown; the next tick tries the same place again.
  const TickStep step = stepTick(
      schedule_, buffers_, c, nominalInterval_,
      [this](bool endOfGroup) {
        return fieldInteger(endOfGroup ? controls_.groupPauseText() : controls_.charPauseText());
      },
      [this] { return nextSymbolIndex(); });
  // A refused block is simply not heard. Its silent tail may be cut by the next block.
  const bool accepted = device_.write(buffers_.blocks[step.index],
                                      static_cast<std::size_t>(step.toneSamples), step.place.start);
  if (!accepted && !device_.alive()) {
    // The sound server went away: nothing more can be heard. The transmission ends with the
    // device's message, as when it cannot be opened, instead of running on in silence.
    stopPlayback();
    controls_.setStatusText("");
    controls_.showMessage(kOpenErrorText, kOpenErrorCaption);
    return;
  }
  const auto interval = static_cast<std::uint32_t>(step.intervalMs);
  nominalInterval_ = interval;
  timer_.setInterval(accepted ? steered(interval, step.place.onset) : interval);

  if (c != 0) {
    sent_.symbols.push_back(static_cast<std::uint8_t>(step.index));
    sent_.sound = lastSound_;
  }
  symbolCounter_ = c + 1;
  pending_.push_back({step.place.start, sent_.symbols.size(), symbolCounter_});
  followSound();  // a device without a lead sounds the block at once

  const std::int32_t groups = fieldInteger(controls_.groupCountText());
  if (lastTick(symbolCounter_, groups, fileCount())) {
    stopPlayback();
  }
}

int Transmission::followSound() { return followSoundAt(timer_.currentMoment()); }

int Transmission::followSoundAt(std::chrono::steady_clock::time_point now) {
  if (!device_.isOpen()) return -1;
  const std::int64_t heard = device_.heardAt(now);
  bool moved = false;
  while (!pending_.empty() && pending_.front().position <= heard) {
    heardSymbols_ = pending_.front().symbols;
    heardCounter_ = pending_.front().counter;
    pending_.pop_front();
    moved = true;
  }
  if (moved) {
    if (!textHidden_) showSentText(heardSymbols_);
    controls_.setProgressPosition(static_cast<std::uint16_t>(heardCounter_));
  }
  if (pending_.empty()) return -1;
  const std::int64_t wait = pending_.front().position - heard;
  return static_cast<int>(
      std::min<std::int64_t>((wait * 1000 + kSampleRate - 1) / kSampleRate, kFollowSoundMaxMs));
}

void Transmission::setIdleControls() {
  controls_.setPlayEnabled(true);
  controls_.setStopEnabled(false);
  controls_.setPauseEnabled(false);
  controls_.setGroupCountEnabled(true);
}

void Transmission::followSoundToTheLastBlock() {
  using Clock = std::chrono::steady_clock;
  if (device_.leadSamples() <= 0 || pending_.empty()) return;
  const std::int64_t ahead = pending_.back().position - device_.heardAt(Clock::now());
  const auto bound = std::chrono::milliseconds(
      std::clamp<std::int64_t>(ahead * 1000 / kSampleRate, 0, kFollowToTheEndMaxMs) +
      kFollowSoundMaxMs);
  const auto deadline = Clock::now() + bound;
  for (;;) {
    const int wait = followSoundAt(Clock::now());
    if (wait < 0 || !device_.alive() || device_.stalled()) return;
    const auto now = Clock::now();
    if (now >= deadline) return;
    std::this_thread::sleep_for(
        std::min<Clock::duration>(std::chrono::milliseconds(std::max(wait, 1)), deadline - now));
  }
}

void Transmission::stopPlayback() {
  if (device_.isOpen()) {
    followSoundToTheLastBlock();  // the window waits; the pane goes on with the sound
    device_.waitUntilPlayed();    // the last symbol is heard to its end
    device_.close();
    // Everything written has sounded now.
    pending_.clear();
    heardSymbols_ = sent_.symbols.size();
    heardCounter_ = symbolCounter_;
    controls_.setProgressPosition(static_cast<std::uint16_t>(heardCounter_));
  }
  showSentText(sent_.symbols.size());  // the hidden text appears once the last symbol was heard
  timer_.setEnabled(false);
  // The timer holds the interval the last tick set, without the steering towards the sound.
  if (timer_.interval() != nominalInterval_) timer_.setInterval(nominalInterval_);
  buffers_.release();
  spare_.release();
  setIdleControls();
  controls_.setStatusText(kEndedStatus);
}

void Transmission::pause() {
  if (!device_.isOpen()) {
    // Play stopped at a failed forming: there is nothing to pause or resume.
    controls_.setPauseDown(pauseDown_);
    return;
  }
  if (!timer_.enabled() && buffersStale_) {
    try {
      bufferForming();
    } catch (...) {
      // The pause goes on with the set in use (or, if only the group count failed, the new one).
      pauseDown_ = true;
      controls_.setPauseDown(true);
      throw;
    }
  }
  timer_.setEnabled(!timer_.enabled());
  if (timer_.enabled()) rebase();  // the next symbol one interval after the resume
  pauseDown_ = !timer_.enabled();
  controls_.setPauseDown(pauseDown_);
}

void Transmission::soundSettingChanged(SoundSetting which) {
  if (timer_.enabled()) {
    if (which == SoundSetting::Frequency) {
      // The countdown to the next tick goes on: the next symbol keeps its time.
      bufferForming();
    } else {
      SymbolBuffers fresh = formNewSet();  // speed 0 fails here and the old sound plays on
      // Restarting the timer puts the next symbol one full interval after the forming.
      timer_.setEnabled(false);
      adopt(std::move(fresh));
      timer_.setEnabled(true);
      rebase();
      finishForming();
    }
  }
  buffersStale_ = true;
}

void Transmission::showSentText(std::size_t upTo) {
  upTo = std::min(upTo, sent_.symbols.size());
  if (shown_ >= upTo) return;
  std::string text;
  for (std::size_t k = shown_; k < upTo; ++k) {
    text += displayUtf8(sent_.symbols[k]);
    if ((k + 1) % 5 == 0) text += ' ';  // a space after every group
  }
  shown_ = upTo;
  controls_.appendText(text);
}

void Transmission::setTextHidden(bool hidden) {
  if (hidden == textHidden_) return;
  textHidden_ = hidden;
  if (!device_.isOpen()) return;  // between transmissions the pane keeps what it shows
  if (hidden) {
    controls_.clearText();
    shown_ = 0;
  } else {
    showSentText(heardSymbols_);
  }
}

void Transmission::loadFile(const std::string& path) {
  fileText_ = readFileText(path);
  filePath_ = path;
  controls_.setSourceChecks(false);
  controls_.setGroupCountMax(fileText_.groups());
  controls_.setGroupCount(fileText_.groups());
  controls_.setTextKindEnabled(false);
}

void Transmission::useRandomText() {
  controls_.setSourceChecks(true);
  controls_.setGroupCountMax(settingRow(Setting::Groups).high);
  controls_.setTextKindEnabled(true);
}

std::int32_t Transmission::soundSymbol(int index) {
  if (device_.isOpen() && !singles_) throw KelvakError("A transmission is open");
  if (index < 0 || index >= kSymbolCount) throw KelvakError("No such symbol");
  if (!buffers_.formed() || buffersStale_) {
    adopt(formNewSet());
    spare_.release();
    buffersStale_ = false;
    // The forming's prompt and bar are no transmission's: they go back as they were.
    controls_.setStatusText("");
    controls_.setProgressPosition(0);
  }
  if (!device_.isOpen()) {
    if (!device_.open()) throw KelvakError(kOpenErrorText);
    singles_ = true;
  }
  const SymbolBlock& block = buffers_.blocks[index];
  const std::int64_t size = block ? static_cast<std::int64_t>(block->size()) : 0;
  const std::int64_t tail = kSilentTailUnits * buffers_.samplesPerUnit;
  const std::int64_t tone = size > tail ? size - tail : size;
  // As soon as the device can place it: one lead after the sample heard now.
  const std::int64_t lead = device_.leadSamples();
  if (!device_.write(block, static_cast<std::size_t>(tone),
                     device_.heardAt(WaveDevice::Clock::now()) + lead) &&
      !device_.alive()) {
    // The server went away: this character is never heard, and the caller hears so.
    endSymbols();
    throw KelvakError(kOpenErrorText);
  }
  const std::int64_t units =
      static_cast<std::int64_t>(SymbolTable[index].length) - kSilentTailUnits;
  return wrap32(units * unitMs_ + lead * 1000 / kSampleRate);
}

void Transmission::endSymbols() {
  if (!singles_) return;
  singles_ = false;
  if (device_.isOpen()) {
    device_.waitUntilPlayed();
    device_.close();
  }
  buffers_.release();
  spare_.release();
}

void Transmission::shutdown() {
  timer_.setEnabled(false);
  device_.close();
  buffers_.release();
  spare_.release();
}

}  // namespace kelvak
