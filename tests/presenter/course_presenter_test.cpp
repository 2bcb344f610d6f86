// The course dialog's behaviour with a fake view, and the statistics window's summary of the
// learning modes.
#include "presenter/course_presenter.h"

#include <gtest/gtest.h>

#include "presenter/learning_summary.h"
#include "training/history_summary.h"
#include "synth/symbol_table.h"
#include "training/course.h"

namespace kelvak {
namespace {

// Like a toolkit's controls, the fake tells of every change made to it, also by the presenter.
struct FakeCourseView : CourseView {
  CoursePresenter* presenter = nullptr;
  CourseShown shown;
  void showCourse(const CourseShown& s) override {
    shown = s;
    presenter->onToggled(s.on);
    presenter->setChosen(s.set);
    presenter->lessonChosen(s.lesson);
  }
};

struct CoursePresenterTest : ::testing::Test {
  CourseProgress progress;
  std::vector<std::string> asked;  // what the dialog asked of the learning path
  FakeCourseView view;
  CoursePresenter presenter{view,
                            {[this]() -> const CourseProgress& { return progress; },
                             [this](bool on) { asked.push_back(on ? "on" : "off"); },
                             [this](int set, int lesson) {
                               asked.push_back(std::to_string(set) + ":" + std::to_string(lesson));
                             }}};
  CoursePresenterTest() { view.presenter = &presenter; }
};

TEST_F(CoursePresenterTest, ShowsTheLessonItsCharactersAndTheNextOne) {
  progress.lessons = {3, 1, 1};
  presenter.refresh(0, false);
  const int count = lessonCount(CourseSet::Digits, false);
  EXPECT_EQ(view.shown.set, 0);
  EXPECT_EQ(view.shown.lesson, 3);
  EXPECT_EQ(view.shown.lessonCount, count);
  EXPECT_EQ(view.shown.passed, 4);  // lesson n sends n + 1 characters
  EXPECT_EQ(view.shown.passedOf, count + 1);
  for (const int s : lessonSymbols(CourseSet::Digits, false, 3)) {
    EXPECT_NE(view.shown.characters.find(displayUtf8(s)), std::string::npos)
        << view.shown.characters;
  }
  const std::string next = displayUtf8(newestSymbol(CourseSet::Digits, false, 4));
  EXPECT_NE(view.shown.rule.find(next), std::string::npos) << view.shown.rule;
  // The first lesson's two characters are both new; a set out of range shows the letters.
  progress.lessons = {1, 99, 1};
  const std::string third = view.shown.characters;
  presenter.refresh(7, false);
  EXPECT_EQ(view.shown.set, 1);
  EXPECT_EQ(view.shown.lesson, lessonCount(CourseSet::Letters, false));  // brought within range
  EXPECT_EQ(view.shown.passed, view.shown.passedOf);
  presenter.refresh(0, false);
  EXPECT_NE(view.shown.characters.substr(view.shown.characters.find('(')),
            third.substr(third.find('(')));
  EXPECT_TRUE(asked.empty());  // showing asks nothing
}

TEST_F(CoursePresenterTest, ShowsTheLastFourStepsOfTheSetNewestFirst) {
  for (int lesson = 2; lesson <= 7; ++lesson) progress.moveTo(CourseSet::Digits, lesson, lesson);
  progress.moveTo(CourseSet::Letters, 2, 100);
  presenter.refresh(0, false);
  const std::string& steps = view.shown.steps;
  EXPECT_EQ(std::count(steps.begin(), steps.end(), '\n'), 3) << steps;
  EXPECT_EQ(steps.substr(steps.find('\n') - 1, 1), "7") << steps;  // the newest lesson first
  progress.steps.clear();
  presenter.refresh(0, false);
  EXPECT_FALSE(view.shown.steps.empty());  // says there are none
}

TEST_F(CoursePresenterTest, TheLearnersChoicesGoToTheLearningPathAtOnce) {
  progress.lessons = {2, 5, 1};
  presenter.refresh(0, false);
  presenter.onToggled(true);
  presenter.setChosen(1);  // the set's own lesson
  presenter.lessonChosen(3);
  EXPECT_EQ(asked, (std::vector<std::string>{"on", "1:5", "1:3"}));
}

TEST(LearningSummary, SaysTheCourseTheHeaviestCharactersAndTheLastDrill) {
  LearningPath path;
  CourseProgress progress;
  progress.on = true;
  path.setProgress(progress);
  HistorySummary history;
  const LearningSummaryTexts none = learningSummary(path, history, 0, false);
  DrillRecord drill;
  drill.sent = 8;
  drill.correct = 7;
  drill.startSpeed = 12;
  drill.endSpeed = 15;
  history.add(drill);
  history.add(drill);
  const LearningSummaryTexts two = learningSummary(path, history, 0, false);
  EXPECT_NE(two.drills, none.drills);
  EXPECT_NE(two.drills.find("2"), std::string::npos) << two.drills;
  EXPECT_NE(two.drills.find("88 %"), std::string::npos) << two.drills;  // 87.5 rounds up
  EXPECT_NE(two.drills.find("12 → 15"), std::string::npos) << two.drills;
  // The lesson's characters, without a check of them yet.
  for (const int s : lessonSymbols(CourseSet::Digits, false, 1)) {
    EXPECT_NE(two.course.find(displayUtf8(s) + " —"), std::string::npos) << two.course;
  }
  // With the weak characters on, the heaviest are said as they are, without the "with" before.
  path.setWeakOn(true);
  EXPECT_LT(learningSummary(path, history, 0, false).weights.size(), two.weights.size());
}

}  // namespace
}  // namespace kelvak
