// The PulseAudio output: connection and stream set-up with a bounded wait, the refill callback
// feeding the output timeline, the stream clock, underrun counting and a close that never waits
// on the server.
#include "sound/pulse_wave_device.h"

#include <pulse/pulseaudio.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <thread>

#include "sound/bounded_wait.h"
#include "sound/inheriting_mutex.h"
#include "sound/output_timeline.h"
#include "sound/realtime_priority.h"

namespace kelvak {

namespace {

using Clock = PulseWaveDevice::Clock;

double msOf(std::int64_t samples) { return 1000.0 * static_cast<double>(samples) / kSampleRate; }

}  // namespace

// What outlives a connection: the underrun record and the count of late blocks.
struct PulseWaveDevice::Log {
  mutable InheritingMutex mutex;
  std::vector<Underrun> underruns;
  int latePlacements = 0;
  int clockJumps = 0;
};

// One connection to the server with its stream. The main loop thread reaches it through the
// callbacks; the window's thread through the device. `mutex` guards everything below it and the
// lead timeline it is made of (timeline, lead, origin); the callbacks take it while libpulse
// holds its own main loop lock, so the window's thread never takes that lock while holding
// `mutex`.
struct PulseWaveDevice::Connection : LeadTimeline {
  Connection() : LeadTimeline(kLead) {}

  pa_threaded_mainloop* loop = nullptr;
  pa_context* context = nullptr;
  pa_stream* stream = nullptr;
  std::shared_ptr<Log> log;
  bool realtime = true;

  InheritingMutex mutex;
  std::condition_variable_any changed;
  bool contextReady = false;
  bool streamReady = false;
  bool failed = false;  // the connection or the stream failed
  std::string failure;  // the library's words for it
  Clock::time_point lastRequest{};  // the server's last request for sound, or the opening
  bool feederKnown = false;
  bool finishing = false;  // closed: what was written plays out, and nothing more is written
  std::shared_ptr<std::string> realtimeStatus = std::make_shared<std::string>();

  ~Connection() { teardown(); }

  // Stops the main loop thread and lets go of everything. Local work only: libpulse sends the
  // goodbye without waiting for an answer.
  void teardown() {
    if (!loop) return;
    pa_threaded_mainloop_stop(loop);
    if (stream) {
      pa_stream_set_write_callback(stream, nullptr, nullptr);
      pa_stream_set_state_callback(stream, nullptr, nullptr);
      pa_stream_set_underflow_callback(stream, nullptr, nullptr);
      pa_stream_disconnect(stream);
      pa_stream_unref(stream);
      stream = nullptr;
    }
    if (context) {
      pa_context_set_state_callback(context, nullptr, nullptr);
      pa_context_disconnect(context);
      pa_context_unref(context);
      context = nullptr;
    }
    pa_threaded_mainloop_free(loop);
    loop = nullptr;
  }

  void fail(const std::string& why) {
    std::lock_guard lock(mutex);
    if (!failed) failure = why;
    failed = true;
    changed.notify_all();
  }

  static void onContextState(pa_context* c, void* userdata) {
    auto* self = static_cast<Connection*>(userdata);
    switch (pa_context_get_state(c)) {
      case PA_CONTEXT_READY: {
        std::lock_guard lock(self->mutex);
        self->contextReady = true;
        self->changed.notify_all();
        break;
      }
      case PA_CONTEXT_FAILED:
      case PA_CONTEXT_TERMINATED:
        self->fail(pa_strerror(pa_context_errno(c)));
        break;
      default:
        break;
    }
  }

  static void onStreamState(pa_stream* s, void* userdata) {
    auto* self = static_cast<Connection*>(userdata);
    switch (pa_stream_get_state(s)) {
      case PA_STREAM_READY: {
        std::lock_guard lock(self->mutex);
        self->streamReady = true;
        self->changed.notify_all();
        break;
      }
      case PA_STREAM_FAILED:
      case PA_STREAM_TERMINATED:
        self->fail(pa_strerror(pa_context_errno(pa_stream_get_context(s))));
        break;
      default:
        break;
    }
  }

  static void onUnderflow(pa_stream* s, void* userdata) {
    auto* self = static_cast<Connection*>(userdata);
    const Underrun u{Clock::now(), pa_stream_get_underflow_index(s)};
    std::lock_guard lock(self->log->mutex);
    self->log->underruns.push_back(u);
  }

