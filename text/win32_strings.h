// The Windows build's bridge between the program's UTF-8 strings and the system's UTF-16 calls.
#pragma once

#include <string>

namespace kelvak {

// A UTF-8 string as the UTF-16 the W functions take (ill-formed bytes become U+FFFD).
std::wstring wideOf(const std::string& utf8);
// A UTF-16 string from the system as UTF-8.
std::string utf8OfWide(const std::wstring& wide);
// True for a reserved device name (CON, NUL, COM1, AUX, in any folder, also with an extension
// where the system takes it so), whose full name is \\.\NAME. Such a name is never opened to
// be looked at: a console or a serial port may make the opening wait.
bool isDeviceName(const std::wstring& path);
// The errno value that names a Windows error code (GetLastError) as the Linux build would name
// the same failure, so that messages and the tests' expectations are shared; EIO for the rest.
int errnoOfWindowsError(unsigned long error);

}  // namespace kelvak
