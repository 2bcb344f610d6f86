// The training menu's rules with the real main window presenter over a fake view: the course and
// its file, the lesson beside the status bar, the keys exported in this run, a new sequence.
#include "presenter/training_presenter.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "presenter/main_window_presenter.h"
#include "tests/fakes/fakes.h"
#include "tests/presenter/fake_main_view.h"
#include "training/copy_check.h"
#include "training/course_progress.h"

namespace kelvak {
namespace {

namespace fs = std::filesystem;

struct FakeTrainingView : TrainingView {
  int refreshes = 0, starts = 0;
  std::optional<bool> weakTicked, hideTicked;
  std::vector<std::string> keys;
  std::vector<std::int64_t> removed;
  void learningChanged(int, bool) override { ++refreshes; }
  void setWeakTicked(bool on) override { weakTicked = on; }
  void setHideTicked(bool on) override { hideTicked = on; }
  void transmissionStarted() override { ++starts; }
  void keyExported(const ExportedKey& key) override { keys.push_back(key.keyPath); }
  void checkRemoved(std::int64_t time) override { removed.push_back(time); }
  void historyRead() override {}
};

class TrainingPresenterTest : public ::testing::Test {
 protected:
  testing::FakeMainView view;
  testing::FakeTimer timer;
  testing::FakeDevice device;
  testing::Reports reports;
  ErrorGate gate{reports};
  MainWindowPresenter window{view, timer, device, gate};
  FakeTrainingView trainingView;
  fs::path dir;
  std::unique_ptr<TrainingPresenter> training;