  // The server asks for `bytes` more sound: hand out the timeline's next samples, and tell the
  // timeline which sample is being heard now, by the stream's own clock.
  static void onWritable(pa_stream* s, std::size_t bytes, void* userdata) {
    auto* self = static_cast<Connection*>(userdata);
    {
      std::lock_guard lock(self->mutex);
      if (self->finishing) return;
    }
    if (!self->feederKnown) self->startRealtimeRequest();
    pa_usec_t heard = 0;
    const bool timed = pa_stream_get_time(s, &heard) == 0;
    const auto now = Clock::now();
    if (timed) {  // one report per request
      std::lock_guard lock(self->mutex);
      const int before = self->timeline.streamJumps();
      self->timeline.followStreamClock(now, static_cast<double>(heard) * kSampleRate / 1e6);
      if (self->timeline.streamJumps() != before) {
        std::lock_guard logLock(self->log->mutex);
        ++self->log->clockJumps;
      }
    }
    while (bytes > 0) {
      void* data = nullptr;
      std::size_t n = bytes;
      if (pa_stream_begin_write(s, &data, &n) < 0 || !data || n == 0) return;
      n = std::min(n, bytes);
      {
        std::lock_guard lock(self->mutex);
        self->lastRequest = now;
        self->timeline.render(static_cast<std::uint8_t*>(data), n, now);
        self->keepLeadAboveQueue(now, kLeadMargin, kLeadLimit);
      }
      if (pa_stream_write(s, data, n, nullptr, 0, PA_SEEK_RELATIVE) < 0) return;
      bytes -= n;
    }
  }

  // Real-time scheduling for this (the feeding) thread, asked for on a thread of its own: the
  // bus call may take a while, and neither the window nor the sound may wait for it.
  void startRealtimeRequest() {
    feederKnown = true;
    if (!realtime) {
      std::lock_guard lock(statusMutex());
      *realtimeStatus = "not asked for";
      return;
    }
    const pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
    std::thread([tid, status = realtimeStatus] {
      const RealtimeGrant grant = requestRealtime(tid, kRealtimePriority);
      std::lock_guard lock(statusMutex());
      *status = grant.granted ? grant.how : "none: " + grant.how;
    }).detach();
  }

