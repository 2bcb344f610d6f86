// Naming the program's temporary files; creating them and cleaning up after them is the
// platform's (own_temporary_posix.cpp, own_temporary_win32.cpp).
#include "files/own_temporary.h"

#include <charconv>
#include <string_view>

namespace kelvak {

namespace {

// [bytes], in every file system the program writes (NAME_MAX on Linux; NTFS allows 255 UTF-16
// units, more than 255 bytes of UTF-8 ever need)
constexpr std::size_t kMaxName = 255;
constexpr std::string_view kMark = ".kelvak-";
constexpr std::string_view kSuffix = ".part";

// Reads "PID-START-NUMBER" from the tail of `name`; false for anything else.
bool parseTail(std::string_view name, long& pid, std::uint64_t& start, unsigned& number) {
  if (!name.ends_with(kSuffix)) return false;
  name.remove_suffix(kSuffix.size());
  const std::size_t mark = name.rfind(kMark);
  if (mark == std::string_view::npos) return false;
  const std::string_view tail = name.substr(mark + kMark.size());
  const char* p = tail.data();
  const char* end = p + tail.size();
  auto field = [&](auto& out, bool last) {
    const auto [next, ec] = std::from_chars(p, end, out);
    if (ec != std::errc() || next == p) return false;
    p = next;
    if (last) return p == end;
    if (p == end || *p != '-') return false;
    ++p;
    return true;
  };
  return field(pid, false) && field(start, false) && field(number, true) && pid > 0;
}

}  // namespace

std::string ownTemporaryName(const std::string& name, long pid, std::uint64_t start,
                             unsigned number) {
  const std::string tail = std::string(kMark) + std::to_string(pid) + "-" + std::to_string(start) +
                           "-" + std::to_string(number) + std::string(kSuffix);
  std::size_t keep = name.size();
  if (1 + keep + tail.size() > kMaxName) {
    keep = kMaxName - 1 - tail.size();
    // Back to the start of a character: a UTF-8 continuation byte is 10xxxxxx.
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
  }
  return "." + name.substr(0, keep) + tail;
}

bool isOwnTemporaryOf(const std::string& found, const std::string& name, long& pid,
                      std::uint64_t& start) {
  unsigned number = 0;
  // The name must be the one we would give this very target, to the byte.
  return parseTail(found, pid, start, number) && start != 0 &&
         ownTemporaryName(name, pid, start, number) == found;
}

}  // namespace kelvak
