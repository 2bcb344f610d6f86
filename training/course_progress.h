// The learner's place in the course, kept in a small JSON file beside the history: whether the
// course is on, the lesson of each set and the date of every step.
#pragma once

#include <array>
#include <cstdint>
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
// Throws KelvakError(kCourseFileDamaged) for text that is no such record.
CourseProgress courseProgressFromJson(std::string_view text);

inline constexpr const char* kCourseFileDamaged = "Файл курса повреждён";
inline constexpr const char* kCourseWriteFailed = "Курс не записан";

class CourseFile {
 public:
  explicit CourseFile(std::string path) : path_(std::move(path)) {}
  const std::string& path() const { return path_; }
  // A missing file is the start of the course. Throws KelvakError.
  CourseProgress load() const;
  // Replaces the file atomically. Throws KelvakError.
  void save(const CourseProgress& progress) const;

  // "course.json" in the folder of the history file.
  static std::string besideHistory(const std::string& historyPath);

 private:
  std::string path_;
};

}  // namespace kelvak
