// Removing the last check from the history and the course step it made.
#include "training/undo_check.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <string>
#include <string_view>

#include "base/error.h"
#include "base/owned_fd.h"
#include "base/system_reason.h"
#include "text/regular_file.h"
#include "training/atomic_file.h"

namespace kelvak {

namespace {

[[noreturn]] void fail(const std::string& reason) {
  throw KelvakError(std::string(kCheckNotRemoved) + ": " + reason);
}

}  // namespace

std::optional<CheckRecord> removeLastCheck(const History& history) {
  const std::string& path = history.path();
  // Not blocking: a FIFO is refused at once instead of waited for.
  OwnedFd fd{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
  if (fd.fd < 0) {
    if (errno == ENOENT) return std::nullopt;
    fail(systemReason(errno));
  }
  struct stat st {};
  if (::fstat(fd.fd, &st) != 0) fail(systemReason(errno));
  if (!S_ISREG(st.st_mode)) fail(kNotRegularFile);
  // The lock every appending program takes: no record is written while the file is replaced. It
  // is never waited for long: another copy holding it is said, and the learner tries again.
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
  while (::flock(fd.fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) fail(systemReason(errno));
    if (std::chrono::steady_clock::now() >= until) {
      fail("историю сейчас записывает другая копия программы; попробуйте ещё раз");
    }
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

  // The last line that reads as a check, from the end; a last line without its '\n' counts.
  std::size_t end = bytes.size();
  while (end > 0) {
    const std::size_t lineEnd = bytes[end - 1] == '\n' ? end - 1 : end;
    const std::size_t before = lineEnd == 0 ? std::string::npos : bytes.rfind('\n', lineEnd - 1);
    const std::size_t begin = before == std::string::npos ? 0 : before + 1;
    if (auto record = fromJsonLine(std::string_view(bytes).substr(begin, lineEnd - begin))) {
      bytes.erase(begin, end - begin);
      writeFileAtomically(path, bytes, kCheckNotRemoved);
      return record;
    }
    end = begin;
  }
  return std::nullopt;
}

bool takeBackStepOf(CourseProgress& progress, const CheckRecord& check) {
  const auto kind = static_cast<int>(check.settings.source);
  if (progress.steps.empty() || kind < 0 || kind > 2) return false;
  const auto set = static_cast<CourseSet>(kind);
  const CourseStep& last = progress.steps.back();
  if (last.time != check.time || last.set != set || last.lesson != progress.lesson(set) ||
      last.lesson <= 1) {
    return false;
  }
  progress.lessons[static_cast<std::size_t>(set)] = last.lesson - 1;
  progress.steps.pop_back();
  return true;
}

}  // namespace kelvak
