// Naming, creating and cleaning up the program's temporary files.
#include "text/own_temporary.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace kelvak {

namespace {

constexpr std::size_t kMaxName = NAME_MAX;  // [bytes]
constexpr std::string_view kMark = ".kelvak-";
constexpr std::string_view kSuffix = ".part";

std::atomic<unsigned> counter{0};

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};

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

std::uint64_t processStart(long pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(in, line)) return 0;
  // The command's name stands in parentheses and may hold anything, spaces and ')' too.
  const std::size_t close = line.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(line.substr(close + 1));
  std::string field;
  // After the name: state is field 3, the start time field 22.
  for (int k = 3; k <= 22; ++k) {
    if (!(fields >> field)) return 0;
  }
  std::uint64_t start = 0;
  const auto [next, ec] = std::from_chars(field.data(), field.data() + field.size(), start);
  return ec == std::errc() ? start : 0;
}

std::string ownTemporaryPath(const std::string& target) {
  const std::filesystem::path file(target);
  const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
  const long pid = ::getpid();
  return (folder / ownTemporaryName(file.filename().string(), pid, processStart(pid), counter++))
      .string();
}

OwnTemporary createOwnTemporary(const std::string& target, mode_t mode) {
  OwnTemporary out;
  for (int attempt = 0; attempt < 100; ++attempt) {
    out.path = ownTemporaryPath(target);
    out.fd = ::open(out.path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, mode);
    if (out.fd >= 0) return out;
    out.error = errno;
    if (out.error != EEXIST) return out;
  }
  return out;
}

int removeOwnLeftovers(const std::string& folder, const std::string& name) {
  const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
  if (!dir) return 0;
  const int dirFd = ::dirfd(dir.get());
  int removed = 0;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string found = entry->d_name;
    long pid = 0;
    std::uint64_t start = 0;
    unsigned number = 0;
    // The name must be the one we would give this very target, to the byte.
    if (!parseTail(found, pid, start, number) || start == 0 ||
        ownTemporaryName(name, pid, start, number) != found) {
      continue;
    }
    struct stat info {};
    if (::fstatat(dirFd, found.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
      continue;
    }
    // Alive and the same process: it may be writing it now. A process that cannot be asked is
    // taken as alive.
    if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM) {
      const std::uint64_t now = processStart(pid);
      if (now == 0 || now == start) continue;
    } else if (errno != ESRCH) {
      continue;
    }
    if (::unlinkat(dirFd, found.c_str(), 0) == 0) ++removed;
  }
  return removed;
}

}  // namespace kelvak
