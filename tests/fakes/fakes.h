// Test doubles for the window's controls, the timer and the sound device, on a manual clock.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "playback/controls.h"
#include "playback/transmission.h"
#include "playback/timer.h"
#include "playback/wave_device.h"
#include "synth/buffer_forming.h"

namespace kelvak::testing {

// The main window's controls as plain values, with their initial settings; on `Base`, the window's
// interface they answer (Controls, or a view that extends it).
template <class Base = Controls>
struct FakeControlsOf : Base {
  int speedValue = 12, kind = 0, freq = 500, signal = 0, noise = 127;
  std::string groupsText = "30", charPause = "1", groupPause = "2";
  bool randomTicked = true, longZeroChecked = false, signsChecked = false;

  bool playEnabled = true, stopEnabled = false, pauseEnabled = false, pauseDown = false;
  bool groupCountEnabled = true, textKindEnabled = true;
  std::string pane, status;
  std::uint16_t progressMax = 46, progressPos = 0;
  int groupCountMax = 999, groupCount = 30;
  int formingsShown = 0;  // times the forming prompt appeared
  std::vector<std::pair<std::string, std::string>> messages;
  std::function<void()> whileMessageOpen;  // runs while a message box is "open"

  int speed() const override { return speedValue; }
  int textKind() const override { return kind; }
  int frequency() const override { return freq; }
  int signalPosition() const override { return signal; }
  int noisePosition() const override { return noise; }
  std::string groupCountText() const override { return groupsText; }
  std::string charPauseText() const override { return charPause; }
  std::string groupPauseText() const override { return groupPause; }
  bool randomSource() const override { return randomTicked; }
  bool longZero() const override { return longZeroChecked; }
  bool specialSigns() const override { return signsChecked; }

  void setPlayEnabled(bool on) override { playEnabled = on; }
  void setStopEnabled(bool on) override { stopEnabled = on; }
  void setPauseEnabled(bool on) override { pauseEnabled = on; }
  void setPauseDown(bool down) override { pauseDown = down; }
  void setGroupCountEnabled(bool on) override { groupCountEnabled = on; }
  void clearText() override { pane.clear(); }
  void appendText(const std::string& utf8) override { pane += utf8; }
  void setStatusText(const std::string& utf8) override {
    status = utf8;
    if (utf8 == kFormingStatus) ++formingsShown;
  }
  void setProgressMax(std::uint16_t max) override {
    progressMax = max;
    if (progressPos > max) progressPos = max;
  }
  void setProgressPosition(std::uint16_t position) override {
    progressPos = position > progressMax ? progressMax : position;
  }
  std::uint16_t progressPosition() const override { return progressPos; }
  void showMessage(const std::string& text, const std::string& caption) override {
    messages.emplace_back(text, caption);
    if (whileMessageOpen) whileMessageOpen();
  }
  void setSourceChecks(bool randomOn) override { randomTicked = randomOn; }
  void setGroupCountMax(int max) override { groupCountMax = max; }
  void setGroupCount(int groups) override {
    groupCount = groups;
    groupsText = std::to_string(groups);
  }
  void setTextKindEnabled(bool on) override { textKindEnabled = on; }
};
using FakeControls = FakeControlsOf<>;

// A timer on a manual clock [ms] with the re-arming rules of the window's timer.
struct FakeTimer : Timer {
  bool on = false;
  std::uint32_t ms = kInitialInterval;
  std::int64_t now = 0;
  std::int64_t due = 0;
  std::int64_t lateMs = 0;  // each tick runs this long after it fell due
  std::int64_t beat = 0;    // when the tick being run fell due
  bool inTick = false;

  bool enabled() const override { return on; }
  void setEnabled(bool v) override {
    if (v == on) return;
    on = v;
    if (on) due = (inTick ? beat : now) + ms;
  }
  std::uint32_t interval() const override { return ms; }
  void setInterval(std::uint32_t v) override {
    if (v == ms) return;
    ms = v;
    if (on) due = (inTick ? beat : now) + ms;
  }
  bool armed() const { return on && ms > 0; }
  // The manual clock as steady-clock moments (its epoch plus so many milliseconds): inside a tick
  // the beat it fell due on, and now.
  std::chrono::steady_clock::time_point tickMoment() const override {
    return std::chrono::steady_clock::time_point{} + std::chrono::milliseconds(inTick ? beat : now);
  }
  std::chrono::steady_clock::time_point currentMoment() const override {
    return std::chrono::steady_clock::time_point{} + std::chrono::milliseconds(now);
  }
  // Moves the clock to `until`, calling `tick` at every tick that falls due on the way.
  void runUntil(std::int64_t until, const std::function<void()>& tick);
  // Fires the next tick, whenever it is due; false when none will come.
  bool fireNext(const std::function<void()>& tick);
};

// A sound device that records what it is given. Blocks count as playing until finish() is called
// or the clock passes their end, and the device keeps them alive meanwhile. By default position 0
// sounds `lead` after the open on the timer's clock; `heard` set by hand says instead which
// position is being heard, whatever the clock.
struct FakeDevice : WaveDevice {
  struct Written {
    SymbolBlock block;
    std::int64_t at;  // [ms] on the timer's clock
    std::size_t toneSamples;
    std::int64_t position;  // [samples]
  };
  const std::int64_t* clock = nullptr;  // the timer's clock, for write times
  bool openSucceeds = true;
  bool writesSucceed = true;
  bool gone = false;  // the sound server went away: alive() says so, writes are refused
  bool opened = false;
  int opens = 0, closes = 0, waits = 0;
  std::int64_t openedAt = 0;  // [ms] on the timer's clock
  std::int64_t lead = 0;      // [samples]
  std::optional<std::int64_t> heard;
  std::vector<Written> writes;
  std::vector<SymbolBlock> playing;

  bool open() override {
    ++opens;
    opened = openSucceeds;
    openedAt = clock ? *clock : 0;
    return opened;
  }
  bool isOpen() const override { return opened; }
  bool alive() const override { return opened && !gone; }
  using WaveDevice::write;
  bool write(SymbolBlock block, std::size_t toneSamples, std::int64_t position) override {
    if (!opened || !writesSucceed || gone) return false;
    writes.push_back({block, clock ? *clock : 0, toneSamples, position});
    playing.push_back(std::move(block));
    return true;
  }
  // The manual clock's moments are its epoch plus its milliseconds (FakeTimer::tickMoment).
  std::int64_t heardAt(Clock::time_point moment) const override;
  std::int64_t leadSamples() const override { return lead; }
  bool busy() const override { return !playing.empty(); }
  bool waitUntilPlayed() override {
    ++waits;
    playing.clear();
    return true;
  }
  void close() override {
    if (!opened) return;
    ++closes;
    opened = false;
    playing.clear();
  }
  void finish() { playing.clear(); }
};

}  // namespace kelvak::testing
