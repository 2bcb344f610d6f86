// The waveOut output: the feeding thread that opens, feeds and closes the driver, the stream clock
// from waveOutGetPosition, the bounded waits, and a close that never waits on the driver.
#include "sound/wave_out_device_win32.h"

// clang-format off
#include <windows.h>
#include <mmsystem.h>
// clang-format on

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "sound/bounded_wait.h"
#include "sound/output_timeline.h"

namespace kelvak {

namespace {

using Clock = WaveOutDevice::Clock;

double msOf(std::int64_t samples) { return 1000.0 * static_cast<double>(samples) / kSampleRate; }

// winmm's words for an error, in UTF-8.
std::string errorText(MMRESULT result) {
  std::array<wchar_t, MAXERRORLENGTH> text{};
  if (waveOutGetErrorTextW(result, text.data(), static_cast<UINT>(text.size())) !=
      MMSYSERR_NOERROR) {
    return "waveOut error " + std::to_string(result);
  }
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return "waveOut error " + std::to_string(result);
  std::string utf8(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), -1, utf8.data(), n, nullptr, nullptr);
  utf8.resize(static_cast<std::size_t>(n - 1));
  return utf8;
}

}  // namespace

// One opening of the driver. The feeding thread owns the driver's handle and buffers; the window's
// thread reaches the rest through `mutex`. The thread holds a reference, so a stream the device has
// let go of lives until its thread has closed the driver.
struct WaveOutDevice::Stream : LeadTimeline {
  enum class State { Opening, Open, Failed };

  Stream()
      : LeadTimeline(kBuffers * kBufferSamples + kLateTickMs * kSampleRate / 1000 + kLeadMargin) {}

  std::mutex mutex;
  std::condition_variable changed;
  State state = State::Opening;
  bool abandoned = false;  // the opener gave up waiting: close the driver as soon as it opens
  std::string failure;     // winmm's words for the failure
  Clock::time_point lastReturn{};  // the driver last handed a buffer back, or the opening
  bool finishing = false;  // closed after the wait: what is queued plays out, nothing more is fed
  bool stopping = false;   // closed: reset the driver now
  std::chrono::milliseconds stall{0};  // a stall of the feeding thread asked for by a test
  int dryRuns = 0;  // times the driver had played every queued buffer before the next came

  void fail(const std::string& why) {
    std::lock_guard lock(mutex);
    if (state != State::Failed) failure = why;
    state = State::Failed;
    changed.notify_all();
  }

  // The feeding thread: open, keep the queue full, follow the stream's clock, close. A Windows
  // thread of its own, not a detached std::thread: under Wine on a busy machine MinGW's
  // winpthreads now and then never ran a detached thread's function (2 and 3 of 2000 with two busy
  // loops beside it), or ran it with its state lost and crashed, while 4000 threads made with
  // CreateThread all ran.
  static DWORD WINAPI run(void* holder) {
    auto* self = static_cast<std::shared_ptr<Stream>*>(holder);
    (*self)->feed();
    delete self;
    return 0;
  }

  void feed() {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!event) {
      fail("cannot create an event for the sound driver");
      return;
    }
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = kSampleRate;
    format.nAvgBytesPerSec = kSampleRate;
    format.nBlockAlign = 1;
    format.wBitsPerSample = 8;
    HWAVEOUT handle = nullptr;
    const MMRESULT opened = waveOutOpen(&handle, WAVE_MAPPER, &format,
                                        reinterpret_cast<DWORD_PTR>(event), 0, CALLBACK_EVENT);
    if (opened != MMSYSERR_NOERROR) {
      fail(errorText(opened));
      CloseHandle(event);
      return;
    }
    // The sound must not wait for the window: the feeding thread comes first.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);

