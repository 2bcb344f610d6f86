// The real sound output on SDL2: device set-up, the audio callback, the bounded wait and a close
// that a stuck sound server cannot hold up.
#include "sound/sdl_wave_device.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

#include "sound/bounded_wait.h"
#include "sound/output_timeline.h"

namespace kelvak {

using Clock = std::chrono::steady_clock;

namespace {

// Devices whose closing was handed to a thread of its own because their server was stuck, or
// because written sound was still to play. SDL is not touched from this side until they are gone.
std::atomic<int> pendingCloses{0};
// Counts the opens: a close still letting its sound play out stops at the next open, which needs
// SDL to itself (the learner pressed Play again; the old tail no longer matters).
std::atomic<int> openCount{0};

}  // namespace

struct SdlWaveDevice::Shared {
  mutable std::mutex mutex;
  std::optional<OutputTimeline> timeline;  // set while open
  int period = 0;                          // samples per callback that SDL granted
  std::int64_t lead = 0;                   // [samples]
  Clock::time_point lastCallback;          // or the moment of opening
};

void SdlWaveDevice::feed(void* userdata, std::uint8_t* stream, int len) {
  const auto now = Clock::now();
  auto* shared = static_cast<Shared*>(userdata);
  std::lock_guard lock(shared->mutex);
  shared->lastCallback = now;
  if (shared->timeline) {
    shared->timeline->render(stream, static_cast<std::size_t>(len), now);
  } else {
    std::memset(stream, OutputTimeline::kCentreLevel, static_cast<std::size_t>(len));
  }
}

SdlWaveDevice::SdlWaveDevice(int period) : requestedPeriod_(period) {}

SdlWaveDevice::~SdlWaveDevice() { close(); }

bool SdlWaveDevice::open() {
  if (isOpen()) return true;
  // A server that was stuck at the last close may have come back by now; if not, opening would
  // hang on it too.
  const auto giveUp = Clock::now() + kPendingCloseWait;
  openError_.clear();
  ++openCount;
  while (pendingCloses > 0) {
    if (Clock::now() >= giveUp) {
      openError_ = "the sound server is still stuck in the last close";
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  // SDL would otherwise turn SIGINT and SIGTERM into events that nobody here reads.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Kelvak");
  SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, "Morse");
  // Initialised at every open so that SDL looks for a sound server anew.
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    openError_ = SDL_GetError();
    return false;
  }

  auto shared = std::make_shared<Shared>();
  SDL_AudioSpec want{};
  want.freq = kSampleRate;
  want.format = AUDIO_U8;
  want.channels = 1;
  want.samples = static_cast<Uint16>(requestedPeriod_);
  want.callback = &SdlWaveDevice::feed;
  want.userdata = shared.get();
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts our format to whatever the server wants.
  const SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (id == 0) {
    openError_ = SDL_GetError();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  {
    std::lock_guard lock(shared->mutex);
    shared->period = have.samples;
    shared->timeline.emplace(kSampleRate);
    // Nothing handed out yet: position 0 is the timeline's first lead.
    shared->lead = have.samples + kLateTickMs * kSampleRate / 1000 + kLeadMargin;
    shared->lastCallback = Clock::now();
  }
  shared_ = std::move(shared);
  device_ = id;
  SDL_PauseAudioDevice(id, 0);
  return true;
}

bool SdlWaveDevice::alive() const {
  return isOpen() && SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_PLAYING;
}

bool SdlWaveDevice::stalled() const {
  if (!isOpen()) return false;
  std::lock_guard lock(shared_->mutex);
  return Clock::now() - shared_->lastCallback > kStallLimit;
}

bool SdlWaveDevice::write(SymbolBlock block, std::size_t toneSamples, std::int64_t position) {
  if (!block || !alive() || stalled()) return false;
  std::lock_guard lock(shared_->mutex);
  shared_->timeline->write(std::move(block), static_cast<std::int64_t>(toneSamples),
                           shared_->lead + position);
  return true;
}

std::int64_t SdlWaveDevice::heardAt(Clock::time_point moment) const {
  if (!isOpen()) return 0;
  // The clock map follows the callbacks, which run one server delay ahead of the sound.
  const auto delay = static_cast<std::int64_t>(serverLatencyMs() * kSampleRate / 1000);
  std::lock_guard lock(shared_->mutex);
  return std::llround(shared_->timeline->positionAt(moment)) - delay - shared_->lead;
}

std::int64_t SdlWaveDevice::leadSamples() const {
  if (!isOpen()) return 0;
  std::lock_guard lock(shared_->mutex);
  return shared_->lead;
}

double SdlWaveDevice::serverLatencyMs() const {
  if (!isOpen()) return 0.0;
  // SDL does not tell how much the server holds. PulseAudio keeps about one period queued ahead
  // of what it plays plus a fraction of that inside the sink; servers with longer cycles (a
  // PipeWire quantum is about 21 ms) get the extra allowance.
  std::lock_guard lock(shared_->mutex);
  return 2000.0 * shared_->period / kSampleRate + kServerAllowance.count();
}

double SdlWaveDevice::latencyMs() const {
  if (!isOpen()) return 0.0;
  std::lock_guard lock(shared_->mutex);
  return 1000.0 * static_cast<double>(shared_->lead) / kSampleRate;
}

int SdlWaveDevice::periodSamples() const {
  if (!isOpen()) return 0;
  std::lock_guard lock(shared_->mutex);
  return shared_->period;
}

bool SdlWaveDevice::busy() const {
  if (!alive()) return false;
  const auto tail = millis(serverLatencyMs());
  const auto now = Clock::now();
  std::lock_guard lock(shared_->mutex);
  const OutputTimeline& t = *shared_->timeline;
  if (!t.drained() || now < t.drainedAt() + tail) return true;
  if (t.writtenEnd() == 0) return false;  // nothing was ever written
  // SDL asks for the next period only once the server has room for it, so the periods handed out
  // since the last sample show the server's own progress: a server held up by a busy machine
  // plays later than the clock alone would say.
  return t.handedOut() < t.writtenEnd() + kPeriodsAfterLast * shared_->period;
}

bool SdlWaveDevice::waitUntilPlayed() {
  if (!isOpen()) return true;
  // Everything still queued (the last block whole), the way to its place on the output and the
  // server's own delay. A server that stops asking for sound ends the wait before that.
  double boundMs = serverLatencyMs();
  {
    std::lock_guard lock(shared_->mutex);
    const OutputTimeline& t = *shared_->timeline;
    boundMs += 1000.0 * static_cast<double>(t.pendingSamples()) / kSampleRate;
  }
  const auto deadline = Clock::now() + millis(boundMs) + kWaitMargin;
  const bool played = waitWhileBusy([this] { return busy() && !stalled(); }, deadline, kWaitStep) &&
                      alive() && !stalled();
  // Given up with sound still to play: the close that follows lets it play out.
  drainOnClose_ = !played && alive() && busy();
  return played;
}

void SdlWaveDevice::close() {
  if (!isOpen()) return;
  const SDL_AudioDeviceID id = device_;
  const bool stuck = alive() && stalled();
  // Sound written and not yet played, because the wait gave up on a server it saw no progress of
  // for a while (a busy machine starves SDL's thread as much as a frozen server would): it plays
  // out before the device closes, on a thread of its own, so the window is free at once. A close
  // without that wait (the program's exit) drops it.
  const bool tail = drainOnClose_ && alive() && busy();
  drainOnClose_ = false;
  const std::int64_t periodsAfter = kPeriodsAfterLast;
  device_ = 0;
  if (!tail) {
    std::lock_guard lock(shared_->mutex);
    shared_->timeline.reset();  // the callback, if it runs again, plays the centre level
  }
  if (stuck || tail) {
    // SDL's audio thread may wait on the server, and closing the device waits for that thread:
    // a thread of its own waits for it, holding the callback's data until SDL lets go.
    ++pendingCloses;
    std::thread([id, keep = shared_, tail, periodsAfter, opens = openCount.load()] {
      while (tail && openCount == opens) {
        {
          std::lock_guard lock(keep->mutex);
          const OutputTimeline& t = *keep->timeline;
          const bool played = t.drained() && t.writtenEnd() > 0 &&
                              t.handedOut() >= t.writtenEnd() + periodsAfter * keep->period;
          // Only a server that takes nothing for this long, a frozen one, gives up the tail.
          if (played || Clock::now() - keep->lastCallback > kDrainGiveUp) break;
        }
        std::this_thread::sleep_for(kWaitStep);
      }
      {
        std::lock_guard lock(keep->mutex);
        keep->timeline.reset();
      }
      SDL_CloseAudioDevice(id);
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      --pendingCloses;
    }).detach();
  } else {
    SDL_CloseAudioDevice(id);  // the callback has stopped for good when this returns
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  shared_.reset();
}

bool SdlWaveDevice::closing() { return pendingCloses > 0; }

}  // namespace kelvak
