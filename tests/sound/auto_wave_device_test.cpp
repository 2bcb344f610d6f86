// Choosing the output: SDL only where no PulseAudio-compatible server answers, and the reasons on
// standard error when nothing opens. No sound server is needed.
#include "sound/auto_wave_device.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace kelvak {
namespace {

struct NoServer : ::testing::Test {
  void SetUp() override {
    const std::string missing = "unix:/tmp/kelvak-no-server-" + std::to_string(getpid());
    setenv("PULSE_SERVER", missing.c_str(), 1);
    setenv("PULSE_CLIENTCONFIG", "/dev/null", 1);
  }
};

TEST_F(NoServer, FallsBackToSdl) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  AutoWaveDevice device;
  ASSERT_TRUE(device.open());
  EXPECT_EQ(device.output(), AutoWaveDevice::Output::Sdl);
  EXPECT_TRUE(device.write(std::make_shared<const std::vector<std::uint8_t>>(100, 7)));
  device.close();
  EXPECT_EQ(device.output(), AutoWaveDevice::Output::None);
}

TEST_F(NoServer, NothingOpensAndTheLibrariesSayWhy) {
  if (std::filesystem::exists("/dev/snd")) GTEST_SKIP() << "a sound card would take over";
  setenv("SDL_AUDIODRIVER", "pulseaudio", 1);  // SDL finds no server either
  AutoWaveDevice device;
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(device.open());
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(device.isOpen());
  EXPECT_FALSE(device.write(std::make_shared<const std::vector<std::uint8_t>>(100, 7)));
  // libpulse's and SDL's own words, after what the program could not do.
  const std::string head = "cannot open the sound output: PulseAudio: Connection refused; SDL: ";
  const auto at = said.find(head);
  ASSERT_NE(at, std::string::npos) << said;
  EXPECT_GT(said.size(), at + head.size() + 1) << "SDL gave no reason: " << said;
}

}  // namespace
}  // namespace kelvak