    std::vector<std::array<std::uint8_t, kBufferSamples>> data(kBuffers);
    std::vector<WAVEHDR> headers(kBuffers);
    {
      std::lock_guard lock(mutex);
      const auto now = Clock::now();
      for (std::size_t k = 0; k < headers.size(); ++k) {
        timeline.render(data[k].data(), kBufferSamples, now);
      }
    }
    // The driver is called outside the lock, so that an opener that gives up is not held by it.
    bool written = true;
    for (std::size_t k = 0; k < headers.size() && written; ++k) {
      WAVEHDR& h = headers[k];
      h.lpData = reinterpret_cast<LPSTR>(data[k].data());
      h.dwBufferLength = kBufferSamples;
      written = waveOutPrepareHeader(handle, &h, sizeof h) == MMSYSERR_NOERROR &&
                waveOutWrite(handle, &h, sizeof h) == MMSYSERR_NOERROR;
    }
    {
      std::lock_guard lock(mutex);
      if (written) {
        lastReturn = Clock::now();
        origin = lead;  // nothing has been heard yet: position 0 one lead from now
        if (state == State::Opening) state = State::Open;
      } else {
        failure = "the sound driver refused the first buffers";
        state = State::Failed;
      }
      changed.notify_all();
    }

    std::uint32_t lastRaw = 0;
    std::int64_t played = 0;  // the stream's position, unwrapped [samples]
    int next = 0;             // the buffer the driver hands back next
    Clock::time_point drainUntil{};
    for (;;) {
      WaitForSingleObject(event, 5);
      std::chrono::milliseconds stallNow{0};
      {
        std::lock_guard lock(mutex);
        if (abandoned || stopping || state == State::Failed) break;
        if (finishing && drainUntil == Clock::time_point{}) drainUntil = Clock::now() + kDrainLimit;
        std::swap(stallNow, stall);
      }
      if (stallNow.count() > 0) std::this_thread::sleep_for(stallNow);
      const auto now = Clock::now();
      // Closed after the wait: the driver goes on playing silence behind the last block for a
      // while, since what its position calls played may still wait in a mixer behind it (Wine's
      // PulseAudio driver counts what it handed to the server); a reset would drop that.
      if (drainUntil != Clock::time_point{} && now >= drainUntil) break;
      MMTIME position{};
      position.wType = TIME_SAMPLES;
      const bool timed =
          waveOutGetPosition(handle, &position, sizeof position) == MMSYSERR_NOERROR &&
          (position.wType == TIME_SAMPLES || position.wType == TIME_BYTES);
      bool moved = false;
      if (timed) {
        // One byte is one sample; the count wraps at 32 bits (after four and a half days).
        const std::uint32_t raw =
            position.wType == TIME_SAMPLES ? position.u.sample : position.u.cb;
        moved = raw != lastRaw;
        played += static_cast<std::uint32_t>(raw - lastRaw);
        lastRaw = raw;
      }
      // The buffers handed back, filled anew under the lock, go back to the driver outside it:
      // a driver that hangs in waveOutWrite must not hold the window's calls.
      std::vector<WAVEHDR*> refilled;
      {
        std::lock_guard lock(mutex);
        // The position moves in the mixer's periods (Wine's: 221 samples, every 20 ms at this
        // rate), so it tells the time only where it has just moved; read in between it lags by
        // up to a period, which the timeline would take for jumps of the clock.
        if (moved) timeline.followStreamClock(now, static_cast<double>(played));
        // Every buffer back at once: the queue ran dry before this thread came round to it.
        if (std::all_of(headers.begin(), headers.end(),
                        [](const WAVEHDR& h) { return (h.dwFlags & WHDR_DONE) != 0; })) {
          ++dryRuns;
        }
        while (refilled.size() < headers.size() &&
               (headers[static_cast<std::size_t>(next)].dwFlags & WHDR_DONE)) {
          timeline.render(data[static_cast<std::size_t>(next)].data(), kBufferSamples, now);
          keepLeadAboveQueue(now, kLeadMargin, kLeadLimit);
          lastReturn = now;
          refilled.push_back(&headers[static_cast<std::size_t>(next)]);
          next = (next + 1) % kBuffers;
        }
      }
      for (WAVEHDR* h : refilled) {
        const MMRESULT result = waveOutWrite(handle, h, sizeof *h);
        if (result != MMSYSERR_NOERROR) {
          fail(errorText(result));
          break;
        }
      }
    }

    waveOutReset(handle);
    for (WAVEHDR& h : headers) {
      if (h.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(handle, &h, sizeof h);
    }
    waveOutClose(handle);
    CloseHandle(event);
  }
};

WaveOutDevice::WaveOutDevice() = default;

WaveOutDevice::~WaveOutDevice() { close(); }

