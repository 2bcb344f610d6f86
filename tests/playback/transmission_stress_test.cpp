// Thousands of random event sequences against the transmission, checking its invariants after
// every event. A failing run prints its seed; KELVAK_STRESS_SEED=<seed> replays just that one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "base/error.h"
#include "presenter/error_gate.h"
#include "playback/transmission.h"
#include "synth/symbol_table.h"
#include "tests/fakes/fakes.h"

namespace kelvak {
namespace {

using testing::FakeControls;
using testing::FakeTimer;

// A device that may refuse to open, refuse writes, never finish, or die; it checks that no block
// it holds is ever changed while it plays.
struct StressDevice : WaveDevice {
  bool openSucceeds = true, writesSucceed = true, neverFinishes = false, dead = false;
  bool opened = false;
  int waitsSinceOpen = 0;
  struct Held {
    SymbolBlock block;
    std::vector<std::uint8_t> copy;
  };
  std::vector<Held> held;
  std::vector<std::weak_ptr<const std::vector<std::uint8_t>>> everWritten;

  bool open() override {
    opened = openSucceeds && !dead;
    waitsSinceOpen = 0;
    return opened;
  }
  bool isOpen() const override { return opened; }
  using WaveDevice::write;
  // Whatever is written has begun to sound by the time anyone asks.
  std::int64_t heardAt(Clock::time_point) const override { return INT64_MAX / 4; }
  bool write(SymbolBlock block, std::size_t, std::int64_t) override {
    if (!opened || !writesSucceed || dead) return false;
    everWritten.push_back(block);
    held.push_back({block, *block});
    if (held.size() > 4) held.erase(held.begin());  // older blocks have played by now
    return true;
  }
  bool busy() const override { return !held.empty(); }
  bool waitUntilPlayed() override {
    ++waitsSinceOpen;
    if (neverFinishes || dead) return false;  // the bound ran out
    held.clear();
    return true;
  }
  void close() override {
    opened = false;
    held.clear();
  }
  void checkHeldIntact() const {
    for (const Held& h : held) ASSERT_EQ(*h.block, h.copy) << "a block changed while playing";
  }
};

struct CountingReporter : ErrorReporter {
  std::function<void(const std::string&)> onShow;
  std::map<std::string, int> shown;
  void showErrorReport(const std::string& text) override {
    ++shown[text];
    if (onShow) onShow(text);
  }
};

class Files {
 public:
  Files() {
    const auto dir = std::filesystem::temp_directory_path();
    const std::vector<std::string> contents = {"",
                                               "12345",
                                               std::string(23, '\xE0'),
                                               "\xD2\xEE\xEA 220/380 \xC2",
                                               "Ток 220/380 В",
                                               "ё ъ ABC\r\n",
                                               std::string(60, '7') + "-/?\xB9"};
    for (std::size_t i = 0; i < contents.size(); ++i) {
      paths_.push_back(
          (dir / ("kelvak_stress_" + std::to_string(getpid()) + "_" + std::to_string(i) + ".txt"))
              .string());
      std::ofstream(paths_.back(), std::ios::binary) << contents[i];
    }
    paths_.push_back((dir / "kelvak_stress_missing_file.txt").string());
  }
  ~Files() {
    for (const auto& p : paths_) std::filesystem::remove(p);
  }
  const std::string& pick(std::mt19937_64& rng) const { return paths_[rng() % paths_.size()]; }

