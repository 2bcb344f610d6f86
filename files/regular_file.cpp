// Reading a file within a bound; opening it is the platform's (regular_file_posix.cpp,
// regular_file_win32.cpp).
#include "files/regular_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kelvak {

std::string readWholeFile(const std::string& path, std::size_t maxBytes) {
  RegularFile file(path);
  if (file.size() > static_cast<std::int64_t>(maxBytes)) {
    throw FileReadError(EFBIG, std::strerror(EFBIG));
  }
  // A file that grows while it is read stops at the bound all the same.
  std::string bytes(static_cast<std::size_t>(file.size()), '\0');
  std::size_t have = 0;
  char probe = 0;
  for (;;) {
    if (have == bytes.size()) {
      if (file.read(&probe, 1) == 0) break;
      if (bytes.size() >= maxBytes) throw FileReadError(EFBIG, std::strerror(EFBIG));
      bytes.push_back(probe);
      bytes.resize(std::min(maxBytes, bytes.size() * 2 + 4096));
      ++have;
      continue;
    }
    const std::size_t got = file.read(bytes.data() + have, bytes.size() - have);
    if (got == 0) break;
    have += got;
  }
  bytes.resize(have);
  return bytes;
}

}  // namespace kelvak
