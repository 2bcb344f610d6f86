// The course file: JSON read field by field, changed under a lock and replaced atomically.
#include "training/course_progress.h"

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>

#include "base/error.h"
#include "base/system_reason.h"
#include "files/own_temporary.h"
#include "files/regular_file.h"
#include "text/utf8_path.h"
#include "files/atomic_file.h"
#include "training/check_record.h"
#include "training/course_folder.h"

namespace kelvak {

namespace {

using Json = nlohmann::json;

// Builds the document from the parser's events and keeps what was built when the text breaks
// off: the values complete before that place stay.
class PartialDocument : public nlohmann::json_sax<Json> {
 public:
  Json root;
  std::size_t brokenAt = 0;  // the byte the text breaks at; 0 when it is whole
  bool broken = false;

  bool null() override { return add(nullptr); }
  bool boolean(bool v) override { return add(v); }
  bool number_integer(number_integer_t v) override { return add(v); }
  bool number_unsigned(number_unsigned_t v) override { return add(v); }
  bool number_float(number_float_t v, const string_t&) override { return add(v); }
  bool string(string_t& v) override { return add(v); }
  bool binary(binary_t&) override { return add(nullptr); }
  bool start_object(std::size_t) override { return open(Json::object()); }
  bool key(string_t& k) override {
    key_ = k;
    return true;
  }
  bool end_object() override { return close(); }
  bool start_array(std::size_t) override { return open(Json::array()); }
  bool end_array() override { return close(); }
  bool parse_error(std::size_t position, const std::string&,
                   const nlohmann::detail::exception&) override {
    broken = true;
    brokenAt = position;
    return false;
  }

 private:
  Json* place(Json value) {
    if (open_.empty()) {
      root = std::move(value);
      return &root;
    }
    Json& parent = *open_.back();
    if (parent.is_array()) {
      parent.push_back(std::move(value));
      return &parent.back();
    }
    Json& slot = parent[key_];
    slot = std::move(value);
    return &slot;
  }
  bool add(Json value) {
    place(std::move(value));
    return true;
  }
  bool open(Json value) {
    open_.push_back(place(std::move(value)));
    return true;
  }
  bool close() {
    if (!open_.empty()) open_.pop_back();
    return true;
  }

  std::vector<Json*> open_;
  std::string key_;
};

// A lesson of `set`: a whole number within its lessons with the special signs (the larger count).
std::optional<int> lessonValue(const Json& v, CourseSet set) {
  if (!v.is_number_integer()) return std::nullopt;
  const auto n =
      v.is_number_unsigned()
          ? static_cast<long long>(std::min<std::uint64_t>(v.get<std::uint64_t>(), 1ull << 40))
          : v.get<long long>();
  if (n < 1 || n > lessonCount(set, true)) return std::nullopt;
  return static_cast<int>(n);
}

constexpr CourseSet kSets[] = {CourseSet::Digits, CourseSet::Letters, CourseSet::Mixture};

std::string joined(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : ", ") + n;
  return out;
}

std::string damageNotice(const std::string& path, const std::vector<std::string>& damaged) {
  return std::string(kCourseFileDamaged) + ": " + path + ". Не прочитано: " + joined(damaged) +
         "; остальное прочитано";
}

std::string readFailure(const char* what, const std::string& path, const FileReadError& e) {
  const std::string reason = e.error() == 0 ? "это не обычный файл" : systemReason(e.error());
  return std::string(what) + ": " + path + ": " + reason;
}

// The course file's text; nullopt when it is missing. Throws FileReadError.
std::optional<std::string> courseText(const std::string& path) {
  try {
    return readWholeFile(path, kMaxCourseBytes);
  } catch (const FileReadError& e) {
    if (e.missing()) return std::nullopt;
    throw;
  }
}

// "course.json.damaged-20261210-145501" beside the file, the first free one.
std::string keepDamaged(const std::string& path) {
  const std::string stamp = localStamp(std::time(nullptr));
  int error = EEXIST;
  for (int n = 1; n < 100 && error == EEXIST; ++n) {
    const std::string kept =
        path + ".damaged-" + stamp + (n == 1 ? std::string() : "-" + std::to_string(n));
    error = keepUnderSecondName(path, kept);
    if (error == 0) return kept;
  }
  throw KelvakError(std::string(kCourseWriteFailed) + ": повреждённый файл " + path +
                    " не удалось сохранить: " + systemReason(error));
}

}  // namespace

void CourseProgress::moveTo(CourseSet set, int lesson, std::int64_t time) {
  int& current = lessons[static_cast<std::size_t>(set)];
  if (current == lesson) return;
  current = lesson;
  steps.push_back({time, set, lesson});
}

std::string toJson(const CourseProgress& progress) {
  nlohmann::ordered_json lessons = nlohmann::ordered_json::object();
  for (const CourseSet s : kSets) lessons[std::string(courseSetName(s))] = progress.lesson(s);
  nlohmann::ordered_json steps = nlohmann::ordered_json::array();
  for (const CourseStep& step : progress.steps) {
    steps.push_back({{"time", formatUtc(step.time)},
                     {"set", std::string(courseSetName(step.set))},
                     {"lesson", step.lesson}});
  }
  nlohmann::ordered_json doc = {{"on", progress.on}, {"lessons", lessons}, {"steps", steps}};
  if (progress.set) doc["set"] = std::string(courseSetName(*progress.set));
  return doc.dump(1) + "\n";
}