  void SetUp() override {
    device.clock = &timer.now;
    view.kindToggled = [this] { window.textKindChanged(); };
    dir = fs::temp_directory_path() /
          ("kelvak_training_presenter_" + std::to_string(getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
    start();
  }
  void TearDown() override {
    training.reset();
    fs::remove_all(dir);
  }
  void start() {
    training.reset();
    training = std::make_unique<TrainingPresenter>(window, trainingView, gate,
                                                   (dir / "history.jsonl").string(),
                                                   [](std::function<void()> f) { f(); });
  }
  CourseProgress kept() const {
    return CourseFile((dir / "course.json").string()).load().progress;
  }
  std::string play(const std::string& groups) {
    view.groupsText = groups;
    window.playClicked();
    while (timer.fireNext([this] { window.timerTicked(); })) {
    }
    return view.pane;
  }
  static std::set<char> charsOf(const std::string& pane) {
    std::set<char> out(pane.begin(), pane.end());
    out.erase(' ');
    return out;
  }
};

// Switched on, the course sends its lesson's characters, names set and lesson beside the status
// bar and keeps the set the window shows; another text kind is another set, in the file at once.
TEST_F(TrainingPresenterTest, TheCourseFollowsTheWindowsTextKindAndKeepsItInItsFile) {
  EXPECT_EQ(view.learning, "");
  training->setCourseOn(true);
  EXPECT_TRUE(kept().on);
  EXPECT_NE(view.learning.find('1'), std::string::npos) << view.learning;
  EXPECT_EQ(charsOf(play("20")), (std::set<char>{'5', '0'}));  // lesson 1 of the digits

  const std::string digits = view.learning;
  view.chooseTextKind(1);
  EXPECT_EQ(kept().set, CourseSet::Letters);
  EXPECT_NE(view.learning, digits);
  // The next start opens in the course's set, whatever the window starts with.
  view.kind = 0;
  start();
  EXPECT_EQ(view.kind, 1);
  EXPECT_EQ(view.learning.substr(view.learning.find(',')), digits.substr(digits.find(',')));

  training->setCourseOn(false);
  EXPECT_EQ(view.learning, "");
  EXPECT_FALSE(kept().on);
  EXPECT_TRUE(reports.texts.empty());
}

TEST_F(TrainingPresenterTest, ALessonChosenIsKeptWithinItsSetAndTheWeakModeIsSaidBesideIt) {
  training->setCourseOn(true);
  training->chooseLesson(0, 1000);
  const int last = kept().lesson(CourseSet::Digits);
  EXPECT_GT(last, 1);
  training->chooseLesson(0, -5);
  EXPECT_EQ(kept().lesson(CourseSet::Digits), 1);
  training->chooseLesson(3, 2);  // no such set: nothing changes
  EXPECT_EQ(kept().lesson(CourseSet::Digits), 1);
  const std::string courseOnly = view.learning;
  training->setWeakOn(true);
  EXPECT_EQ(trainingView.weakTicked, std::optional<bool>(true));
  EXPECT_GT(view.learning.size(), courseOnly.size());
  EXPECT_EQ(view.learning.rfind(courseOnly, 0), 0u);
  training->setCourseOn(false);
  EXPECT_FALSE(view.learning.empty());  // the weak mode alone is said too
}

// A course file that cannot be written: the change holds for this run, the learner is told, and
// nothing is thrown out of the handler.
TEST_F(TrainingPresenterTest, ACourseThatCannotBeWrittenIsSaidAndHoldsInMemory) {
  fs::create_directories(dir / "course.json");
  start();
  const std::size_t before = reports.texts.size();
  EXPECT_NO_THROW(training->setCourseOn(true));
  EXPECT_GT(reports.texts.size(), before);
  EXPECT_TRUE(training->learning().courseOn());
  EXPECT_NO_THROW(training->chooseLesson(0, 3));
  EXPECT_EQ(training->learning().progress().lesson(CourseSet::Digits), 3);
}

// A good check of the course's lesson opens the next one and says so; taken back, the course goes
// back to the lesson before.
TEST_F(TrainingPresenterTest, AGoodCheckMovesTheCourseOnAndTakingItBackMovesItBack) {
  training->setCourseOn(true);
  play("20");
  const CheckSource source = training->checkSource();
  ASSERT_EQ(source.sent.size(), 100u);
  const CheckResult result = checkCopy(source.sent, source.sent);
  const std::string said = training->afterCheck(result, source, 1000);
  EXPECT_NE(said.find('2'), std::string::npos) << said;
  EXPECT_EQ(kept().lesson(CourseSet::Digits), 2);

  const std::string back = training->checkRemoved(makeRecord(result, source.settings, 1000));
  EXPECT_NE(back.find('1'), std::string::npos) << back;
  EXPECT_EQ(kept().lesson(CourseSet::Digits), 1);
  EXPECT_EQ(trainingView.removed, std::vector<std::int64_t>{1000});
  // A poor check moves nothing.
  EXPECT_EQ(training->afterCheck(checkCopy(source.sent, U""), source, 2000), "");
  EXPECT_EQ(kept().lesson(CourseSet::Digits), 1);
}

// Every Play is told to the check window, also one that failed; a key exported in this run is
// offered and recorded with its own settings, one of another run with the window's.
TEST_F(TrainingPresenterTest, TransmissionsAndKeysOfThisRunReachTheCheck) {
  view.speedValue = 0;
  window.playClicked();
  view.speedValue = 12;
  play("1");
  EXPECT_EQ(trainingView.starts, 2);

  view.speedValue = 7;
  view.groupsText = "2";
  view.nextSoundFile = (dir / "a.wav").string();
  window.saveSoundRequested();
  ASSERT_EQ(trainingView.keys.size(), 1u);
  view.speedValue = 20;
  const RecordSettings ours = training->keySettings(trainingView.keys[0]);
  EXPECT_EQ(ours.speed, 7);
  EXPECT_EQ(ours.groups, 2);
  const RecordSettings other = training->keySettings((dir / "other.key.txt").string());
  EXPECT_EQ(other.speed, 20);
  EXPECT_EQ(other.file, "other.key.txt");
}

TEST_F(TrainingPresenterTest, ANewSequenceSendsOtherGroupsThanTheFixedStart) {
  const std::string fixed = play("2");
  training->newSequenceRequested();
  EXPECT_FALSE(view.status.empty());
  EXPECT_NE(play("2"), fixed);
}

// Once the training is gone, the window calls nothing of it.
TEST_F(TrainingPresenterTest, TheWindowForgetsTheTrainingWhenItEnds) {
  training->setWeakOn(true);
  training.reset();
  EXPECT_NO_THROW(play("1"));
  view.chooseTextKind(2);
  EXPECT_EQ(trainingView.starts, 0);
}

}  // namespace
}  // namespace kelvak
