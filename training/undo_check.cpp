// Removing the last check from the history and the course step it made.
#include "training/undo_check.h"

#include <string>
#include <string_view>

#include "base/error.h"

namespace kelvak {

namespace {

[[noreturn]] void fail(const std::string& reason) {
  throw KelvakError(std::string(kCheckNotRemoved) + ": " + reason);
}

}  // namespace

std::optional<RemovedCheck> removeLastCheck(const History& history) {
  std::optional<RemovedCheck> removed;
  // The last line that reads as a check, from the end; a last line without its '\n' counts.
  const auto withoutLast = [&](const std::string& bytes) -> std::optional<std::string> {
    std::size_t end = bytes.size();
    while (end > 0) {
      const std::size_t lineEnd = bytes[end - 1] == '\n' ? end - 1 : end;
      const std::size_t before = lineEnd == 0 ? std::string::npos : bytes.rfind('\n', lineEnd - 1);
      const std::size_t begin = before == std::string::npos ? 0 : before + 1;
      if (auto record = fromJsonLine(std::string_view(bytes).substr(begin, lineEnd - begin))) {
        removed = RemovedCheck{std::move(*record), static_cast<std::int64_t>(bytes.size()),
                               static_cast<std::int64_t>(end - begin)};
        return bytes.substr(0, begin) + bytes.substr(end);
      }
      end = begin;
    }
    return std::nullopt;
  };
  // The lock every appending program takes: no record is written while the file is replaced. It
  // is never waited for long: another copy holding it is said, and the learner tries again.
  if (changeHistoryLocked(history.path(), 300, kCheckNotRemoved, withoutLast) ==
      HistoryChange::Busy) {
    fail("историю сейчас записывает другая копия программы; попробуйте ещё раз");
  }
  return removed;
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
