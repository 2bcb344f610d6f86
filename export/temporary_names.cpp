// The names of an export's temporary files, shared by every platform.
#include <cstdlib>
#include <cstring>

#include "export/target_files.h"

namespace kelvak {

namespace {

// [bytes], in every file system the program writes (NAME_MAX on Linux; NTFS allows 255 UTF-16
// units, more than 255 bytes of UTF-8 ever need)
constexpr std::size_t kMaxName = 255;
constexpr const char* kPartSuffix = ".part";

}  // namespace

std::string temporaryName(const std::string& name, long pid, unsigned number) {
  const std::string tail = "." + std::to_string(pid) + "-" + std::to_string(number) + kPartSuffix;
  std::size_t keep = name.size();
  if (1 + keep + tail.size() > kMaxName) {
    keep = kMaxName - 1 - tail.size();
    // Back to the start of a character: a UTF-8 continuation byte is 10xxxxxx.
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
  }
  return "." + name.substr(0, keep) + tail;
}

bool parseTemporaryName(const std::string& name, long& pid) {
  const std::size_t suffix = std::strlen(kPartSuffix);
  if (name.size() < 1 + suffix + 4 || name[0] != '.' ||
      name.compare(name.size() - suffix, suffix, kPartSuffix) != 0) {
    return false;
  }
  std::size_t end = name.size() - suffix;  // past the counter
  std::size_t i = end;
  while (i > 0 && name[i - 1] >= '0' && name[i - 1] <= '9') --i;
  if (i == end || i == 0 || name[i - 1] != '-') return false;
  end = i - 1;  // past the process number
  i = end;
  while (i > 0 && name[i - 1] >= '0' && name[i - 1] <= '9') --i;
  if (i == end || end - i > 9 || i < 2 || name[i - 1] != '.') return false;
  pid = std::strtol(name.substr(i, end - i).c_str(), nullptr, 10);
  return pid > 0;
}

}  // namespace kelvak
