// The kept settings through the window's presenter and a fake view: what is kept, what a field
// without a number keeps, what the course and a file's text hold back, and a damaged file.
#include "presenter/settings_presenter.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "presenter/main_window_presenter.h"
#include "tests/fakes/fakes.h"
#include "tests/presenter/fake_main_view.h"

namespace kelvak {
namespace {

namespace fs = std::filesystem;

struct FakeHelp : HelpSizeView {
  std::pair<int, int> size{0, 0};
  std::pair<int, int> helpSize() const override { return size; }
  void setHelpSize(int w, int h) override { size = {w, h}; }
};

struct SilentTrainingView : TrainingView {
  void learningChanged(int, bool) override {}
  void setWeakTicked(bool) override {}
  void setHideTicked(bool) override {}
  void transmissionStarted() override {}
  void keyExported(const ExportedKey&) override {}
  void checkRemoved(std::int64_t) override {}
  void historyRead() override {}
};

class SettingsPresenterTest : public ::testing::Test {
 protected:
  testing::FakeMainView view;
  testing::FakeTimer timer;
  testing::FakeDevice device;
  testing::Reports reports;
  ErrorGate gate{reports};
  FakeHelp help;
  SilentTrainingView trainingView;
  fs::path dir;
  std::string file;
  // One run of the program: its window, training and kept settings.
  std::unique_ptr<MainWindowPresenter> window;
  std::unique_ptr<TrainingPresenter> training;
  std::unique_ptr<SettingsPresenter> keeper;

  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kelvak_settings_presenter_" + std::to_string(getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
    file = (dir / "settings.json").string();
  }
  void TearDown() override {
    start(false);
    fs::remove_all(dir);
  }
  // Starts the program anew on a window as it opens; false: only ends the run.
  void start(bool again = true) {
    keeper.reset();
    training.reset();
    window.reset();
    if (!again) return;
    view = testing::FakeMainView();
    help = FakeHelp();
    window = std::make_unique<MainWindowPresenter>(view, timer, device, gate);
    view.kindToggled = [this] { window->textKindChanged(); };
    keeper = std::make_unique<SettingsPresenter>(view, &help, gate, file);
    training = std::make_unique<TrainingPresenter>(*window, trainingView, gate,
                                                   (dir / "history.jsonl").string(),
                                                   [](std::function<void()> f) { f(); });
    keeper->setTraining(training.get());
    keeper->restore();
  }
};

TEST_F(SettingsPresenterTest, TheSettingsLeftComeBackAtTheNextStartAndTheDefaultsOnRequest) {
  start();
  EXPECT_EQ(keeper->current(), keeper->defaults());  // nothing kept: the start-up as always
  view.chooseTextKind(1);
  view.speedValue = 17;
  view.freq = 700;
  view.noise = 100;
  view.groupsText = "12";
  view.charPause = "3";
  view.signsChecked = true;
  training->hideTextChanged(true);
  training->setWeakOn(true);
  help.size = {800, 600};
  const KeptSettings left = keeper->current();
  keeper->save();

  start();
  EXPECT_EQ(keeper->current(), left);
  EXPECT_EQ(view.kind, 1);
  EXPECT_EQ(view.groupsText, "12");
  EXPECT_TRUE(training->learning().weakOn());
  EXPECT_TRUE(training->textHidden());
  EXPECT_EQ(help.size, std::make_pair(800, 600));

  keeper->restoreDefaults();
  EXPECT_EQ(keeper->current(), keeper->defaults());
  EXPECT_EQ(help.size, std::make_pair(0, 0));
  EXPECT_TRUE(reports.texts.empty());
}

// A field without a number in range keeps what the next start would show anyway.
TEST_F(SettingsPresenterTest, AFieldWithoutANumberInRangeKeepsItsDefault) {
  start();
  const KeptSettings defaults = keeper->defaults();
  const char* const bad[] = {"", "abc", "-1", "1000", "6"};
  for (const char* text : bad) {
    view.groupsText = view.charPause = view.groupPause = text;
    const KeptSettings now = keeper->current();
    EXPECT_EQ(now.groups, text == std::string("6") ? 6 : defaults.groups) << text;
    EXPECT_EQ(now.charPause, defaults.charPause) << text;
    EXPECT_EQ(now.groupPause, defaults.groupPause) << text;
  }
}

// The course keeps its own set, and a file's text holds the group count to its own groups.
TEST_F(SettingsPresenterTest, TheCoursesSetAndAFilesGroupsWinOverTheKeptOnes) {
  start();
  view.groupsText = "500";
  keeper->save();  // digits, 500 groups
  training->setCourseOn(true);
  view.chooseTextKind(2);  // the course follows: the mixture
  std::ofstream(dir / "short.txt") << "12345 67890";
  view.nextTextFile = (dir / "short.txt").string();
  window->fileTextChosen();
  keeper->restoreDefaults();
  EXPECT_EQ(view.kind, 2);
  EXPECT_EQ(view.groupsText, "2");
}

// A damaged file is said once, with its place, and replaced by the defaults; the start goes on.
TEST_F(SettingsPresenterTest, ADamagedFileIsSaidOnceAndReplacedByTheDefaults) {
  std::ofstream(file) << "{\"speed\": 17,";
  start();
  ASSERT_EQ(reports.texts.size(), 1u);
  EXPECT_EQ(reports.texts[0].rfind(kSettingsDamaged, 0), 0u) << reports.texts[0];
  EXPECT_NE(reports.texts[0].find(file), std::string::npos);
  EXPECT_EQ(keeper->current(), keeper->defaults());
  EXPECT_EQ(SettingsFile(file).load(), keeper->defaults());
  start();
  EXPECT_EQ(reports.texts.size(), 1u);
}

}  // namespace
}  // namespace kelvak
