// The monitor recorder: parec into a pipe, read with arrival times on a thread of its own.
#include "tests/harness/monitor_recorder.h"

#include <sys/resource.h>

#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace kelvak::testing {

MonitorRecorder::MonitorRecorder(const PulseServer& server, int latencyMs)
    : server_(server), latencyMs_(latencyMs) {}

MonitorRecorder::~MonitorRecorder() { stop(); }

bool MonitorRecorder::start(std::string* error) {
  format_ = server_.sink();
  rate_ = format_.rate;
  log_ = server_.folder() + "/parec.log";
  std::vector<std::string> argv = {
      "parec",
      "--server=" + server_.address(),
      "--device=" + server_.monitorSource(),
      "--format=" + format_.format,
      "--rate=" + std::to_string(format_.rate),
      "--channels=" + std::to_string(format_.channels),
      "--raw",
  };
  if (latencyMs_ > 0) argv.push_back("--latency-msec=" + std::to_string(latencyMs_));
  if (!process_.start(argv, {}, true, log_, error)) return false;
  // The recorder is the measuring instrument: where the system allows it, it runs at a real-time
  // priority below the server's own threads (which take one as on a desktop), else at least
  // before the busy loops a test starts beside the program, so that what it loses is never the
  // loops' doing. A nice value alone lost samples under three busy loops and two builds.
  const sched_param realtime{kRealtimePriority};
  if (::sched_setscheduler(process_.pid(), SCHED_FIFO | SCHED_RESET_ON_FORK, &realtime) != 0) {
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(process_.pid()), -5);
  }
  reader_ = std::thread([this] { readLoop(); });
  const auto until = Clock::now() + std::chrono::seconds(10);
  while (sampleCount() == 0) {
    if (Clock::now() >= until || !process_.running()) {
      if (error) *error = "parec delivered nothing; see " + log_;
      stop();
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

void MonitorRecorder::readLoop() {
  const int fd = process_.stdoutFd();
  std::uint8_t buffer[4096];
  while (!stopping_) {
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, 20);
    if (ready <= 0) continue;
    const ssize_t n = read(fd, buffer, sizeof buffer);
    const auto arrived = Clock::now();
    if (n <= 0) break;
    std::lock_guard lock(mutex_);
    data_.insert(data_.end(), buffer, buffer + n);
    arrivals_.push_back({std::chrono::duration<double>(arrived - epoch_).count(),
                         static_cast<double>(data_.size()) / format_.channels});
  }
}

void MonitorRecorder::stop() {
  if (reader_.joinable()) {
    stopping_ = true;
    reader_.join();
  }
  process_.stop();
}

std::vector<std::uint8_t> MonitorRecorder::samples() const {
  std::lock_guard lock(mutex_);
  return data_;
}

std::size_t MonitorRecorder::sampleCount() const {
  std::lock_guard lock(mutex_);
  return data_.size() / static_cast<std::size_t>(format_.channels);
}

MonitorRecorder::Loss MonitorRecorder::loss() const {
  std::lock_guard lock(mutex_);
  if (arrivals_.empty()) return {};
  // The earliest a piece came after its samples, within each second, on the nominal clock [s].
  const double first = arrivals_.front().at;
  std::vector<double> promptest;
  for (const Arrival& a : arrivals_) {
    if (end_ >= 0 && a.at > end_) break;
    const auto second = static_cast<std::size_t>(a.at - first);
    const double offset = a.at - a.received / rate_;
    if (second >= promptest.size()) promptest.resize(second + 1, offset);
    promptest[second] = std::min(promptest[second], offset);
  }
  // Lateness that every later second shows is lost time. The tolerance allows a sink's clock
  // 200 ppm off the steady clock, and a little jitter of the most prompt piece.
  const double base = promptest.front();
  double later = promptest.back();
  for (std::size_t s = promptest.size(); s-- > 1;) {
    later = std::min(later, promptest[s]);
    const double tolerance = kLossToleranceS + 2e-4 * static_cast<double>(s);
    if (later - base > tolerance) {
      // Keep looking back for the first second that shows it.
      Loss l{static_cast<std::int64_t>(std::lround((later - base) * rate_)),
             static_cast<double>(s)};
      double earlier = later;
      for (std::size_t t = s; t-- > 1;) {
        earlier = std::min(earlier, promptest[t]);
        if (earlier - base <= kLossToleranceS + 2e-4 * static_cast<double>(t)) break;
        l.at = static_cast<double>(t);
      }
      return l;
    }
  }
  return {};
}

void MonitorRecorder::markEnd() {
  double end = 0;
  {
    std::lock_guard lock(mutex_);
    end = end_ = std::chrono::duration<double>(Clock::now() - epoch_).count();
  }
  // What sounded by now reaches the recording some time later: the server's latency, parec's
  // and this reader's turn, which a busy machine stretches. Counted from the most prompt piece
  // of the first second, the recording holds the mark once its samples span the time up to it.
  const auto until = Clock::now() + kCatchUpLimit;
  while (Clock::now() < until) {
    {
      std::lock_guard lock(mutex_);
      if (!arrivals_.empty()) {
        double base = arrivals_.front().at - arrivals_.front().received / rate_;
        for (const Arrival& a : arrivals_) {
          if (a.at - arrivals_.front().at > 1.0) break;
          base = std::min(base, a.at - a.received / rate_);
        }
        // The tolerance is loss()'s: a sink's clock a little slow is no reason to wait.
        const double tolerance = kLossToleranceS + 2e-4 * (end - arrivals_.front().at);
        const auto received = data_.size() / static_cast<std::size_t>(format_.channels);
        if (base + static_cast<double>(received) / rate_ + tolerance >= end) return;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::lock_guard lock(mutex_);
  behindAtEnd_ = true;
}

std::string MonitorRecorder::lossReport() const {
  const Loss l = loss();
  if (l.samples == 0) {
    std::lock_guard lock(mutex_);
    if (!behindAtEnd_) return {};
    return "the recording had not caught up with the sound " +
           std::to_string(kCatchUpLimit.count()) +
           " s after its end: a fault of the test's recording, not of the program";
  }
  return "the recorder lost " + std::to_string(l.samples) + " samples at " +
         std::to_string(static_cast<int>(l.at)) +
         " s: a fault of the test's recording, not of the program";
}

double MonitorRecorder::measuredRate() const {
  std::lock_guard lock(mutex_);
  if (arrivals_.size() < 100) return rate_;
  // Pieces arrive late by varying amounts, never early: in the first and the last quarter of
  // the recording the piece with the smallest (arrival - samples / rate) arrived most promptly.
  auto best = [&](std::size_t from, std::size_t to) {
    std::size_t pick = from;
    for (std::size_t k = from; k < to; ++k) {
      const auto offset = [&](std::size_t i) {
        return arrivals_[i].at - arrivals_[i].received / rate_;
      };
      if (offset(k) < offset(pick)) pick = k;
    }
    return arrivals_[pick];
  };
  const std::size_t n = arrivals_.size();
  const Arrival a = best(0, n / 4), b = best(n - n / 4, n);
  if (b.at - a.at < 5.0) return rate_;
  return (b.received - a.received) / (b.at - a.at);
}

MonitorRecorder::Clock::time_point MonitorRecorder::timeOf(double n) const {
  const double rate = measuredRate();
  std::lock_guard lock(mutex_);
  // On the sink's own clock, the piece that arrived soonest after its samples fixes the offset.
  double best = 0.0;
  bool first = true;
  for (const Arrival& a : arrivals_) {
    const double offset = a.at - a.received / rate;
    if (first || offset < best) best = offset;
    first = false;
  }
  return epoch_ + std::chrono::duration_cast<Clock::duration>(
                      std::chrono::duration<double>(best + n / rate));
}

double MonitorRecorder::sampleAt(Clock::time_point t) const {
  const auto zero = timeOf(0.0);
  return std::chrono::duration<double>(t - zero).count() * measuredRate();
}

}  // namespace kelvak::testing
