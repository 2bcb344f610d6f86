// Child processes for the sound tests: posix_spawn with a pipe, and a stop that never hangs.
#include "tests/harness/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

extern char** environ;

namespace kelvak::testing {

ChildProcess::~ChildProcess() { stop(); }

bool ChildProcess::start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         bool pipeStdout, const std::string& stderrPath, std::string* error,
                         bool newSession) {
  int fds[2] = {-1, -1};
  if (pipeStdout && pipe2(fds, O_CLOEXEC) != 0) {
    if (error) *error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (pipeStdout) posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  if (!stderrPath.empty()) {
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<char*> envs;
  for (const auto& e : env) envs.push_back(const_cast<char*>(e.c_str()));
  envs.push_back(nullptr);

  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  if (newSession) posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
  const int rc = posix_spawnp(&pid_, args[0], &actions, &attr, args.data(),
                              env.empty() ? environ : envs.data());
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  if (pipeStdout) close(fds[1]);
  if (rc != 0) {
    pid_ = -1;
    if (pipeStdout) close(fds[0]);
    if (error) *error = argv[0] + ": " + std::strerror(rc);
    return false;
  }
  stdoutFd_ = pipeStdout ? fds[0] : -1;
  return true;
}

bool ChildProcess::running() {
  if (pid_ <= 0) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    pid_ = -1;
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
  }
  return true;
}

void ChildProcess::signal(int sig) const {
  if (pid_ > 0) ::kill(pid_, sig);
}

void ChildProcess::stop(std::chrono::milliseconds grace) {
  if (pid_ > 0) {
    ::kill(pid_, SIGCONT);  // a frozen child could not act on the request to end
    ::kill(pid_, SIGTERM);
    const auto until = std::chrono::steady_clock::now() + grace;
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() >= until) {
        ::kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
  }
  if (stdoutFd_ >= 0) {
    close(stdoutFd_);
    stdoutFd_ = -1;
  }
}

}  // namespace kelvak::testing
