// The history of checks: a JSON Lines file, one record per line, only ever appended to.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/error.h"
#include "training/check_record.h"
#include "training/drill.h"
#include "training/history_summary.h"

namespace kelvak {

struct HistoryContents {
  std::vector<CheckRecord> records;        // in file order
  std::vector<DrillRecord> drills;         // the drill sessions, in file order
  std::vector<std::int32_t> damagedLines;  // 1-based numbers of the lines that were skipped
};

// What the weak characters need of a history, and how many of its lines were checks and damage.
struct HistoryTallies {
  LatestSendings latest{kRecentSendings};
  std::int32_t checks = 0;
  std::int32_t damaged = 0;
};

// The history's lock stayed held by another program: the record was not written now, and is kept
// to be appended before the next one (or by appendPending()).
class HistoryBusyError : public KelvakError {
 public:
  using KelvakError::KelvakError;
};

// How far a history file has been read, and what it held.
struct HistoryReading {
  bool valid = false;  // something was read of the file named below
  std::uint64_t device = 0, inode = 0;
  std::int64_t offset = 0;  // [bytes] past the last whole line read
  std::int32_t lines = 0;
  HistorySummary summary{localDay};
};

class History {
 public:
  // `path`: the history file; its folder is made when the first record is written.
  explicit History(std::string path) : path_(std::move(path)) {}
  ~History();  // waits for a retry of kept records still running
  History(const History&) = delete;
  History& operator=(const History&) = delete;

  const std::string& path() const { return path_; }

  // Appends one record, after any kept from before, with a single write() on a regular file
  // opened for appending, under an exclusive lock, so records of two programs writing at once
  // never mix and a crash never harms an earlier line. The lock is never waited for: it is tried
  // once; held, the record is kept in memory, HistoryBusyError says so, and a thread of its own
  // tries again for at most kHistoryLockWaitMs, then the next append or appendPending(). A line cut
  // short by an earlier crash is closed first, so the new record starts on its own line; a record
  // cut short now (a full disk) is taken back. Throws KelvakError naming the reason when the record
  // could not be written whole; anything but a regular file is refused.
  void append(const CheckRecord& record) const;
  void append(const DrillRecord& record) const;
  // Appends the records kept while the lock was held, trying the lock for at most
  // kHistoryLockWaitMs; true when none is left. Never throws.
  bool appendPending() const;
  std::size_t pending() const;

  // Reads every record, streaming the file whatever its size; damaged lines are skipped and
  // counted, as is a line longer than kMaxRecordBytes. A missing file is an empty history.
  // Throws KelvakError naming the reason when the file exists but cannot be read (it is no
  // regular file, or reading fails).
  HistoryContents load() const;
  // The same reading with only each character's latest sendings kept: the weak characters'
  // weights in memory bounded by the alphabet, however long the history.
  HistoryTallies latestSendings() const;
  // Brings `reading` up to date with the file: only the lines appended since when it is the same
  // file, grown; the whole file when it was replaced or cut shorter, or was never read. Without
  // `wholeAllowed`, such a file is left unread and false returned (a whole reading is for a
  // thread other than the window's). A last line without its line end is left for the next call,
  // as one still being written. A missing file is an empty history. Throws as load() does; the
  // reading is then empty.
  bool update(HistoryReading& reading, bool wholeAllowed = true) const;
  // update() on a reading kept between calls, with days in the local time zone.
  const HistorySummary& refresh() const;

 private:
  // Appends the kept records and `line`, trying the lock for at most `waitMs` [ms].
  void appendLines(std::string line, int waitMs) const;
  void appendOrKeep(std::string line) const;
  // The kept records with `line` after them, and how many were kept.
  std::pair<std::string, std::size_t> linesToWrite(const std::string& line) const;
  void keptWritten(std::size_t kept) const;
  [[noreturn]] void busy(std::string line) const;

  std::string path_;
  mutable std::mutex pendingMutex_;
  mutable std::vector<std::string> pending_;  // records not yet written, in order
  mutable std::thread retry_;
  mutable std::atomic<bool> retrying_{false};
  mutable HistoryReading read_;
};

// The messages of a history that could not be written or read, as the windows show them.
inline constexpr const char* kHistoryWriteFailed = "История не записана";
inline constexpr const char* kHistoryReadFailed = "История не прочитана";

// The longest line taken for a record [bytes]: a check of every character, each taken for many
// others, stays far below it. A longer line is damage, skipped without being held whole.
inline constexpr std::size_t kMaxRecordBytes = 256u << 10;
// How long an append tries the history's lock at most [ms] before it keeps the record for later.
inline constexpr int kHistoryLockWaitMs = 100;

// What changeHistoryLocked found.
enum class HistoryChange { Missing, Busy, Done };
// Reads the whole history file at `path` while holding the lock every appending program takes
// (tried without waiting, again and again for up to `waitMs`), and replaces the file atomically
// with what `change` makes of its bytes (nothing: the file stays as it is), so that no record
// written meanwhile is lost. Missing: no file; Busy: another program held the lock all the while.
// Throws KelvakError "<failure>: <reason>" when the file cannot be read, is no regular file, or
// cannot be replaced (it is then as it was). history_posix.cpp, history_win32.cpp.
HistoryChange changeHistoryLocked(
    const std::string& path, int waitMs, const char* failure,
    const std::function<std::optional<std::string>(const std::string& bytes)>& change);

}  // namespace kelvak
