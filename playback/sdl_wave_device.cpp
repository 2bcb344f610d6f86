// The real sound output on SDL2: device set-up, the audio callback and the bounded wait.
#include "sdl_wave_device.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

#include "output_timeline.h"

namespace kelvak {

using Clock = std::chrono::steady_clock;

struct SdlWaveDevice::Shared {
  mutable std::mutex mutex;
  std::optional<OutputTimeline> timeline;  // set while open
  int period = 0;                          // samples per callback that SDL granted
};

void SdlWaveDevice::feed(void* userdata, std::uint8_t* stream, int len) {
  const auto now = Clock::now();
  auto* shared = static_cast<Shared*>(userdata);
  std::lock_guard lock(shared->mutex);
  if (shared->timeline) {
    shared->timeline->render(stream, static_cast<std::size_t>(len), now);
  } else {
    std::memset(stream, OutputTimeline::kCentreLevel, static_cast<std::size_t>(len));
  }
}

SdlWaveDevice::SdlWaveDevice(int period)
    : requestedPeriod_(period), shared_(std::make_unique<Shared>()) {}

SdlWaveDevice::~SdlWaveDevice() { close(); }

bool SdlWaveDevice::open() {
  if (isOpen()) return true;
  // SDL would otherwise turn SIGINT and SIGTERM into events that nobody here reads.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Kelvak");
  SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, "Morse");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;

  SDL_AudioSpec want{};
  want.freq = kSampleRate;
  want.format = AUDIO_U8;
  want.channels = 1;
  want.samples = static_cast<Uint16>(requestedPeriod_);
  want.callback = &SdlWaveDevice::feed;
  want.userdata = shared_.get();
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts our format to whatever the server wants.
  const SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (id == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  {
    std::lock_guard lock(shared_->mutex);
    shared_->period = have.samples;
    shared_->timeline.emplace(have.samples + kLatencyMargin, kSampleRate);
  }
  device_ = id;
  SDL_PauseAudioDevice(id, 0);
  return true;
}

bool SdlWaveDevice::alive() const {
  return isOpen() && SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_PLAYING;
}

bool SdlWaveDevice::write(SymbolBlock block) {
  if (!block || !alive()) return false;
  const auto now = Clock::now();
  std::lock_guard lock(shared_->mutex);
  shared_->timeline->write(std::move(block), now);
  return true;
}

double SdlWaveDevice::serverLatencyMs() const {
  // The server keeps about one period queued ahead of what it plays; two periods leave room
  // for its own output latency.
  std::lock_guard lock(shared_->mutex);
  return shared_->timeline ? 2000.0 * shared_->period / kSampleRate : 0.0;
}

double SdlWaveDevice::latencyMs() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->timeline ? 1000.0 * static_cast<double>(shared_->timeline->latency()) / kSampleRate
                           : 0.0;
}

int SdlWaveDevice::periodSamples() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->timeline ? shared_->period : 0;
}

bool SdlWaveDevice::busy() const {
  if (!alive()) return false;
  const auto now = Clock::now();
  const auto tail = std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double, std::milli>(serverLatencyMs()));
  std::lock_guard lock(shared_->mutex);
  const OutputTimeline& t = *shared_->timeline;
  return !t.drained() || now < t.drainedAt() + tail;
}

bool SdlWaveDevice::waitUntilPlayed() {
  if (!isOpen()) return true;
  Clock::time_point deadline;
  {
    std::lock_guard lock(shared_->mutex);
    const double queuedMs = 1000.0 * static_cast<double>(shared_->timeline->pendingSamples() +
                                                         shared_->timeline->latency()) /
                            kSampleRate;
    deadline = Clock::now() +
               std::chrono::duration_cast<Clock::duration>(
                   std::chrono::duration<double, std::milli>(queuedMs + 2000.0 * shared_->period /
                                                                            kSampleRate)) +
               kWaitMargin;
  }
  for (;;) {
    if (!busy()) return alive();
    const auto now = Clock::now();
    if (now >= deadline) return false;
    std::this_thread::sleep_for(std::min<Clock::duration>(kWaitStep, deadline - now));
  }
}

void SdlWaveDevice::close() {
  if (!isOpen()) return;
  // Stops the callback for good before the timeline goes.
  SDL_CloseAudioDevice(device_);
  device_ = 0;
  {
    std::lock_guard lock(shared_->mutex);
    shared_->timeline.reset();
    shared_->period = 0;
  }
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace kelvak
