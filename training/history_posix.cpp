// Appending one record to the history file with the POSIX calls.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "base/error.h"
#include "base/owned_fd.h"
#include "base/system_reason.h"
#include "text/regular_file.h"
#include "training/history.h"

namespace kelvak {

namespace {

[[noreturn]] void fail(const char* what, int err) {
  throw KelvakError(std::string(what) + ": " + systemReason(err));
}

}  // namespace

void History::appendLine(std::string line) const {
  const std::filesystem::path file(path_);
  if (file.has_parent_path()) {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    if (ec) fail(kHistoryWriteFailed, ec.value());
  }
  // Not blocking: a FIFO without a reader is refused at once instead of waited for.
  OwnedFd fd{
      ::open(path_.c_str(), O_RDWR | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644)};
  if (fd.fd < 0) fail(kHistoryWriteFailed, errno);
  struct stat st {};
  if (::fstat(fd.fd, &st) != 0) fail(kHistoryWriteFailed, errno);
  // /dev/null would take every record and keep none.
  if (!S_ISREG(st.st_mode)) {
    throw KelvakError(std::string(kHistoryWriteFailed) + ": " + kNotRegularFile);
  }
  // One writer at a time, so the end seen below is the end written to. Programs that do not take
  // the lock still never mix their records with ours: every record is one write().
  while (::flock(fd.fd, LOCK_EX) != 0) {
    if (errno != EINTR) fail(kHistoryWriteFailed, errno);
  }
  if (::fstat(fd.fd, &st) != 0) fail(kHistoryWriteFailed, errno);
  const off_t before = st.st_size;

  // A line left open by a program that died while writing would swallow this record.
  char last = '\n';
  if (before > 0 && ::pread(fd.fd, &last, 1, before - 1) == 1 && last != '\n') {
    line.insert(line.begin(), '\n');
  }

  ssize_t written;
  do {
    written = ::write(fd.fd, line.data(), line.size());
  } while (written < 0 && errno == EINTR);
  if (written >= 0 && static_cast<std::size_t>(written) == line.size()) return;
  const int error = written < 0 ? errno : ENOSPC;
  // A record cut short (a full disk) is taken back, so no damaged line stays behind.
  if (written > 0 && ::ftruncate(fd.fd, before) != 0) fail(kHistoryWriteFailed, errno);
  fail(kHistoryWriteFailed, error);
}

}  // namespace kelvak
