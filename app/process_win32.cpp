// The console and its interruptions on Windows.
#include <windows.h>

#include "app/process.h"

namespace kelvak {

namespace {
volatile std::sig_atomic_t* stopFlag = nullptr;
}

// A console that takes the terminal's sequences (Windows 10 and later, Wine) gets the progress
// line; a pipe or a file does not.
bool standardErrorIsTerminal() {
  const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (err == INVALID_HANDLE_VALUE || !GetConsoleMode(err, &mode)) return false;
  return SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

// Ctrl+C and Ctrl+Break count as SIGINT, closing the console or ending the session as SIGTERM.
void stopOnInterrupt(volatile std::sig_atomic_t& stop) {
  stopFlag = &stop;
  SetConsoleCtrlHandler(
      [](DWORD event) -> BOOL {
        *stopFlag = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? SIGINT : SIGTERM;
        // Closing gives the program a few seconds after this returns: the export stops in them.
        if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT ||
            event == CTRL_SHUTDOWN_EVENT) {
          Sleep(2000);
        }
        return TRUE;
      },
      TRUE);
}

}  // namespace kelvak
