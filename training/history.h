// The history of checks: a JSON Lines file, one record per line, only ever appended to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "training/check_record.h"
#include "training/drill.h"

namespace kelvak {

struct HistoryContents {
  std::vector<CheckRecord> records;        // in file order
  std::vector<DrillRecord> drills;         // the drill sessions, in file order
  std::vector<std::int32_t> damagedLines;  // 1-based numbers of the lines that were skipped
};

class History {
 public:
  // `path`: the history file; its folder is made when the first record is written.
  explicit History(std::string path) : path_(std::move(path)) {}

  const std::string& path() const { return path_; }

  // Appends one record with a single write() on a regular file opened for appending, under an
  // exclusive lock, so records of two programs writing at once never mix and a crash never harms
  // an earlier line. A line cut short by an earlier crash is closed first, so the new record
  // starts on its own line; a record cut short now (a full disk) is taken back. Throws
  // KelvakError naming the reason when the record could not be written whole; anything but a
  // regular file is refused.
  void append(const CheckRecord& record) const;
  void append(const DrillRecord& record) const;

  // Reads every record; damaged lines are skipped and counted. A missing file is an empty
  // history. Throws KelvakError naming the reason when the file exists but cannot be read: it is
  // no regular file, or larger than kMaxHistoryBytes.
  HistoryContents load() const;

 private:
  void appendLine(std::string line) const;

  std::string path_;
};

// The messages of a history that could not be written or read, as the windows show them.
inline constexpr const char* kHistoryWriteFailed = "История не записана";
inline constexpr const char* kHistoryReadFailed = "История не прочитана";

// The largest history read [bytes]: some 65,000 checks of about 500 bytes, ten a day for 18 years,
// read in under a second on a busy machine (64 MiB took 1.7 s). A larger file is refused with
// the reason rather than holding the window for seconds.
inline constexpr std::size_t kMaxHistoryBytes = 32u << 20;

}  // namespace kelvak
