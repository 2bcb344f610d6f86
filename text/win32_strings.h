// The Windows build's bridge between the program's UTF-8 strings and the system's UTF-16 calls.
#pragma once

#include <string>

namespace kelvak {

// A UTF-8 string as the UTF-16 the W functions take (ill-formed bytes become U+FFFD).
std::wstring wideOf(const std::string& utf8);
// A UTF-16 string from the system as UTF-8.
std::string utf8OfWide(const std::wstring& wide);
// The errno value that names a Windows error code (GetLastError) as the Linux build would name
// the same failure, so that messages and the tests' expectations are shared; EIO for the rest.
int errnoOfWindowsError(unsigned long error);

}  // namespace kelvak
