// Appending records to the history file and reading it back.
#include "training/history.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <thread>

#include "base/error.h"
#include "base/owned_fd.h"
#include "base/system_reason.h"
#include "text/regular_file.h"

namespace kelvak {

namespace {

[[noreturn]] void fail(const char* what, int err) {
  throw KelvakError(std::string(what) + ": " + systemReason(err));
}

}  // namespace

void History::append(const CheckRecord& record) const { appendLines(toJsonLine(record)); }

void History::append(const DrillRecord& record) const { appendLines(toJsonLine(record)); }

bool History::appendPending() const {
  if (pending_.empty()) return true;
  try {
    appendLines({});
  } catch (const KelvakError&) {
    // Still kept; said when the next record is written.
  }
  return pending_.empty();
}

void History::appendLines(std::string line) const {
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
  const auto until =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kHistoryLockWaitMs);
  while (::flock(fd.fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) fail(kHistoryWriteFailed, errno);
    if (std::chrono::steady_clock::now() >= until) {
      if (!line.empty()) pending_.push_back(std::move(line));
      throw HistoryBusyError(std::string(kHistoryWriteFailed) +
                             ": файл истории занят другой программой; записей ждут дописывания: " +
                             std::to_string(pending_.size()) +
                             ", они будут дописаны вместе со следующей");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::string lines;
  for (const std::string& kept : pending_) lines += kept;
  lines += line;
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
    pending_.clear();
    return;
  }
  const int error = written < 0 ? errno : ENOSPC;
  // A record cut short (a full disk) is taken back, so no damaged line stays behind.
  if (written > 0 && ::ftruncate(fd.fd, before) != 0) fail(kHistoryWriteFailed, errno);
  fail(kHistoryWriteFailed, error);
}

namespace {

// One line of the file, sorted into the contents: a check, a drill, or damage. A file name is
// data: a check whose text file is named "kind" is still a check, so each line is read as a
// check first and only then as a record of another kind.
void takeLine(std::string_view line, std::int32_t number, HistoryContents& out) {
  if (line.find_first_not_of(" \t\r") == std::string_view::npos) return;  // blank line
  if (std::optional<CheckRecord> r = fromJsonLine(line)) {
    out.records.push_back(std::move(*r));
  } else if (std::optional<DrillRecord> d = drillFromJsonLine(line)) {
    out.drills.push_back(*d);
  } else {
    out.damagedLines.push_back(number);
  }
}

}  // namespace

namespace {

// Reads lines from `file` into `out`, numbering them after `number`; returns the offset past the
// last whole line. The memory held is one piece and one line, whatever the file's size. With
// `lastLine`, a last line without its line end is taken too.
std::int64_t readLines(RegularFile& file, std::int64_t offset, std::int32_t& number,
                       HistoryContents& out, bool lastLine) {
  std::vector<char> piece(1 << 16);
  std::string line;
  bool tooLong = false;
  std::int64_t lineStart = offset;
  for (;;) {
    const std::size_t got = file.read(piece.data(), piece.size());
    if (got == 0) break;
    std::string_view rest(piece.data(), got);
    while (!rest.empty()) {
      const std::size_t end = rest.find('\n');
      const std::string_view part = rest.substr(0, end);
      if (!tooLong && line.size() + part.size() <= kMaxRecordBytes) {
        line.append(part);
      } else {
        tooLong = true;
        line.clear();
      }
      if (end == std::string_view::npos) {
        offset += static_cast<std::int64_t>(rest.size());
        break;
      }
      rest.remove_prefix(end + 1);
      offset += static_cast<std::int64_t>(end + 1);
      lineStart = offset;
      ++number;
      if (tooLong) {
        out.damagedLines.push_back(number);
      } else {
        takeLine(line, number, out);
      }
      line.clear();
      tooLong = false;
    }
  }
  if (lastLine && offset > lineStart) {
    if (tooLong) {
      out.damagedLines.push_back(++number);
    } else {
      takeLine(line, ++number, out);
    }
    return offset;
  }
  return lineStart;
}

std::string readFailure(const FileReadError& e) {
  return std::string(kHistoryReadFailed) + ": " +
         (e.error() == 0 ? std::string("это не обычный файл") : systemReason(e.error()));
}

}  // namespace

HistoryContents History::load() const {
  HistoryContents out;
  try {
    RegularFile file(path_);
    std::int32_t number = 0;
    readLines(file, 0, number, out, true);
  } catch (const FileReadError& e) {
    if (e.missing()) return out;
    throw KelvakError(readFailure(e));
  }
  return out;
}

const HistoryContents& History::refresh() const {
  try {
    RegularFile file(path_);
    const bool same = read_.valid && read_.device == static_cast<std::uint64_t>(file.device()) &&
                      read_.inode == static_cast<std::uint64_t>(file.inode()) &&
                      file.size() >= read_.offset;
    if (!same) {
      read_ = Read{};
      read_.device = static_cast<std::uint64_t>(file.device());
      read_.inode = static_cast<std::uint64_t>(file.inode());
    }
    read_.valid = false;  // until this reading is through
    file.seek(read_.offset);
    read_.offset = readLines(file, read_.offset, read_.lines, read_.contents, false);
    read_.valid = true;
  } catch (const FileReadError& e) {
    read_ = Read{};
    if (e.missing()) return read_.contents;
    throw KelvakError(readFailure(e));
  }
  return read_.contents;
}

}  // namespace kelvak
