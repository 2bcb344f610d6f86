// One contract for every sound device the transmission may be given: the fake the core's tests
// use, SDL (through its silent dummy driver, and through a private PipeWire) and PulseAudio
// (private servers of both kinds): open, write, wait, close and the health they report.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "sound/pulse_wave_device.h"
#include "sound/sdl_wave_device.h"
#include "tests/fakes/fakes.h"
#include "tests/harness/pulse_server.h"

namespace kelvak {
namespace {

struct DeviceKind {
  const char* name;
  bool needsServer;
  std::function<std::unique_ptr<WaveDevice>()> make;
  testing::ServerKind server = testing::ServerKind::PulseAudio;
};

class DeviceContract : public ::testing::TestWithParam<DeviceKind> {
 protected:
  void SetUp() override {
    if (GetParam().needsServer) {
      std::string error;
      ASSERT_TRUE(server_.start(&error)) << error;
      server_.useForThisProcess();
    } else {
      setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    device_ = GetParam().make();
  }
  void TearDown() override {
    device_.reset();
    if (GetParam().needsServer) server_.stop();
  }

  testing::PulseServer server_{GetParam().server};
  std::unique_ptr<WaveDevice> device_;
};

TEST_P(DeviceContract, OpensPlaysWaitsAndClosesWithItsHealth) {
  WaveDevice& d = *device_;
  EXPECT_FALSE(d.isOpen());
  EXPECT_FALSE(d.alive());
  EXPECT_EQ(d.latencyMs(), 0);
  EXPECT_FALSE(d.write(std::make_shared<const std::vector<std::uint8_t>>(10, 0x80)))
      << "a closed device takes no block";

  ASSERT_TRUE(d.open()) << d.openError();
  EXPECT_TRUE(d.isOpen());
  EXPECT_TRUE(d.alive());
  EXPECT_FALSE(d.stalled());
  EXPECT_TRUE(d.openError().empty());
  EXPECT_GE(d.latencyMs(), 0);

  // 50 ms of tone: busy until waited for, then played.
  auto block = std::make_shared<const std::vector<std::uint8_t>>(551, 0xC0);
  ASSERT_TRUE(d.write(block));
  EXPECT_TRUE(d.busy());
  EXPECT_TRUE(d.waitUntilPlayed());
  EXPECT_FALSE(d.busy());
  EXPECT_TRUE(d.alive());

  // A block written for a position one lead ahead has begun to sound once waited for.
  const std::int64_t position = d.heardAt(WaveDevice::Clock::now()) + d.leadSamples();
  ASSERT_TRUE(d.write(block, block->size(), position));
  EXPECT_TRUE(d.waitUntilPlayed());
  EXPECT_GE(d.heardAt(WaveDevice::Clock::now()), position);

  // Closing drops what is queued and leaves the device ready for the next open.
  ASSERT_TRUE(d.write(block));
  d.close();
  EXPECT_FALSE(d.isOpen());
  EXPECT_FALSE(d.alive());
  EXPECT_FALSE(d.busy());
  d.close();  // a second close does nothing
  ASSERT_TRUE(d.open()) << d.openError();
  d.close();
}

INSTANTIATE_TEST_SUITE_P(
    Devices, DeviceContract,
    ::testing::Values(
        DeviceKind{"Fake", false, [] { return std::make_unique<testing::FakeDevice>(); }},
        DeviceKind{"Sdl", false, [] { return std::make_unique<SdlWaveDevice>(); }},
        DeviceKind{"Pulse", true, [] { return std::make_unique<PulseWaveDevice>(); }},
        DeviceKind{"PulseOnPipeWire", true, [] { return std::make_unique<PulseWaveDevice>(); },
                   testing::ServerKind::PipeWire},
        DeviceKind{"SdlOnPipeWire", true, [] { return std::make_unique<SdlWaveDevice>(); },
                   testing::ServerKind::PipeWire}),
    [](const ::testing::TestParamInfo<DeviceKind>& info) { return info.param.name; });

}  // namespace
}  // namespace kelvak
