// What the process does the system's own way: process_posix.cpp, process_win32.cpp.
#pragma once

#include <csignal>

namespace kelvak {

// True when messages go to a terminal that takes the progress line's rewriting.
bool standardErrorIsTerminal();
// Sets `stop` to the signal's number when the user interrupts or the system ends the program.
void stopOnInterrupt(volatile std::sig_atomic_t& stop);

}  // namespace kelvak
