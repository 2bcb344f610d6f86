// The learning modes in the statistics window, as plain lines of text.
#include "presenter/learning_summary.h"

#include <algorithm>
#include <vector>

#include "presenter/text_format.h"
#include "synth/symbol_table.h"
#include "text/utf8.h"
#include "training/progress.h"
#include "training/weak_characters.h"

namespace kelvak {

LearningSummaryTexts learningSummary(const LearningPath& path, const HistorySummary& history,
                                     int textKind, bool specialSigns) {
  if (textKind < 0 || textKind > 2) textKind = 1;
  const auto set = static_cast<CourseSet>(textKind);
  const CourseProgress& progress = path.progress();
  LearningSummaryTexts out;
  // The lessons over time: each step of this set with its date.
  std::vector<std::string> steps;
  for (const CourseStep& s : progress.steps) {
    if (s.set == set)
      steps.push_back(localTimeText(s.time, "%d.%m") + ": урок " + std::to_string(s.lesson));
  }
  const int lesson = progress.lesson(set);
  out.course = std::string("Курс ") + (progress.on ? "включён" : "выключен") + ". " +
               lessonText(set, specialSigns, lesson);
  if (!steps.empty()) out.course += ". Шаги: " + joined(steps, ", ");
  // The accuracy of the lesson's characters over the whole history.
  const Progress summary = history.progress();
  std::vector<std::string> shares;
  for (const int s : lessonSymbols(set, specialSigns, lesson)) {
    const char32_t ch = SymbolTable[static_cast<std::size_t>(s)].unicode;
    const auto it = std::find_if(summary.chars.begin(), summary.chars.end(),
                                 [ch](const CharShare& c) { return c.ch == ch; });
    shares.push_back(displayUtf8(s) + " " +
                     (it == summary.chars.end() ? "—" : fixedText(it->share(), 0) + " %"));
  }
  out.course += ".\nТочность знаков урока: " + joined(shares, ", ");

  auto list = path.weightList(textKind, specialSigns);
  if (list.empty()) {
    // Without a mode every character of the set weighs the same; the history still tells which
    // would sound most often with the weak characters on.
    LearningPath weak;
    weak.setWeakOn(true);
    weak.setTallies(history.recentTallies());
    list = weak.weightList(textKind, specialSigns);
  }
  std::vector<std::string> heavy;
  for (const char32_t ch : heaviest(list, 5)) heavy.push_back(utf8Of(ch));
  out.weights = std::string(path.weakOn() ? "" : "Со слабыми знаками ") +
                "чаще всего звучат: " + joined(heavy, ", ") + "…";
  if (history.drills().empty()) {
    out.drills = "Знак за знаком: занятий ещё не было.";
  } else {
    const DrillRecord& d = history.drills().back();
    out.drills = "Знак за знаком: занятий " + std::to_string(history.drills().size()) +
                 "; последнее — " + std::to_string(d.sent) + " знаков, верно " +
                 fixedText(d.accuracyPercent(), 0) + " %, медиана реакции " +
                 std::to_string(d.medianReactionMs) + " мс, скорость " +
                 std::to_string(d.startSpeed) + " → " + std::to_string(d.endSpeed) + " гр/мин.";
  }
  return out;
}

}  // namespace kelvak
