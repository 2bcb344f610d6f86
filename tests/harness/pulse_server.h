// A private sound server speaking the PulseAudio protocol for the sound tests: PulseAudio itself,
// or PipeWire with its session manager and PulseAudio service. Its own folder, socket and null
// sink.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/harness/child_process.h"

namespace kelvak::testing {

// The null sink's sample format. The default matches the program's own output (unsigned 8-bit
// mono at 11025 Hz), so the server passes the samples through untouched and a recording of the
// sink's monitor holds exactly the bytes the device handed over.
struct SinkFormat {
  std::string format = "u8";
  int rate = 11025;  // [samples/s]
  int channels = 1;
};

// Which server answers the PulseAudio protocol. PipeWire runs its graph at its own rate (48 kHz
// unless forced) and resamples every stream of another rate to it, as on a user's desktop.
enum class ServerKind { PulseAudio, PipeWire };
const char* serverName(ServerKind kind);
// Both kinds, for tables of sound tests with a row per server.
inline const std::vector<ServerKind>& allServerKinds() {
  static const std::vector<ServerKind> kinds = {ServerKind::PulseAudio, ServerKind::PipeWire};
  return kinds;
}

// Each server lives in a fresh temporary folder with its own runtime directory and socket, so
// tests running side by side never meet. It runs as root in user mode (the warning it prints
// about that is harmless), never exits for idleness, and is stopped by its owner.
class PulseServer {
 public:
  // graphRate: PipeWire only, its graph runs at this rate [samples/s] from the start (0: its own
  // choice, 48 kHz).
  explicit PulseServer(SinkFormat sink = {}, ServerKind kind = ServerKind::PulseAudio,
                       int graphRate = 0);
  explicit PulseServer(ServerKind kind, int graphRate = 0)
      : PulseServer(SinkFormat{}, kind, graphRate) {}
  ~PulseServer();
  PulseServer(const PulseServer&) = delete;
  PulseServer& operator=(const PulseServer&) = delete;

  // Starts the server and waits until it accepts clients. On failure `error` says why.
  bool start(std::string* error = nullptr);
  void stop();
  // Kills the server at once, as a crash would.
  void kill();
  bool running() { return !processes_.empty() && protocol().running(); }
  // The process that answers the program: pulseaudio, or pipewire-pulse.
  pid_t pid() const { return processes_.empty() ? -1 : protocol().pid(); }
  // Stops every process of the server (SIGSTOP), as a server that hangs; thaw() lets them go on.
  void freeze();
  void thaw();
  ServerKind kind() const { return kind_; }
  // The program's samples reach the sink through a resampler and back (PipeWire's graph at
  // another rate than the sink's), so a recording cannot equal them sample for sample.
  bool resamples() const { return kind_ == ServerKind::PipeWire && graphRate_ != sink_.rate; }
  // How far an element's length may be from the sent one in a recording of this server
  // [samples]: the edges of a tone, found to a sample when the samples pass through untouched,
  // ring for some 17 to 25 samples behind a resampler, which lengthens each tone and shortens
  // each gap by as much (3 ms, an eighth of a unit at the top speed).
  double tolerance() const { return resamples() ? 3.0 * sink_.rate / 1000.0 : 2.0; }
  // PipeWire only: runs the graph at `rate` [samples/s] from now on (0: its own choice again).
  bool forceGraphRate(int rate, std::string* error = nullptr);

  // The address for PULSE_SERVER and for the tools' --server option.
  std::string address() const { return "unix:" + socket_; }
  std::string monitorSource() const { return "kelvak.monitor"; }
  const SinkFormat& sink() const { return sink_; }
  const std::string& folder() const { return folder_; }

  // Sends this process's sound clients (SDL) to this server through PulseAudio.
  void useForThisProcess() const;

 private:
  bool startPulseAudio(std::string* error);
  bool startPipeWire(std::string* error);
  bool waitForSocket(std::string* error);
  // Runs a tool of the server's (pactl, pw-metadata) in its environment; false unless it exits 0.
  bool runTool(const std::vector<std::string>& argv, std::string* error);
  void raiseThreads() const;
  ChildProcess& protocol() { return *processes_.back(); }
  const ChildProcess& protocol() const { return *processes_.back(); }

  SinkFormat sink_;
  ServerKind kind_;
  int graphRate_;
  std::string folder_;
  std::string socket_;
  std::vector<std::string> env_;
  // In the order started: the last one answers the protocol.
  std::vector<std::unique_ptr<ChildProcess>> processes_;
};

}  // namespace kelvak::testing
