// What the command line does the system's own way: command_line_posix.cpp, command_line_win32.cpp.
#pragma once

#include <csignal>
#include <string>

namespace kelvak {

// The user's history where the window keeps it.
std::string userHistoryPath();
// True when messages go to a terminal that takes the progress line's rewriting.
bool standardErrorIsTerminal();
// Sets `stop` to the signal's number when the user interrupts or the system ends the program.
void stopOnInterrupt(volatile std::sig_atomic_t& stop);

}  // namespace kelvak
