// The terminal and the signals on Linux.
#include <unistd.h>

#include <initializer_list>

#include "app/process.h"

namespace kelvak {

namespace {
volatile std::sig_atomic_t* stopFlag = nullptr;
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
