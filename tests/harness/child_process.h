// Starting and stopping helper programs (the sound server, the recorder) for the sound tests.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace kelvak::testing {

// A child process started with its own arguments and environment. Its standard output goes to
// a pipe when asked for, its standard error to a file. Stopped (if still running) when destroyed.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // argv[0] is looked up in PATH. env entries are "NAME=value"; empty means this process's own.
  // newSession: the child leads a session of its own, as a service started apart from the user's
  // programs does; the kernel then shares the processors between it and this process's session
  // as between two groups, not among their threads one by one.
  bool start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
             bool pipeStdout, const std::string& stderrPath, std::string* error,
             bool newSession = false);
  bool running();
  // The read end of the standard output pipe, -1 when there is none.
  int stdoutFd() const { return stdoutFd_; }
  void signal(int sig) const;
  // Sends SIGTERM, waits up to `grace`, then SIGKILL; reaps the process.
  void stop(std::chrono::milliseconds grace = std::chrono::milliseconds(3000));
  pid_t pid() const { return pid_; }
  // How the process ended, once running() has seen it end: its exit code, or 128 + the signal.
  int exitStatus() const { return exitStatus_; }

 private:
  pid_t pid_ = -1;
  int exitStatus_ = -1;
  int stdoutFd_ = -1;
};

}  // namespace kelvak::testing