bool WaveOutDevice::open() {
  if (isOpen()) return true;
  openError_.clear();
  auto s = std::make_shared<Stream>();
  auto* holder = new std::shared_ptr<Stream>(s);
  HANDLE thread = CreateThread(nullptr, 0, &Stream::run, holder, 0, nullptr);
  if (!thread) {
    delete holder;
    openError_ = "cannot start the sound thread";
    return false;
  }
  CloseHandle(thread);
  std::unique_lock lock(s->mutex);
  if (!s->changed.wait_for(lock, kOpenLimit, [&] { return s->state != Stream::State::Opening; })) {
    s->abandoned = true;  // the thread closes the driver should it open after all
    openError_ =
        "the sound driver did not open within " + std::to_string(kOpenLimit.count()) + " ms";
    return false;
  }
  if (s->state == Stream::State::Failed) {
    openError_ = s->failure;
    return false;
  }
  lock.unlock();
  stream_ = std::move(s);
  return true;
}

bool WaveOutDevice::alive() const {
  if (!isOpen()) return false;
  std::lock_guard lock(stream_->mutex);
  return stream_->state == Stream::State::Open;
}

bool WaveOutDevice::stalled() const {
  if (!isOpen()) return false;
  std::lock_guard lock(stream_->mutex);
  return Clock::now() - stream_->lastReturn > kStallLimit;
}

bool WaveOutDevice::write(SymbolBlock block, std::size_t toneSamples, std::int64_t position) {
  waited_ = false;
  if (!block || !isOpen()) return false;
  const auto now = Clock::now();
  Stream& s = *stream_;
  std::lock_guard lock(s.mutex);
  if (s.state != Stream::State::Open || now - s.lastReturn > kStallLimit) return false;
  if (s.write(std::move(block), toneSamples, position)) ++latePlacements_;
  return true;
}

bool WaveOutDevice::busy() const {
  if (!isOpen()) return false;
  const auto now = Clock::now();
  std::lock_guard lock(stream_->mutex);
  // Handed to the driver, and by the stream's clock heard to the last sample.
  return stream_->state == Stream::State::Open && stream_->sounding(now);
}

bool WaveOutDevice::waitUntilPlayed() {
  if (!isOpen()) return true;
  double boundMs = 0;
  {
    std::lock_guard lock(stream_->mutex);
    // Everything still to be heard, the last block whole however long a slow speed makes it. A
    // stuck driver does not hold the window that long: it stops handing buffers back, which ends
    // the wait below.
    boundMs = stream_->msToEnd(Clock::now());
  }
  const auto deadline = Clock::now() + millis(boundMs) + kWaitMargin;
  waited_ = true;
  return waitWhileBusy([this] { return busy() && !stalled(); }, deadline, kWaitStep) && alive() &&
         !stalled();
}

void WaveOutDevice::close() {
  std::shared_ptr<Stream> s = std::move(stream_);
  const bool playOut = waited_;
  waited_ = false;
  if (!s) return;
  // The feeding thread closes the driver: waveOutReset and waveOutClose wait on it, and the window
  // never does. After the wait for the sound, the driver plays out what it holds first.
  std::lock_guard lock(s->mutex);
  closedJumps_ += s->timeline.streamJumps();
  closedDryRuns_ += s->dryRuns;
  if (playOut && s->state == Stream::State::Open) {
    s->finishing = true;
  } else {
    s->stopping = true;
  }
}

void WaveOutDevice::stallFeedingThread(std::chrono::milliseconds duration) {
  if (!isOpen()) return;
  std::lock_guard lock(stream_->mutex);
  stream_->stall = duration;
}

std::int64_t WaveOutDevice::heardAt(Clock::time_point moment) const {
  if (!isOpen()) return 0;
  std::lock_guard lock(stream_->mutex);
  return stream_->heardAt(moment);
}

std::int64_t WaveOutDevice::leadSamples() const {
  if (!isOpen()) return 0;
  std::lock_guard lock(stream_->mutex);
  return stream_->lead;
}

double WaveOutDevice::latencyMs() const { return msOf(leadSamples()); }

int WaveOutDevice::dryRuns() const {
  if (!isOpen()) return closedDryRuns_;
  std::lock_guard lock(stream_->mutex);
  return closedDryRuns_ + stream_->dryRuns;
}

int WaveOutDevice::clockJumps() const {
  if (!isOpen()) return closedJumps_;
  std::lock_guard lock(stream_->mutex);
  return closedJumps_ + stream_->timeline.streamJumps();
}

}  // namespace kelvak