CourseReading readCourseJson(std::string_view text) {
  PartialDocument doc;
  Json::sax_parse(text.begin(), text.end(), &doc);
  CourseReading out;
  if (doc.broken) out.damaged.push_back("текст после байта " + std::to_string(doc.brokenAt));
  const Json& root = doc.root;
  if (!root.is_object()) {
    if (!doc.broken) out.damaged.push_back("весь файл");
    return out;
  }
  const auto field = [&](const char* name) -> const Json* {
    const auto it = root.find(name);
    if (it != root.end()) return &*it;
    out.damaged.push_back(name);
    return nullptr;
  };
  if (const Json* on = field("on")) {
    if (on->is_boolean()) {
      out.progress.on = on->get<bool>();
    } else {
      out.damaged.push_back("on");
    }
  }
  if (const Json* lessons = field("lessons")) {
    for (const CourseSet s : kSets) {
      const std::string name(courseSetName(s));
      const auto lesson = lessons->is_object() && lessons->contains(name)
                              ? lessonValue((*lessons)[name], s)
                              : std::nullopt;
      if (lesson) {
        out.progress.lessons[static_cast<std::size_t>(s)] = *lesson;
      } else {
        out.damaged.push_back("lessons." + name);
      }
    }
  }
  if (const Json* steps = field("steps")) {
    if (!steps->is_array()) {
      out.damaged.push_back("steps");
    } else {
      for (std::size_t k = 0; k < steps->size(); ++k) {
        const Json& step = (*steps)[k];
        std::optional<std::int64_t> time;
        std::optional<CourseSet> set;
        std::optional<int> lesson;
        if (step.is_object() && step.contains("time") && step["time"].is_string()) {
          time = parseUtc(step["time"].get<std::string>());
        }
        if (step.is_object() && step.contains("set") && step["set"].is_string()) {
          set = courseSetNamed(step["set"].get<std::string>());
        }
        if (set && step.contains("lesson")) lesson = lessonValue(step["lesson"], *set);
        if (time && set && lesson) {
          out.progress.steps.push_back({*time, *set, *lesson});
        } else {
          out.damaged.push_back("steps[" + std::to_string(k) + "]");
        }
      }
    }
  }
  // The set the course sends: written by later versions only, so a missing one is no damage.
  if (const auto it = root.find("set"); it != root.end()) {
    if (it->is_string()) out.progress.set = courseSetNamed(it->get<std::string>());
    if (!out.progress.set) out.damaged.push_back("set");
  }
  return out;
}

CourseProgress courseProgressFromJson(std::string_view text) {
  CourseReading r = readCourseJson(text);
  if (!r.damaged.empty()) throw KelvakError(kCourseFileDamaged);
  return std::move(r.progress);
}

CourseState CourseFile::load() const {
  std::optional<std::string> text;
  try {
    text = courseText(path_);
  } catch (const FileReadError& e) {
    // Too large for a course file: damaged as a whole, and kept aside by the first change.
    if (e.error() == EFBIG) return {{}, damageNotice(path_, {"весь файл (слишком велик)"})};
    throw KelvakError(readFailure(kCourseReadFailed, path_, e));
  }
  if (!text) return {};
  CourseReading r = readCourseJson(*text);
  return {std::move(r.progress), r.damaged.empty() ? "" : damageNotice(path_, r.damaged)};
}

CourseState CourseFile::change(const std::function<void(CourseProgress&)>& change) const {
  const std::filesystem::path file = utf8Path(path_);
  const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) throw KelvakError(std::string(kCourseWriteFailed) + ": " + systemReason(ec.value()));
  const CourseFolderLock lock(utf8String(folder), kCourseLockWaitMs, kCourseWriteFailed);
  if (!lock.locked()) {
    throw KelvakError(std::string(kCourseWriteFailed) + ": файл курса " + path_ +
                      " сейчас записывает другая копия программы; попробуйте ещё раз");
  }
  // Leftovers of saves killed before their rename; under the lock no save of ours is under way.
  removeOwnLeftovers(utf8String(folder), utf8String(file.filename()));

  CourseState out;
  bool damaged = false;
  try {
    if (const auto text = courseText(path_)) {
      CourseReading r = readCourseJson(*text);
      out.progress = std::move(r.progress);
      damaged = !r.damaged.empty();
      if (damaged) out.notice = damageNotice(path_, r.damaged);
    }
  } catch (const FileReadError& e) {
    if (e.error() != EFBIG) throw KelvakError(readFailure(kCourseWriteFailed, path_, e));
    damaged = true;
    out.notice = damageNotice(path_, {"весь файл (слишком велик)"});
  }
  change(out.progress);
  if (damaged) {
    const std::string kept = keepDamaged(path_);
    out.notice += ". Повреждённый файл сохранён как " + kept;
  }
  writeFileAtomically(path_, toJson(out.progress), kCourseWriteFailed);
  return out;
}

std::string CourseFile::besideHistory(const std::string& historyPath) {
  return utf8String(utf8Path(historyPath).parent_path() / "course.json");
}

}  // namespace kelvak
