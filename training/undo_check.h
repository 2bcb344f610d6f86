// Taking a check back: a check made by mistake (a transmission stopped after a few characters)
// must not weigh on the statistics, the weak characters and the course for ever.
#pragma once

#include <cstdint>
#include <optional>

#include "training/check_record.h"
#include "training/course_progress.h"
#include "training/history.h"

namespace kelvak {

inline constexpr const char* kCheckNotRemoved = "Проверка не удалена";

// Removes the line of the history's last check record and rewrites the file atomically (a
// temporary file, flushed, renamed over it), holding the history's lock while it reads and
// replaces the file. Every other line stays as it was, byte for byte: drill sessions, damaged
// lines and the checks before. Returns the record removed; nothing, with the file untouched, when
// the history holds no check. Throws KelvakError "Проверка не удалена: <reason>"; the file is then
// as it was.
struct RemovedCheck {
  CheckRecord record;
  std::int64_t fileBytes = 0, lineBytes = 0;
};
std::optional<RemovedCheck> removeLastCheck(const History& history);

// When the course's last step was the one `check` made (the lesson it opened: a step of the
// check's set at the check's time, to the lesson the set is at now), takes that step back: the
// set returns to the lesson before and the step is forgotten. True when it did; any other
// progress stays as it is.
bool takeBackStepOf(CourseProgress& progress, const CheckRecord& check);

}  // namespace kelvak
