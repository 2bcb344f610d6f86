// Combining the course and the weak characters into one weighted choice.
#include "training/learning_path.h"

#include "synth/symbol_table.h"

namespace kelvak {

void LearningPath::setProgress(const CourseProgress& progress) {
  progress_ = progress;
  forget();
}

void LearningPath::setCourseOn(bool on) {
  progress_.on = on;
  forget();
}

void LearningPath::chooseLesson(CourseSet set, bool specialSigns, int lesson, std::int64_t time) {
  progress_.moveTo(set, clampLesson(set, specialSigns, lesson), time);
  forget();
}

void LearningPath::setWeakOn(bool on) {
  weakOn_ = on;
  forget();
}

void LearningPath::setHistory(const std::vector<CheckRecord>& records) {
  setTallies(recentTallies(records));
}

void LearningPath::setTallies(std::map<char32_t, RecentTally> tallies) {
  tallies_ = std::move(tallies);
  forget();
}

std::vector<std::pair<int, std::uint32_t>> LearningPath::weightList(int textKind,
                                                                    bool specialSigns) const {
  if ((!progress_.on && !weakOn_) || textKind < 0 || textKind > 2) return {};
  const auto set = static_cast<CourseSet>(textKind);
  std::vector<std::pair<int, std::uint32_t>> list;
  if (progress_.on) {
    list = lessonWeights(set, specialSigns, progress_.lesson(set));
  } else {
    for (const int s : courseOrder(set, specialSigns)) list.emplace_back(s, 1);
  }
  if (weakOn_) {
    std::vector<int> symbols;
    for (const auto& [s, w] : list) symbols.push_back(s);
    const auto weak = weakWeights(symbols, tallies_);
    for (std::size_t k = 0; k < list.size(); ++k) list[k].second *= weak[k].second;
  }
  return list;
}

std::shared_ptr<const SymbolWeights> LearningPath::weightsFor(const SymbolChoice& choice) {
  if (!progress_.on && !weakOn_) return nullptr;
  const auto key = std::make_pair(choice.textKind, choice.specialSigns);
  auto& kept = cache_[key];
  if (!kept) {
    const auto list = weightList(choice.textKind, choice.specialSigns);
    if (list.empty()) return nullptr;
    kept = std::make_shared<const SymbolWeights>(list);
  }
  return kept;
}

std::optional<int> LearningPath::afterCheck(CourseSet set, bool specialSigns, std::int32_t sent,
                                            double accuracyPercent, const std::u32string& sentText,
                                            std::int64_t time) {
  const int lesson = clampLesson(set, specialSigns, progress_.lesson(set));
  if (!progress_.on || lesson >= lessonCount(set, specialSigns) ||
      !checkUnlocks(set, specialSigns, lesson, sent, accuracyPercent, sentText)) {
    return std::nullopt;
  }
  chooseLesson(set, specialSigns, lesson + 1, time);
  return lesson + 1;
}

std::string lessonText(CourseSet set, bool specialSigns, int lesson) {
  lesson = clampLesson(set, specialSigns, lesson);
  std::string text = "Урок " + std::to_string(lesson) + " из " +
                     std::to_string(lessonCount(set, specialSigns)) + ":";
  for (const int s : lessonSymbols(set, specialSigns, lesson)) text += " " + displayUtf8(s);
  return text;
}

}  // namespace kelvak