  // Guards the real-time status, which the asking thread may write after the connection is gone.
  static std::mutex& statusMutex() {
    static std::mutex m;
    return m;
  }
};

PulseWaveDevice::PulseWaveDevice() : PulseWaveDevice(Options{}) {}

PulseWaveDevice::PulseWaveDevice(Options options)
    : options_(options), log_(std::make_shared<Log>()) {}

PulseWaveDevice::~PulseWaveDevice() { close(); }

PulseWaveDevice::OpenResult PulseWaveDevice::tryOpen() {
  if (isOpen()) return OpenResult::Opened;
  openError_.clear();
  const auto deadline = Clock::now() + kOpenLimit;

  auto c = std::make_shared<Connection>();
  c->log = log_;
  c->realtime = options_.realtime;
  c->loop = pa_threaded_mainloop_new();
  if (!c->loop) {
    openError_ = "cannot create the PulseAudio main loop";
    return OpenResult::NoServer;
  }
  pa_proplist* props = pa_proplist_new();
  pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Kelvak");
  pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "org.kelvak.Kelvak");
  pa_proplist_sets(props, PA_PROP_APPLICATION_ICON_NAME, "kelvak");
  c->context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(c->loop), "Kelvak", props);
  pa_proplist_free(props);
  if (!c->context) {
    openError_ = "cannot create a PulseAudio context";
    return OpenResult::NoServer;
  }
  pa_context_set_state_callback(c->context, &Connection::onContextState, c.get());
  // No autospawn: a server that is not running is not started behind the user's back.
  if (pa_context_connect(c->context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    openError_ = pa_strerror(pa_context_errno(c->context));
    return OpenResult::NoServer;
  }
  if (pa_threaded_mainloop_start(c->loop) < 0) {
    openError_ = "cannot start the PulseAudio main loop";
    return OpenResult::NoServer;
  }

  {
    std::unique_lock lock(c->mutex);
    if (!c->changed.wait_until(lock, deadline, [&] { return c->contextReady || c->failed; })) {
      openError_ =
          "the sound server did not answer within " + std::to_string(kOpenLimit.count()) + " ms";
      lock.unlock();
      return OpenResult::Failed;  // the teardown of `c` only stops our own thread
    }
    if (c->failed) {
      openError_ = c->failure;
      lock.unlock();
      return OpenResult::NoServer;
    }
  }

  pa_threaded_mainloop_lock(c->loop);
  const pa_sample_spec sampleFormat{PA_SAMPLE_U8, kSampleRate, 1};
  pa_proplist* streamProps = pa_proplist_new();
  pa_proplist_sets(streamProps, PA_PROP_MEDIA_ROLE, "production");
  c->stream = pa_stream_new_with_proplist(c->context, "Morse", &sampleFormat, nullptr, streamProps);
  pa_proplist_free(streamProps);
  bool connected = false;
  if (c->stream) {
    pa_stream_set_state_callback(c->stream, &Connection::onStreamState, c.get());
    pa_stream_set_write_callback(c->stream, &Connection::onWritable, c.get());
    pa_stream_set_underflow_callback(c->stream, &Connection::onUnderflow, c.get());
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = kTargetLength;
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = kRefill;
    attr.fragsize = static_cast<std::uint32_t>(-1);
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
    connected = pa_stream_connect_playback(c->stream, nullptr, &attr, flags, nullptr, nullptr) == 0;
  }
  if (!connected) openError_ = pa_strerror(pa_context_errno(c->context));
  pa_threaded_mainloop_unlock(c->loop);
  if (!connected) return OpenResult::Failed;

  {
    std::unique_lock lock(c->mutex);
    if (!c->changed.wait_until(lock, deadline, [&] { return c->streamReady || c->failed; })) {
      openError_ = "the sound server did not set up the stream within " +
                   std::to_string(kOpenLimit.count()) + " ms";
      return OpenResult::Failed;
    }
    if (c->failed) {
      openError_ = c->failure;
      return OpenResult::Failed;
    }
    c->lastRequest = Clock::now();
    // Position 0 one lead after the sample heard now; nothing has been heard before the stream's
    // clock first reports.
    const double heard =
        c->timeline.streamClockKnown() ? c->timeline.positionAt(c->lastRequest) : 0;
    c->origin = std::llround(std::max(0.0, heard)) + c->lead;
  }

  connection_ = std::move(c);
  return OpenResult::Opened;
}

bool PulseWaveDevice::alive() const {
  if (!isOpen()) return false;
  std::lock_guard lock(connection_->mutex);
  return !connection_->failed;
}

bool PulseWaveDevice::stalled() const {
  if (!isOpen()) return false;
  std::lock_guard lock(connection_->mutex);
  return Clock::now() - connection_->lastRequest > kStallLimit;
}

bool PulseWaveDevice::write(SymbolBlock block, std::size_t toneSamples, std::int64_t position) {
  waited_ = false;
  if (!block || !isOpen()) return false;
  const auto now = Clock::now();
  Connection& c = *connection_;
  std::lock_guard lock(c.mutex);
  if (c.failed || now - c.lastRequest > kStallLimit) return false;
  if (c.write(std::move(block), toneSamples, position)) {
    std::lock_guard logLock(log_->mutex);
    ++log_->latePlacements;
  }
  return true;
}

bool PulseWaveDevice::busy() const {
  if (!isOpen()) return false;
  const auto now = Clock::now();
  std::lock_guard lock(connection_->mutex);
  // Handed out, and by the stream's clock heard to the last sample.
  return !connection_->failed && connection_->sounding(now);
}

bool PulseWaveDevice::waitUntilPlayed() {
  if (!isOpen()) return true;
  double boundMs = 0;
  {
    std::lock_guard lock(connection_->mutex);
    // Everything still to be heard: the server's queue, the blocks not yet handed out and the last
    // block whole, however long a slow speed makes it. A stuck server does not hold the window
    // that long: it stops asking for sound, which ends the wait below.
    boundMs = connection_->msToEnd(Clock::now());
  }
  const auto deadline = Clock::now() + millis(boundMs) + kWaitMargin;
  waited_ = true;
  return waitWhileBusy([this] { return busy() && !stalled(); }, deadline, kWaitStep) && alive() &&
         !stalled();
}

