// The command line's history folder, terminal and signals on Linux.
#include <unistd.h>

#include <cstdlib>

#include "export/command_line_platform.h"

namespace kelvak {

namespace {
volatile std::sig_atomic_t* stopFlag = nullptr;
}

// The data folder the desktop names.
std::string userHistoryPath() {
  const char* data = std::getenv("XDG_DATA_HOME");
  std::string folder = data && *data == '/' ? data : "";
  if (folder.empty()) {
    const char* home = std::getenv("HOME");
    folder = std::string(home ? home : "") + "/.local/share";
  }
  return folder + "/kelvak/history.jsonl";
}

bool standardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void stopOnInterrupt(volatile std::sig_atomic_t& stop) {
  stopFlag = &stop;
  struct sigaction action {};
  action.sa_handler = [](int signal) { *stopFlag = signal; };
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

}  // namespace kelvak
