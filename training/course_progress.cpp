// The course file: JSON through nlohmann-json, replaced atomically.
#include "training/course_progress.h"

#include <filesystem>
#include <nlohmann/json.hpp>

#include "base/error.h"
#include "text/utf8_path.h"
#include "training/atomic_file.h"
#include "training/check_record.h"

namespace kelvak {

void CourseProgress::moveTo(CourseSet set, int lesson, std::int64_t time) {
  int& current = lessons[static_cast<std::size_t>(set)];
  if (current == lesson) return;
  current = lesson;
  steps.push_back({time, set, lesson});
}

std::string toJson(const CourseProgress& progress) {
  nlohmann::ordered_json lessons = nlohmann::ordered_json::object();
  for (const CourseSet s : {CourseSet::Digits, CourseSet::Letters, CourseSet::Mixture}) {
    lessons[std::string(courseSetName(s))] = progress.lesson(s);
  }
  nlohmann::ordered_json steps = nlohmann::ordered_json::array();
  for (const CourseStep& step : progress.steps) {
    steps.push_back({{"time", formatUtc(step.time)},
                     {"set", std::string(courseSetName(step.set))},
                     {"lesson", step.lesson}});
  }
  const nlohmann::ordered_json doc = {{"on", progress.on}, {"lessons", lessons}, {"steps", steps}};
  return doc.dump(1) + "\n";
}

CourseProgress courseProgressFromJson(std::string_view text) {
  try {
    const nlohmann::json doc = nlohmann::json::parse(text);
    CourseProgress out;
    out.on = doc.at("on").get<bool>();
    for (const CourseSet s : {CourseSet::Digits, CourseSet::Letters, CourseSet::Mixture}) {
      const int lesson = doc.at("lessons").at(std::string(courseSetName(s))).get<int>();
      if (lesson < 1) throw KelvakError(kCourseFileDamaged);
      out.lessons[static_cast<std::size_t>(s)] = lesson;
    }
    for (const auto& step : doc.at("steps")) {
      const auto time = parseUtc(step.at("time").get<std::string>());
      const auto set = courseSetNamed(step.at("set").get<std::string>());
      const int lesson = step.at("lesson").get<int>();
      if (!time || !set || lesson < 1) throw KelvakError(kCourseFileDamaged);
      out.steps.push_back({*time, *set, lesson});
    }
    return out;
  } catch (const nlohmann::json::exception&) {
    throw KelvakError(kCourseFileDamaged);
  }
}

CourseProgress CourseFile::load() const {
  const auto text = readWholeFile(path_, "Курс не прочитан");
  return text ? courseProgressFromJson(*text) : CourseProgress{};
}

void CourseFile::save(const CourseProgress& progress) const {
  writeFileAtomically(path_, toJson(progress), kCourseWriteFailed);
}

std::string CourseFile::besideHistory(const std::string& historyPath) {
  return utf8String(utf8Path(historyPath).parent_path() / "course.json");
}

}  // namespace kelvak
