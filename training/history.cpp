// Appending records to the history file and reading it back; the append itself is the
// platform's (history_posix.cpp, history_win32.cpp).
#include "training/history.h"

#include <chrono>
#include <string_view>

#include "base/error.h"
#include "base/system_reason.h"
#include "files/regular_file.h"

namespace kelvak {

void History::append(const CheckRecord& record) const { appendOrKeep(toJsonLine(record)); }

void History::append(const DrillRecord& record) const { appendOrKeep(toJsonLine(record)); }

History::~History() {
  if (retry_.joinable()) retry_.join();
}

void History::appendOrKeep(std::string line) const {
  try {
    appendLines(std::move(line), 0);
  } catch (const HistoryBusyError&) {
    // Tried again off the window's thread, briefly; a file still held waits for the next record.
    if (!retrying_.exchange(true)) {
      if (retry_.joinable()) retry_.join();
      retry_ = std::thread([this] {
        const auto until =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kHistoryLockWaitMs);
        while (pending() > 0 && std::chrono::steady_clock::now() < until) {
          try {
            appendLines({}, kHistoryLockWaitMs);
          } catch (const KelvakError&) {
            break;  // still kept
          }
        }
        retrying_ = false;
      });
    }
    throw;
  }
}

bool History::appendPending() const {
  if (pending() == 0) return true;
  try {
    appendLines({}, kHistoryLockWaitMs);
  } catch (const KelvakError&) {
    // Still kept; said when the next record is written.
  }
  return pending() == 0;
}

std::size_t History::pending() const {
  const std::lock_guard lock(pendingMutex_);
  return pending_.size();
}

std::pair<std::string, std::size_t> History::linesToWrite(const std::string& line) const {
  const std::lock_guard lock(pendingMutex_);
  std::string lines;
  for (const std::string& kept : pending_) lines += kept;
  return {lines + line, pending_.size()};
}

void History::keptWritten(std::size_t kept) const {
  const std::lock_guard lock(pendingMutex_);
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(kept));
}

void History::busy(std::string line) const {
  std::size_t kept = 0;
  {
    const std::lock_guard lock(pendingMutex_);
    if (!line.empty()) pending_.push_back(std::move(line));
    kept = pending_.size();
  }
  throw HistoryBusyError(std::string(kHistoryWriteFailed) +
                         ": файл истории занят другой программой; записей ждут дописывания: " +
                         std::to_string(kept) + ", они будут дописаны, как только он освободится");
}

namespace {

// The lines' records as load() keeps them.
struct AllRecords {
  HistoryContents& out;
  void add(CheckRecord&& r, std::int32_t) { out.records.push_back(std::move(r)); }
  void add(const DrillRecord& d) { out.drills.push_back(d); }
  void damaged(std::int32_t line) { out.damagedLines.push_back(line); }
};

// One line of the file, sorted into `out`: a check, a drill, or damage. A file name is data: a
// check whose text file is named "kind" is still a check, so each line is read as a check first
// and only then as a record of another kind.
template <typename Out>
void takeLine(std::string_view line, std::int32_t number, Out& out) {
  if (line.find_first_not_of(" \t\r") == std::string_view::npos) return;  // blank line
  if (std::optional<CheckRecord> r = fromJsonLine(line)) {
    out.add(std::move(*r), number);
  } else if (std::optional<DrillRecord> d = drillFromJsonLine(line)) {
    out.add(*d);
  } else {
    out.damaged(number);
  }
}

// Reads lines from `file` into `out`, numbering them after `number`; returns the offset past the
// last whole line. The memory held is one piece and one line, whatever the file's size. With
// `lastLine`, a last line without its line end is taken too.
template <typename Out>
std::int64_t readLines(RegularFile& file, std::int64_t offset, std::int32_t& number, Out& out,
                       bool lastLine) {
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
        out.damaged(number);
      } else {
        takeLine(line, number, out);
      }
      line.clear();
      tooLong = false;
    }
  }
  if (lastLine && offset > lineStart) {
    if (tooLong) {
      out.damaged(++number);
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
    AllRecords all{out};
    readLines(file, 0, number, all, true);
  } catch (const FileReadError& e) {
    if (e.missing()) return out;
    throw KelvakError(readFailure(e));
  }
  return out;
}

HistoryTallies History::latestSendings() const {
  HistoryTallies out;
  struct Latest {
    HistoryTallies& out;
    void add(const CheckRecord& r, std::int32_t) {
      out.latest.add(r);
      ++out.checks;
    }
    void add(const DrillRecord&) {}
    void damaged(std::int32_t) { ++out.damaged; }
  } latest{out};
  try {
    RegularFile file(path_);
    std::int32_t number = 0;
    readLines(file, 0, number, latest, true);
  } catch (const FileReadError& e) {
    if (e.missing()) return HistoryTallies{};
    throw KelvakError(readFailure(e));
  }
  return out;
}

bool History::update(HistoryReading& reading, bool wholeAllowed) const {
  try {
    RegularFile file(path_);
    const auto device = static_cast<std::uint64_t>(file.device());
    const auto inode = static_cast<std::uint64_t>(file.inode());
    if (!reading.valid || reading.device != device || reading.inode != inode ||
        file.size() < reading.offset) {
      if (!wholeAllowed) return false;
      reading = HistoryReading{true, device, inode, 0, 0, HistorySummary(localDay)};
    }
    reading.valid = false;  // until this reading is through
    file.seek(reading.offset);
    reading.offset = readLines(file, reading.offset, reading.lines, reading.summary, false);
    reading.valid = true;
  } catch (const FileReadError& e) {
    reading = HistoryReading{};
    if (e.missing()) return true;
    throw KelvakError(readFailure(e));
  }
  return true;
}

const HistorySummary& History::refresh() const {
  update(read_);
  return read_.summary;
}

}  // namespace kelvak
