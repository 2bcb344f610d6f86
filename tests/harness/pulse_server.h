// A private PulseAudio server for the sound tests: its own folder, socket and null sink.
#pragma once

#include <string>

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

// Each server lives in a fresh temporary folder with its own runtime directory and socket, so
// tests running side by side never meet. It runs as root in user mode (the warning it prints
// about that is harmless), never exits for idleness, and is stopped by its owner.
class PulseServer {
 public:
  explicit PulseServer(SinkFormat sink = {});
  ~PulseServer();
  PulseServer(const PulseServer&) = delete;
  PulseServer& operator=(const PulseServer&) = delete;

  // Starts the server and waits until it accepts clients. On failure `error` says why.
  bool start(std::string* error = nullptr);
  void stop();
  // Kills the server at once, as a crash would.
  void kill();
  bool running() { return process_.running(); }
  pid_t pid() const { return process_.pid(); }

  // The address for PULSE_SERVER and for the tools' --server option.
  std::string address() const { return "unix:" + socket_; }
  std::string monitorSource() const { return "kelvak.monitor"; }
  const SinkFormat& sink() const { return sink_; }
  const std::string& folder() const { return folder_; }

  // Sends this process's sound clients (SDL) to this server through PulseAudio.
  void useForThisProcess() const;

 private:
  SinkFormat sink_;
  std::string folder_;
  std::string socket_;
  ChildProcess process_;
};

}  // namespace kelvak::testing
