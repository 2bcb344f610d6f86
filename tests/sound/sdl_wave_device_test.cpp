// The SDL sound device with SDL's own file and null drivers: the bytes it hands over, and its
// bookkeeping, without any sound server.
#include "sound/sdl_wave_device.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "sound/output_timeline.h"
#include "tests/sound/tone_block.h"

namespace kelvak {
namespace {

using testing::toneBlock;

std::ptrdiff_t find(const std::vector<std::uint8_t>& out, const SymbolBlock& b) {
  auto it = std::search(out.begin(), out.end(), b->begin(), b->end());
  return it == out.end() ? -1 : it - out.begin();
}

// SDL's "disk" driver: writes what the callback hands over to a file, at the pace of real time.
class DiskDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = std::filesystem::temp_directory_path() /
            ("kelvak-disk-" + std::to_string(getpid()) + ".raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("SDL_DISKAUDIODELAY");
    std::filesystem::remove(file_);
  }
  std::vector<std::uint8_t> output() const {
    std::ifstream in(file_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  std::filesystem::path file_;
};

TEST_F(DiskDeviceTest, HandsOverBlocksInOrderWithTheSilentLevelBetweenThem) {
  SdlWaveDevice device;
  ASSERT_TRUE(device.open());
  const auto first = toneBlock(600, 1, 42);
  const auto second = toneBlock(500, 2, 0);
  const auto third = toneBlock(400, 3, 9);  // written at once: right behind the second
  ASSERT_TRUE(device.write(first));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(device.write(second));
  ASSERT_TRUE(device.write(third));
  EXPECT_TRUE(device.busy());
  EXPECT_TRUE(device.waitUntilPlayed());
  EXPECT_FALSE(device.busy());
  device.close();

  const auto out = output();
  const auto a = find(out, first), b = find(out, second), c = find(out, third);
  ASSERT_GE(a, 0);
  ASSERT_GE(b, a + 600);
  EXPECT_EQ(c, b + 500);
  auto all = [&](std::ptrdiff_t from, std::ptrdiff_t to, std::uint8_t v) {
    return std::all_of(out.begin() + from, out.begin() + to,
                       [v](std::uint8_t s) { return s == v; });
  };
  EXPECT_TRUE(all(0, a, OutputTimeline::kCentreLevel));
  // Written 100 ms (1102 samples) after the 600-sample first, so not queued right behind it. The
  // disk driver falls behind real time when the machine is busy (its late callbacks write fewer
  // samples than the time that passed), so only the existence of the gap is certain.
  EXPECT_GT(b - (a + 600), 0);
  EXPECT_TRUE(all(a + 600, b, OutputTimeline::kCentreLevel));
  EXPECT_TRUE(all(c + 400, static_cast<std::ptrdiff_t>(out.size()), OutputTimeline::kCentreLevel));
}

TEST_F(DiskDeviceTest, PlaysABlockWhoseOwnerLetGoOfIt) {
  SdlWaveDevice device;
  ASSERT_TRUE(device.open());
  const std::vector<std::uint8_t> expected = *toneBlock(3000, 4, 0);
  ASSERT_TRUE(device.write(toneBlock(3000, 4, 0)));  // nobody else holds it
  EXPECT_TRUE(device.waitUntilPlayed());
  device.close();
  const auto out = output();
  EXPECT_NE(std::search(out.begin(), out.end(), expected.begin(), expected.end()), out.end());
}

// A slow speed's last block, seconds long, written right behind another: the wait covers it
// whole, and all of it is handed over before the device closes.
TEST_F(DiskDeviceTest, WaitingCoversALongLastBlockWhole) {
  SdlWaveDevice device;
  ASSERT_TRUE(device.open());
  const auto before = toneBlock(2000, 7, 0);
  const auto last = toneBlock(16538, 8, 0);  // 1.5 s
  ASSERT_TRUE(device.write(before));
  ASSERT_TRUE(device.write(last));
  EXPECT_TRUE(device.waitUntilPlayed());
  device.close();
  EXPECT_GE(find(output(), last), 0);
}

// The driver sleeps two seconds between callbacks: a server that has stopped taking sound.
// Waiting gives up soon after it stopped, long before the three-second block could have played.
TEST_F(DiskDeviceTest, WaitingForAStuckOutputIsBounded) {
  setenv("SDL_DISKAUDIODELAY", "2000", 1);
  SdlWaveDevice device;
  ASSERT_TRUE(device.open());
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // past the first callback
  ASSERT_TRUE(device.write(toneBlock(33075, 5, 0)));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(device.waitUntilPlayed());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  // Closing does not wait for the driver's sleep either; the device can be opened again once
  // the driver lets go.
  device.close();
  EXPECT_FALSE(device.isOpen());
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  unsetenv("SDL_DISKAUDIODELAY");
  EXPECT_TRUE(device.open());
}

// The driver sleeps 80 ms between 23 ms periods: a server that plays far slower than the clock.
// The last sample counts as played only once the server has taken two periods beyond it, however
// soon the clock alone would say it sounded.
TEST_F(DiskDeviceTest, WaitingFollowsTheServersOwnProgress) {
  setenv("SDL_DISKAUDIODELAY", "80", 1);
  SdlWaveDevice device;
  ASSERT_TRUE(device.open());
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const auto block = toneBlock(100, 6, 0);
  ASSERT_TRUE(device.write(block));
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (device.busy() && std::chrono::steady_clock::now() < giveUp) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_FALSE(device.busy());
  const int period = device.periodSamples();
  device.close();  // the driver writes no more
  const auto out = output();
  const auto at = find(out, block);
  ASSERT_GE(at, 0);
  EXPECT_GE(static_cast<std::ptrdiff_t>(out.size()) - (at + 100),
            SdlWaveDevice::kPeriodsAfterLast * period);
}

// SDL's "dummy" driver: callbacks at the pace of real time, output discarded.
TEST(DummyDevice, ClosedDeviceRefusesBlocksAndHasNothingToWaitFor) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  SdlWaveDevice device;
  const auto block = toneBlock(100, 1, 0);
  EXPECT_FALSE(device.write(block));
  EXPECT_FALSE(device.busy());
  EXPECT_TRUE(device.waitUntilPlayed());
  device.close();  // not open: nothing happens

  ASSERT_TRUE(device.open());
  EXPECT_TRUE(device.open()) << "opening an open device keeps it";
  EXPECT_EQ(device.periodSamples(), SdlWaveDevice::kPeriod);
  EXPECT_TRUE(device.write(block));
  device.close();
  EXPECT_FALSE(device.isOpen());
  EXPECT_FALSE(device.write(block));
  EXPECT_FALSE(device.busy());
  device.close();
}

TEST(DummyDevice, CloseDropsWhatIsQueued) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  SdlWaveDevice device;
  ASSERT_TRUE(device.open());
  std::weak_ptr<const std::vector<std::uint8_t>> watch;
  {
    auto block = toneBlock(110250, 1, 0);  // ten seconds
    watch = block;
    ASSERT_TRUE(device.write(std::move(block)));
  }
  EXPECT_FALSE(watch.expired());
  device.close();
  EXPECT_TRUE(watch.expired());
}

}  // namespace
}  // namespace kelvak
