// File system paths from and to the program's UTF-8 strings. A path made from a plain string takes
// its bytes in the system's narrow encoding, which on Windows is not UTF-8: Russian names would
// come back altered. On Linux both are the same bytes.
#pragma once

#include <filesystem>
#include <string>

namespace kelvak {

inline std::filesystem::path utf8Path(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string utf8String(const std::filesystem::path& path) {
  const std::u8string utf8 = path.u8string();
  return std::string(utf8.begin(), utf8.end());
}

}  // namespace kelvak
