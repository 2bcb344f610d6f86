// The course dialog's behaviour.
#include "presenter/course_presenter.h"

#include <vector>

#include "presenter/text_format.h"
#include "synth/symbol_table.h"
#include "training/course.h"

namespace kelvak {

namespace {

std::string charactersText(const std::vector<int>& symbols) {
  std::vector<std::string> parts;
  for (const int s : symbols) parts.push_back(displayUtf8(s));
  return joined(parts, " ");
}

}  // namespace

CoursePresenter::CoursePresenter(CourseView& view, CourseActions actions)
    : view_(view), actions_(std::move(actions)) {}

void CoursePresenter::refresh(int set, bool specialSigns) {
  if (set < 0 || set > 2) set = 1;
  set_ = set;
  const auto course = static_cast<CourseSet>(set);
  const CourseProgress& progress = actions_.progress();
  CourseShown shown;
  shown.on = progress.on;
  shown.set = set;
  shown.lessonCount = lessonCount(course, specialSigns);
  shown.lesson = clampLesson(course, specialSigns, progress.lesson(course));
  shown.lessonCountText = "из " + std::to_string(shown.lessonCount);
  const std::vector<int> symbols = lessonSymbols(course, specialSigns, shown.lesson);
  // The first lesson brings its two characters in at once, equally often.
  shown.characters =
      shown.lesson == 1 ? charactersText(symbols) + " (оба новые, звучат поровну)"
                        : charactersText(symbols) + " (новый: " + displayUtf8(symbols.back()) + ")";
  shown.passed = static_cast<int>(symbols.size());
  shown.passedOf = shown.lessonCount + 1;

  std::vector<std::string> steps;
  for (auto it = progress.steps.rbegin(); it != progress.steps.rend() && steps.size() < 4; ++it) {
    if (it->set != course) continue;
    steps.push_back(localTimeText(it->time, "%d.%m.%Y %H:%M") + " — урок " +
                    std::to_string(it->lesson));
  }
  shown.steps = steps.empty() ? "ещё ни одного" : joined(steps, "\n");
  shown.rule = "Следующий урок открывается, когда проверка урока из " +
               std::to_string(kUnlockMinSent) + " знаков и больше принята на " +
               fixedText(kUnlockAccuracy, 0) + " % и больше.";
  if (shown.lesson < shown.lessonCount) {
    shown.rule +=
        " Следующий знак: " + displayUtf8(newestSymbol(course, specialSigns, shown.lesson + 1)) +
        ".";
  } else {
    shown.rule += " Это последний урок набора.";
  }
  filling_ = true;
  view_.showCourse(shown);
  filling_ = false;
}

void CoursePresenter::onToggled(bool on) {
  if (!filling_) actions_.setCourseOn(on);
}

void CoursePresenter::setChosen(int set) {
  if (filling_ || set < 0 || set > 2) return;
  set_ = set;
  actions_.chooseLesson(set, actions_.progress().lessons[static_cast<std::size_t>(set)]);
}

void CoursePresenter::lessonChosen(int lesson) {
  if (!filling_) actions_.chooseLesson(set_, lesson);
}

}  // namespace kelvak