void PulseWaveDevice::close() {
  std::shared_ptr<Connection> c = std::move(connection_);
  bool playOut = c && waited_;
  if (playOut) {
    std::lock_guard lock(c->mutex);
    playOut = !c->failed;
  }
  waited_ = false;
  if (!playOut) {
    // The teardown stops our own main loop thread and drops the stream; the server is told but
    // not waited for, so a frozen server holds nothing up.
    return;
  }
  // The end of a transmission: the wait before has seen the last block sound by the stream's
  // clock, but a server's clock may run a little ahead of its sink (PipeWire's, by its resampler
  // and graph cycle), and a starved server may still hold the end. So the stream is drained, the
  // server's own word that everything written has played, on a thread of its own: the window is
  // free at once, and only a server that stays silent for kDrainLimit, a frozen one, loses the
  // rest. The silence the timeline would go on writing is not written.
  {
    std::lock_guard lock(c->mutex);
    c->finishing = true;
  }
  std::thread([c] {
    auto drained = std::make_shared<std::atomic<bool>>(false);
    pa_threaded_mainloop_lock(c->loop);
    pa_operation* op = pa_stream_drain(
        c->stream,
        [](pa_stream*, int, void* done) { static_cast<std::atomic<bool>*>(done)->store(true); },
        drained.get());
    pa_threaded_mainloop_unlock(c->loop);
    const auto until = Clock::now() + kDrainLimit;
    while (op && !*drained && Clock::now() < until) {
      {
        std::lock_guard lock(c->mutex);
        if (c->failed) break;
      }
      std::this_thread::sleep_for(kWaitStep);
    }
    if (op) {
      pa_threaded_mainloop_lock(c->loop);
      if (!*drained) pa_operation_cancel(op);
      pa_operation_unref(op);
      pa_threaded_mainloop_unlock(c->loop);
    }
    // The last reference: the teardown runs here.
  }).detach();
}

void PulseWaveDevice::stallFeedingThread(std::chrono::milliseconds duration) {
  if (!isOpen()) return;
  // The duration rides in the pointer itself: nothing to free should the loop never run it.
  auto* encoded = reinterpret_cast<void*>(static_cast<std::uintptr_t>(duration.count()));
  pa_threaded_mainloop_lock(connection_->loop);
  pa_mainloop_api_once(
      pa_threaded_mainloop_get_api(connection_->loop),
      [](pa_mainloop_api*, void* userdata) {
        const auto ms = static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(userdata));
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      },
      encoded);
  pa_threaded_mainloop_unlock(connection_->loop);
}

std::int64_t PulseWaveDevice::heardAt(Clock::time_point moment) const {
  if (!isOpen()) return 0;
  std::lock_guard lock(connection_->mutex);
  return connection_->heardAt(moment);
}

std::int64_t PulseWaveDevice::leadSamples() const {
  if (!isOpen()) return 0;
  std::lock_guard lock(connection_->mutex);
  return connection_->lead;
}

double PulseWaveDevice::latencyMs() const { return msOf(leadSamples()); }

std::uint32_t PulseWaveDevice::targetLength() const {
  if (!isOpen()) return 0;
  pa_threaded_mainloop_lock(connection_->loop);
  const pa_buffer_attr* a = pa_stream_get_buffer_attr(connection_->stream);
  const std::uint32_t v = a ? a->tlength : 0;
  pa_threaded_mainloop_unlock(connection_->loop);
  return v;
}

std::uint32_t PulseWaveDevice::refillSize() const {
  if (!isOpen()) return 0;
  pa_threaded_mainloop_lock(connection_->loop);
  const pa_buffer_attr* a = pa_stream_get_buffer_attr(connection_->stream);
  const std::uint32_t v = a ? a->minreq : 0;
  pa_threaded_mainloop_unlock(connection_->loop);
  return v;
}

std::string PulseWaveDevice::realtimeStatus() const {
  if (!isOpen()) return {};
  std::lock_guard lock(Connection::statusMutex());
  return *connection_->realtimeStatus;
}

std::vector<PulseWaveDevice::Underrun> PulseWaveDevice::underruns() const {
  std::lock_guard lock(log_->mutex);
  return log_->underruns;
}

int PulseWaveDevice::latePlacements() const {
  std::lock_guard lock(log_->mutex);
  return log_->latePlacements;
}

int PulseWaveDevice::clockJumps() const {
  std::lock_guard lock(log_->mutex);
  return log_->clockJumps;
}

}  // namespace kelvak