 private:
  std::vector<std::string> paths_;
};

// One random run of `events` events from `seed`.
void runSequence(std::uint64_t seed, int events, const Files& files) {
  SCOPED_TRACE("seed " + std::to_string(seed) +
               " (replay with KELVAK_STRESS_SEED=" + std::to_string(seed) + ")");
  std::mt19937_64 rng(seed);
  FakeControls controls;
  controls.speedValue = 20 + static_cast<int>(rng() % 11);  // small blocks keep the run quick
  FakeTimer timer;
  StressDevice device;
  Random random;
  Transmission tx(controls, timer, device, random);
  CountingReporter reporter;
  ErrorGate gate(reporter);
  std::set<std::string> open;  // reports on screen now

  auto guarded = [&](const std::function<void()>& handler) {
    gate.run([&] {
      try {
        handler();
      } catch (const KelvakError&) {
        throw;
      } catch (const std::exception& e) {
        ADD_FAILURE() << "unexpected error: " << e.what();
        throw;
      }
    });
  };
  auto tick = [&] { guarded([&] { timer.fireNext([&] { tx.tick(); }); }); };
  // While a report is open, timer ticks go on and may fail again.
  reporter.onShow = [&](const std::string& text) {
    EXPECT_TRUE(open.insert(text).second) << "second report of the same cause: " << text;
    for (int i = static_cast<int>(rng() % 3); i > 0; --i) tick();
    open.erase(text);
  };

  const std::vector<std::string> counts = {"0", "1", "2", "3", "7", "999", "-1", "abc", "", "$2"};
  const std::vector<std::string> pauses = {"1", "2", "5", "0", "7", "-3", "x", " 3", "0x1"};
  std::string history;  // event kinds so far, shown with a failure
  for (int e = 0; e < events; ++e) {
    const unsigned kind = static_cast<unsigned>(rng() % 24);
    history += std::to_string(kind) + ' ';
    SCOPED_TRACE("events: " + history);
    switch (kind) {
      // A disabled button cannot be clicked.
      case 0:
        if (controls.playEnabled) guarded([&] { tx.play(); });
        break;
      case 1:
        if (controls.stopEnabled) guarded([&] { tx.stopPlayback(); });
        break;
      case 2:
        if (controls.pauseEnabled) {
          controls.pauseDown = !controls.pauseDown;  // the button toggles itself on a click
          guarded([&] { tx.pause(); });
        }
        break;
      case 3:
      case 4:
      case 5:
      case 6:
      case 7:
      case 8:
        tick();
        break;
      case 9:  // mostly fast speeds, whose blocks are small; now and then any, 0 included
        controls.speedValue = static_cast<int>(rng() % 8 == 0 ? rng() % 31 : 20 + rng() % 11);
        guarded([&] { tx.soundSettingChanged(SoundSetting::Speed); });
        break;
      case 10:
        controls.signal = static_cast<int>(rng() % 128);
        guarded([&] { tx.soundSettingChanged(SoundSetting::Signal); });
        break;
      case 11:
        controls.noise = rng() % 2 ? 127 : static_cast<int>(rng() % 128);
        guarded([&] { tx.soundSettingChanged(SoundSetting::Noise); });
        break;
      case 12:
        controls.freq = 100 + static_cast<int>(rng() % 4901);
        guarded([&] { tx.soundSettingChanged(SoundSetting::Frequency); });
        break;
      case 13:
        if (controls.textKindEnabled) controls.kind = static_cast<int>(rng() % 3);
        break;
      case 14:
        controls.longZeroChecked = rng() % 2;
        controls.signsChecked = rng() % 2;
        break;
      case 15:
        guarded([&] { tx.loadFile(files.pick(rng)); });
        break;
      case 16:
        guarded([&] { tx.useRandomText(); });
        break;
      case 17:
        if (controls.groupCountEnabled) {
          controls.groupsText = counts[rng() % counts.size()];
        } else if (rng() % 2) {
          controls.setGroupCount(static_cast<int>(rng() % 4));  // the spin arrows stay usable
        }
        break;
      case 18:
        controls.charPause = pauses[rng() % pauses.size()];
        break;
      case 19:
        controls.groupPause = pauses[rng() % pauses.size()];
        break;
      case 20:
        device.openSucceeds = rng() % 4 != 0;
        break;
      case 21:
        device.writesSucceed = rng() % 4 != 0;
        break;
      case 22:
        device.neverFinishes = rng() % 4 == 0;
        break;
      default:
        device.dead = rng() % 8 == 0;
        break;
    }
    if (::testing::Test::HasFailure()) return;

    // --- invariants ---
    device.checkHeldIntact();
    ASSERT_LE(device.waitsSinceOpen, 1) << "waited more than once for one transmission";
    ASSERT_TRUE(open.empty());
    // Reading past the file text would throw std::out_of_range, flagged by `guarded` above.
    const bool running = device.isOpen() && timer.enabled();
    const bool paused = device.isOpen() && !timer.enabled();
    if (running || paused) {
      ASSERT_FALSE(controls.playEnabled);
      ASSERT_TRUE(controls.stopEnabled);
      ASSERT_TRUE(controls.pauseEnabled);
      ASSERT_FALSE(controls.groupCountEnabled);
      ASSERT_TRUE(tx.buffers().formed());
      if (paused) {
        ASSERT_TRUE(controls.pauseDown);
      }
    } else {
      ASSERT_FALSE(timer.enabled()) << "timer running without a transmission";
      ASSERT_FALSE(tx.buffers().formed() && controls.playEnabled) << "blocks kept while idle";
      if (controls.playEnabled) {
        ASSERT_FALSE(controls.stopEnabled);
        ASSERT_FALSE(controls.pauseEnabled);
        ASSERT_TRUE(controls.groupCountEnabled);
      } else {
        // Play stopped at a failed forming: only Stop leads on.
        ASSERT_TRUE(controls.stopEnabled);
      }
    }
  }
  // After Stop and the device letting go, no block of any set is alive: every set was released.
  guarded([&] { tx.stopPlayback(); });
  device.close();
  for (const auto& w : device.everWritten) ASSERT_TRUE(w.expired()) << "a set was never released";
}

TEST(TransmissionStress, RandomEventSequencesKeepEveryInvariant) {
  const Files files;
  if (const char* replay = std::getenv("KELVAK_STRESS_SEED")) {
    runSequence(std::strtoull(replay, nullptr, 10), 400, files);
    return;
  }
  constexpr int kSequences = 600;
  constexpr int kEvents = 150;
  for (int s = 0; s < kSequences && !::testing::Test::HasFailure(); ++s) {
    runSequence(0x6B656C76ull * 1000 + static_cast<std::uint64_t>(s), kEvents, files);
  }
}

}  // namespace
}  // namespace kelvak
