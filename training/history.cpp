// Appending records to the history file and reading it back; the append itself is the
// platform's (history_posix.cpp, history_win32.cpp).
#include "training/history.h"

#include <string_view>

#include "base/error.h"
#include "text/regular_file.h"

namespace kelvak {

void History::append(const CheckRecord& record) const { appendLine(toJsonLine(record)); }

void History::append(const DrillRecord& record) const { appendLine(toJsonLine(record)); }

HistoryContents History::load() const {
  HistoryContents out;
  std::string bytes;
  try {
    bytes = readWholeFile(path_, kMaxHistoryBytes);
  } catch (const FileReadError& e) {
    if (e.missing()) return out;
    throw KelvakError(std::string(kHistoryReadFailed) + ": " + e.what());
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
