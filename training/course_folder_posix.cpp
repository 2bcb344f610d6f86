// The course folder's lock and second names, with the POSIX calls.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include "base/error.h"
#include "base/system_reason.h"
#include "training/course_folder.h"

namespace kelvak {

CourseFolderLock::CourseFolderLock(const std::string& folder, int waitMs, const char* failure) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) throw KelvakError(std::string(failure) + ": " + systemReason(errno));
  handle_ = fd;
  using Clock = std::chrono::steady_clock;
  const auto until = Clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      locked_ = true;
      return;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) return;
    if (Clock::now() >= until) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

CourseFolderLock::~CourseFolderLock() { ::close(static_cast<int>(handle_)); }

int keepUnderSecondName(const std::string& path, const std::string& kept) {
  // link() never replaces, and the bytes stay where they are.
  if (::link(path.c_str(), kept.c_str()) == 0) return 0;
  if (errno == EEXIST) return EEXIST;
  // A file system without hard links: the file itself moves, never over another.
  if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, kept.c_str(), RENAME_NOREPLACE) == 0) return 0;
  return errno;
}

std::string localStamp(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  return stamp;
}

}  // namespace kelvak
