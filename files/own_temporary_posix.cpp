// Creating the program's temporary files and cleaning up after them, with the POSIX calls.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "files/own_temporary.h"

namespace kelvak {

namespace {

std::atomic<unsigned> counter{0};

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};

}  // namespace

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
    if (!isOwnTemporaryOf(found, name, pid, start)) continue;
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
