// Appending records to the history file and reading it back.
#include "training/history.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "base/error.h"

namespace kelvak {

namespace {

[[noreturn]] void fail(const char* what, int err) {
  throw KelvakError(std::string(what) + ": " + std::strerror(err));
}

// Closes the descriptor on every way out.
struct Fd {
  int fd;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

void History::append(const CheckRecord& record) const { appendLine(toJsonLine(record)); }

void History::append(const DrillRecord& record) const { appendLine(toJsonLine(record)); }

void History::appendLine(std::string line) const {
  const std::filesystem::path file(path_);
  if (file.has_parent_path()) {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    if (ec) fail(kHistoryWriteFailed, ec.value());
  }
  Fd fd{::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644)};
  if (fd.fd < 0) fail(kHistoryWriteFailed, errno);

  // A line left open by a program that died while writing would swallow this record.
  struct stat st {};
  if (::fstat(fd.fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    Fd reader{::open(path_.c_str(), O_RDONLY | O_CLOEXEC)};
    char last = '\n';
    if (reader.fd >= 0 && ::pread(reader.fd, &last, 1, st.st_size - 1) == 1 && last != '\n') {
      line.insert(line.begin(), '\n');
    }
  }

  ssize_t written;
  do {
    written = ::write(fd.fd, line.data(), line.size());
  } while (written < 0 && errno == EINTR);
  if (written < 0) fail(kHistoryWriteFailed, errno);
  if (static_cast<std::size_t>(written) != line.size()) fail(kHistoryWriteFailed, ENOSPC);
}

HistoryContents History::load() const {
  HistoryContents out;
  Fd fd{::open(path_.c_str(), O_RDONLY | O_CLOEXEC)};
  if (fd.fd < 0) {
    if (errno == ENOENT) return out;
    fail("История не прочитана", errno);
  }
  std::string bytes;
  char buf[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd.fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fail("История не прочитана", errno);
    if (n == 0) break;
    bytes.append(buf, static_cast<std::size_t>(n));
  }

  std::string_view rest(bytes);
  std::int32_t number = 0;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    ++number;
    if (line.find_first_not_of(" \t\r") == std::string_view::npos) continue;  // blank line
    // Records of other kinds name theirs; a check names none, as every older record.
    if (line.find("\"kind\"") != std::string_view::npos) {
      if (std::optional<DrillRecord> d = drillFromJsonLine(line)) {
        out.drills.push_back(*d);
      } else {
        out.damagedLines.push_back(number);
      }
    } else if (std::optional<CheckRecord> r = fromJsonLine(line)) {
      out.records.push_back(std::move(*r));
    } else {
      out.damagedLines.push_back(number);
    }
  }
  return out;
}

}  // namespace kelvak
