// Appending records to the history file and reading it back; the append itself is the
// platform's (history_posix.cpp, history_win32.cpp).
#include "training/history.h"

#include <string_view>

#include "base/error.h"
#include "base/system_reason.h"
#include "files/regular_file.h"

namespace kelvak {

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
