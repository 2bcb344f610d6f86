// The Windows program's windows, from the first to the end of the message loop.
#pragma once

namespace kelvak::win32 {

// Makes the main window with the sound device and runs it until the program ends; errors that
// escape are shown in the error report. The exit code.
int runWindows();

}  // namespace kelvak::win32
