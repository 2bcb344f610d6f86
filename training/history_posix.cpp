// Appending records to the history file with the POSIX calls.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "base/error.h"
#include "base/owned_fd.h"
#include "base/system_reason.h"
#include "files/regular_file.h"
#include "files/atomic_file.h"
#include "training/history.h"

namespace kelvak {

namespace {

[[noreturn]] void fail(const char* what, int err) {
  throw KelvakError(std::string(what) + ": " + systemReason(err));
}

}  // namespace

void History::appendLines(std::string line, int waitMs) const {
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
  // the lock still never mix their records with ours: every append is one write(). The lock is
  // never waited for: a program that holds it must not freeze the window.
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (::flock(fd.fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) fail(kHistoryWriteFailed, errno);
    if (std::chrono::steady_clock::now() >= until) {
      busy(std::move(line));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  auto [lines, kept] = linesToWrite(line);
  if (lines.empty()) return;
  if (::fstat(fd.fd, &st) != 0) fail(kHistoryWriteFailed, errno);
  const off_t before = st.st_size;

  // A line left open by a program that died while writing would swallow this record.
  char last = '\n';
  if (before > 0 && ::pread(fd.fd, &last, 1, before - 1) == 1 && last != '\n') {
    lines.insert(lines.begin(), '\n');
  }

  ssize_t written;
  do {
    written = ::write(fd.fd, lines.data(), lines.size());
  } while (written < 0 && errno == EINTR);
  if (written >= 0 && static_cast<std::size_t>(written) == lines.size()) {
    keptWritten(kept);
    return;
  }
  const int error = written < 0 ? errno : ENOSPC;
  // A record cut short (a full disk) is taken back, so no damaged line stays behind.
  if (written > 0 && ::ftruncate(fd.fd, before) != 0) fail(kHistoryWriteFailed, errno);
  fail(kHistoryWriteFailed, error);
}

HistoryChange changeHistoryLocked(
    const std::string& path, int waitMs, const char* failure,
    const std::function<std::optional<std::string>(const std::string& bytes)>& change) {
  const auto fail = [failure](const std::string& reason) {
    throw KelvakError(std::string(failure) + ": " + reason);
  };
  // Not blocking: a FIFO is refused at once instead of waited for.
  OwnedFd fd{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
  if (fd.fd < 0) {
    if (errno == ENOENT) return HistoryChange::Missing;
    fail(systemReason(errno));
  }
  struct stat st {};
  if (::fstat(fd.fd, &st) != 0) fail(systemReason(errno));
  if (!S_ISREG(st.st_mode)) fail(kNotRegularFile);
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (::flock(fd.fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) fail(systemReason(errno));
    if (std::chrono::steady_clock::now() >= until) return HistoryChange::Busy;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (::fstat(fd.fd, &st) != 0) fail(systemReason(errno));
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(st.st_size));
  char piece[1 << 14];
  for (;;) {
    const ssize_t n = ::read(fd.fd, piece, sizeof piece);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fail(systemReason(errno));
    if (n == 0) break;
    bytes.append(piece, static_cast<std::size_t>(n));
  }
  // Replaced while the lock is held: a writer waiting for it finds the new file's end.
  if (const std::optional<std::string> changed = change(bytes)) {
    writeFileAtomically(path, *changed, failure);
  }
  return HistoryChange::Done;
}

}  // namespace kelvak
