// The learner's place in the course, kept in a small JSON file beside the history: whether the
// course is on, the lesson of each set and the date of every step.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "training/course.h"

namespace kelvak {

struct CourseStep {
  std::int64_t time = 0;  // [s] since 1970 UTC
  CourseSet set = CourseSet::Letters;
  int lesson = 1;  // the lesson reached
};

struct CourseProgress {
  bool on = false;
  std::array<int, 3> lessons{1, 1, 1};  // by set
  std::vector<CourseStep> steps;        // in time order
  // The set the learner chose last for the course; Play sends it again after a restart. Files
  // written before it was kept have none.
  std::optional<CourseSet> set;

  int lesson(CourseSet set) const { return lessons[static_cast<std::size_t>(set)]; }
  // Moves to `lesson` of `set` and notes the step; nothing when it is the lesson already.
  void moveTo(CourseSet set, int lesson, std::int64_t time);
};

// For example {"on":true,"lessons":{"digits":1,"letters":4,"mixture":1},
//              "steps":[{"time":"2026-12-09T12:40:00Z","set":"letters","lesson":4}]}
std::string toJson(const CourseProgress& progress);

// What a course file held: every field that could be read, and the names of those that could not
// (they keep the start's value: the course off, lesson 1, a damaged step left out). A field is
// read when the text up to its end is JSON, it has its type, and a lesson lies within its set's
// lessons (with the special signs): everything before the first place the JSON breaks (a trailing
// comma, a cut end) is read, nothing after it; "yes" is no boolean, "7" and 7.0 no lesson.
struct CourseReading {
  CourseProgress progress;
  std::vector<std::string> damaged;  // "lessons.letters", "steps[2]", "the text after byte 120"
};
CourseReading readCourseJson(std::string_view text);
// The whole record; throws KelvakError(kCourseFileDamaged) for text with any damaged field.
CourseProgress courseProgressFromJson(std::string_view text);

inline constexpr const char* kCourseFileDamaged = "Файл курса повреждён";
inline constexpr const char* kCourseWriteFailed = "Курс не записан";
inline constexpr const char* kCourseReadFailed = "Курс не прочитан";

// The largest course file read [bytes]: a step takes some 60 bytes, so thousands of steps fit.
inline constexpr std::size_t kMaxCourseBytes = 1u << 20;
// How long a change waits at most for another copy of the program to finish its own [ms]: the
// lock is tried without waiting, then again after short sleeps.
inline constexpr int kCourseLockWaitMs = 300;

// The course as loaded or changed, with what the learner must be told ("" when all is well).
struct CourseState {
  CourseProgress progress;
  std::string notice;  // the damaged fields, and where a damaged file was kept
};

class CourseFile {
 public:
  explicit CourseFile(std::string path) : path_(std::move(path)) {}
  const std::string& path() const { return path_; }

  // A missing file is the start of the course; a damaged one gives what could be read and a
  // notice naming the file and what could not. Throws KelvakError "Курс не прочитан: <path>:
  // <reason>" for a file that cannot be read at all (no regular file, no access).
  CourseState load() const;

  // Changes the file as another copy of the program may have left it: under a lock on its folder,
  // re-reads it, applies `change` to what it holds, and replaces it whole. A damaged file is first
  // kept beside it as "course.json.damaged-YYYYMMDD-HHMMSS" and the notice says where; temporary
  // files of saves that were killed are removed. Returns the course as written. Throws
  // KelvakError "Курс не записан: <reason>"; the file is then untouched.
  CourseState change(const std::function<void(CourseProgress&)>& change) const;

  // "course.json" in the folder of the history file.
  static std::string besideHistory(const std::string& historyPath);

 private:
  std::string path_;
};

}  // namespace kelvak
