// The main window's rules through a fake view: handlers, labels, prompts, the text source, the
// error routing and the export from the window.
#include "presenter/main_window_presenter.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "playback/settings.h"
#include "tests/fakes/fakes.h"
#include "tests/presenter/fake_main_view.h"

namespace kelvak {
namespace {

using testing::FakeDevice;
using testing::FakeTimer;
using testing::FakeMainView;
using testing::Reports;

class MainWindowPresenterTest : public ::testing::Test {
 protected:
  FakeMainView view;
  FakeTimer timer;
  FakeDevice device;
  Reports reports;
  ErrorGate gate{reports};
  MainWindowPresenter presenter{view, timer, device, gate};
  std::filesystem::path dir;

  void SetUp() override {
    device.clock = &timer.now;
    dir = std::filesystem::temp_directory_path() /
          ("kelvak_presenter_" + std::to_string(getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  std::string path(const std::string& name) const { return (dir / name).string(); }
  std::string read(const std::string& name) const {
    std::stringstream ss;
    ss << std::ifstream(path(name), std::ios::binary).rdbuf();
    return ss.str();
  }
  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path(name), std::ios::binary) << bytes;
  }
  // Play, then every tick until the transmission ends: the pane.
  std::string play() {
    presenter.playClicked();
    while (timer.fireNext([this] { presenter.timerTicked(); })) {
    }
    return view.pane;
  }
  void expectIdle() const {
    EXPECT_TRUE(view.playEnabled);
    EXPECT_FALSE(view.stopEnabled);
    EXPECT_FALSE(view.pauseEnabled);
    EXPECT_TRUE(view.groupCountEnabled);
    EXPECT_FALSE(timer.enabled());
    EXPECT_FALSE(device.isOpen());
  }
};

// Each slider's label shows its setting's value, levels in percent of the full level, and a
// slider moved while idle forms nothing: the sound is formed anew at the next Play.
TEST_F(MainWindowPresenterTest, ASliderMovedWritesItsLabelAndMarksTheSoundStale) {
  struct Row {
    SoundSetting slider;
    int FakeMainView::*position;
    int moveTo, label;
  };
  const Row rows[] = {
      {SoundSetting::Speed, &FakeMainView::speedValue, 0, 0},
      {SoundSetting::Speed, &FakeMainView::speedValue, 30, 30},
      {SoundSetting::Frequency, &FakeMainView::freq, 5000, 5000},
      {SoundSetting::Signal, &FakeMainView::signal, 0, 100},
      {SoundSetting::Signal, &FakeMainView::signal, 127, 0},
      {SoundSetting::Noise, &FakeMainView::noise, 1, 99},  // 126/127 of the full level
      {SoundSetting::Noise, &FakeMainView::noise, 64, 49},
  };
  for (const Row& r : rows) {
    view.*r.position = r.moveTo;
    presenter.settingChanged(r.slider);
    EXPECT_EQ(view.labels[r.slider], r.label) << r.moveTo;
  }
  EXPECT_TRUE(presenter.engine().buffersStale());
  EXPECT_FALSE(presenter.engine().buffers().formed());
  EXPECT_EQ(view.formingsShown, 0);
  EXPECT_TRUE(reports.texts.empty());
}

// Every control that prompts has a prompt of its own, and each shows in the status bar.
TEST_F(MainWindowPresenterTest, EachControlEnteredShowsItsOwnPrompt) {
  std::set<std::string> prompts;
  for (PromptedControl c : {PromptedControl::Speed, PromptedControl::Signal,
                            PromptedControl::Noise, PromptedControl::Tone,
                            PromptedControl::GroupCount}) {
    view.status.clear();
    presenter.controlEntered(c);
    EXPECT_FALSE(view.status.empty());
    prompts.insert(view.status);
  }
  EXPECT_EQ(prompts.size(), 5u);
}

TEST_F(MainWindowPresenterTest, AWholeTransmissionEndsIdleWithTheEndedStatus) {
  view.groupsText = "2";
  presenter.playClicked();
  EXPECT_FALSE(view.playEnabled);
  EXPECT_TRUE(view.stopEnabled);
  EXPECT_EQ(view.status, kPlayingStatus);
  EXPECT_GT(view.follows, 0);  // the pane follows the sound from the first event on
  while (timer.fireNext([this] { presenter.timerTicked(); })) {
  }
  EXPECT_EQ(view.pane, "80648 26167 ");
  EXPECT_EQ(view.status, kEndedStatus);
  EXPECT_EQ(device.writes.size(), 11u);
  expectIdle();
}

TEST_F(MainWindowPresenterTest, PlayAtSpeedZeroReportsAndLeavesTheWindowReadyToPlay) {
  int started = 0;
  presenter.setTrainingEvents({[&started] { ++started; }, {}});
  view.speedValue = 0;
  presenter.playClicked();
  ASSERT_EQ(reports.texts.size(), 1u);
  EXPECT_EQ(reports.texts[0], "Floating point division by zero.");
  EXPECT_EQ(started, 1);  // a failed start has cleared the last transmission too
  expectIdle();
  EXPECT_EQ(device.opens, 0);
  view.speedValue = 12;
  view.groupsText = "1";
  EXPECT_EQ(play(), "80648 ");
  EXPECT_EQ(started, 2);
}

TEST_F(MainWindowPresenterTest, FieldsThatAreNoIntegerAreReportedAndTheWindowGoesOn) {
  view.groupsText = "abc";
  presenter.playClicked();
  ASSERT_EQ(reports.texts.size(), 1u);
  EXPECT_EQ(reports.texts[0], "'abc' is not a valid integer value.");
  // Play ended at the failed forming; Stop returns the window to idle.
  EXPECT_FALSE(view.playEnabled);
  EXPECT_TRUE(view.stopEnabled);
  presenter.stopClicked();
  expectIdle();

  // A pause field read at a tick: reported there, and the transmission goes on.
  view.groupsText = "30";
  presenter.playClicked();
  view.groupPause = "x";
  timer.fireNext([this] { presenter.timerTicked(); });
  ASSERT_EQ(reports.texts.size(), 2u);
  EXPECT_EQ(reports.texts[1], "'x' is not a valid integer value.");
  EXPECT_TRUE(timer.enabled());
  view.groupPause = "2";
  timer.fireNext([this] { presenter.timerTicked(); });
  EXPECT_EQ(presenter.engine().symbolCounter(), 1);
}

TEST_F(MainWindowPresenterTest, ADeviceThatCannotBeOpenedIsTheWindowsOwnMessage) {
  device.openSucceeds = false;
  presenter.playClicked();
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].first, kOpenErrorText);
  EXPECT_TRUE(reports.texts.empty());
  expectIdle();
  EXPECT_FALSE(presenter.engine().buffers().formed());
}

TEST_F(MainWindowPresenterTest, TheTextSourceMenuLoadsAFileAndReturnsToRandomText) {
  // "Ток 220/380 В" in Windows-1251: т о к 2 2 0 / 3 8 0 в are recognised, two whole groups.
  write("text.txt", "\xD2\xEE\xEA 220/380 \xC2");
  view.nextTextFile = path("text.txt");
  presenter.fileTextChosen();
  EXPECT_FALSE(view.randomTicked);
  EXPECT_EQ(view.groupsText, "2");
  EXPECT_EQ(view.groupCountMax, 2);
  EXPECT_FALSE(view.textKindEnabled);
  // The file's groups are sent after the start signal, the capital as its small letter.
  EXPECT_EQ(play(), "ток22 0/380 ");

  // Cancelled: nothing changes, also when the file item is chosen again.
  view.nextTextFile.reset();
  presenter.fileTextChosen();
  EXPECT_FALSE(view.randomTicked);
  EXPECT_EQ(view.groupCountMax, 2);

  // Random again: the range opens up, the count stays; chosen again, it stays ticked.
  for (int again = 0; again < 2; ++again) {
    presenter.randomTextChosen();
    EXPECT_TRUE(view.randomTicked);
    EXPECT_EQ(view.groupCountMax, kMaxGroups);
    EXPECT_EQ(view.groupsText, "2");
    EXPECT_TRUE(view.textKindEnabled);
  }
  EXPECT_TRUE(reports.texts.empty());
}

TEST_F(MainWindowPresenterTest, ACancelledFirstLoadChangesNothingAndANameOfNoFileIsEmpty) {
  presenter.fileTextChosen();  // cancelled
  EXPECT_TRUE(view.randomTicked);
  EXPECT_EQ(view.groupsText, "30");
  EXPECT_TRUE(view.textKindEnabled);

  view.nextTextFile = path("no_such_file.txt");
  presenter.fileTextChosen();
  EXPECT_FALSE(view.randomTicked);
  EXPECT_EQ(view.groupsText, "0");
  EXPECT_EQ(view.groupCountMax, 0);
  EXPECT_TRUE(reports.texts.empty());
  // Play then sends the start signal only.
  EXPECT_EQ(play(), "");
  EXPECT_EQ(view.progressPos, 1);
  EXPECT_EQ(view.progressMax, 1);
}

TEST_F(MainWindowPresenterTest, ExitEndsTheSoundAndTheMessageLoopAtOnce) {
  presenter.playClicked();
  ASSERT_TRUE(device.isOpen());
  presenter.exitRequested();
  EXPECT_EQ(view.quits, 1);
  EXPECT_FALSE(device.isOpen());
  EXPECT_FALSE(timer.enabled());
  presenter.aboutRequested();
  presenter.helpRequested();
  EXPECT_EQ(view.abouts, 1);
  EXPECT_EQ(view.helps, 1);
}

TEST_F(MainWindowPresenterTest, TheTrainingIsToldOfTheTextKindOnlyWhileItWatches) {
  int told = 0;
  presenter.textKindChanged();
  presenter.watchTextKind([&told] { ++told; });
  presenter.textKindChanged();
  presenter.watchTextKind({});
  presenter.textKindChanged();
  EXPECT_EQ(told, 1);
}

// --- the export from the window ---

TEST_F(MainWindowPresenterTest, AnExportSavesWhatPlayWouldSendAndPlayGoesOnAfterIt) {
  std::vector<ExportedKey> keys;
  presenter.setTrainingEvents({{}, [&keys](const ExportedKey& k) { keys.push_back(k); }});
  view.groupsText = "1";
  view.nextSoundFile = path("first.wav");
  presenter.saveSoundRequested();
  EXPECT_TRUE(reports.texts.empty());
  EXPECT_EQ(read("first.key.txt"), "80648 \n");
  EXPECT_EQ(view.pane, "");  // the window shows nothing of the export
  // The status names the files; its detail, their whole paths.
  EXPECT_EQ(view.status, "Сохранено: first.wav; ключ: first.key.txt");
  EXPECT_EQ(view.detail, "Сохранено: " + path("first.wav") + "; ключ: " + path("first.key.txt"));
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].keyPath, path("first.key.txt"));
  EXPECT_EQ(keys[0].settings.groups, 1);
  // As after a first Play of one group: its start signal drew the 6, the next one draws the 2.
  EXPECT_EQ(play(), "61673 ");
  // The record counts characters, not the bytes of the Russian letters.
  view.kind = 1;
  view.groupsText = "2";
  view.nextSoundFile = path("letters.wav");
  presenter.saveSoundRequested();
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[1].settings.groups, 2);
}

// A cancelled, failed or refused export leaves no file and the generator as it was: Play sends
// the groups it would have sent.
TEST_F(MainWindowPresenterTest, AnExportThatWroteNothingLeavesTheGroupsForPlay) {
  view.groupsText = "1";
  presenter.saveSoundRequested();  // the dialog cancelled
  view.nextSoundFile = path("missing/first.wav");
  presenter.saveSoundRequested();
  ASSERT_EQ(reports.texts.size(), 1u);
  // Said in the window's language, the system's reason too.
  EXPECT_EQ(reports.texts[0],
            "Файл " + path("missing/first.wav") + " не записан: нет такого файла или папки.");
  view.charPause = "x";  // read as a tick would read it
  view.nextSoundFile = path("second.wav");
  presenter.saveSoundRequested();
  ASSERT_EQ(reports.texts.size(), 2u);
  EXPECT_EQ(reports.texts[1], "'x' is not a valid integer value.");
  view.charPause = "1";
  view.cancelExport = true;
  presenter.saveSoundRequested();
  EXPECT_TRUE(std::filesystem::is_empty(dir));
  EXPECT_EQ(view.status, "");
  EXPECT_EQ(play(), "80648 ");
}

// A text loaded from an answer key, saved as the sound file of the same name: the key would take
// the text's place. Refused, as the command line refuses it, and the text stays.
TEST_F(MainWindowPresenterTest, TheLoadedTextIsNeverOverwrittenByTheKey) {
  const std::string prose = "Мороз и солнце; день чудесный! 12345";
  write("lesson.key.txt", prose);
  view.nextTextFile = path("lesson.key.txt");
  presenter.fileTextChosen();
  view.nextSoundFile = path("lesson.wav");
  presenter.saveSoundRequested();
  ASSERT_EQ(reports.texts.size(), 1u);
  EXPECT_NE(reports.texts[0].find("текстовый файл"), std::string::npos) << reports.texts[0];
  EXPECT_EQ(read("lesson.key.txt"), prose);
  EXPECT_FALSE(std::filesystem::exists(path("lesson.wav")));
}

// F10 during the export: the export is cancelled, nothing is left, the program ends.
TEST_F(MainWindowPresenterTest, F10DuringAnExportEndsTheProgramWithNothingWritten) {
  view.nextSoundFile = path("long.wav");
  view.cancelExport = view.pressF10 = true;
  presenter.saveSoundRequested();
  EXPECT_EQ(view.quits, 1);
  EXPECT_TRUE(reports.texts.empty());
  EXPECT_TRUE(std::filesystem::is_empty(dir));
}

TEST(SuggestedExportName, NamesTheTextKindOrTheFileTheSpeedAndTheDay) {
  struct Row {
    int kind;
    bool random;
    const char* file;
    const char* expected;
  };
  const Row rows[] = {
      {0, true, "", "цифры_скорость7_2026-12-11"},
      {1, true, "/t/урок.txt", "буквы_скорость7_2026-12-11"},  // the file is not the source
      {2, true, "", "смесь_скорость7_2026-12-11"},
      {0, false, "/t/урок.3.txt", "урок.3_скорость7_2026-12-11"},
      {0, false, "/t/.hidden", "_скорость7_2026-12-11"},
      {0, false, "/t/noext", "noext_скорость7_2026-12-11"},
  };
  for (const Row& r : rows) {
    TransmissionSettings s;
    s.speed = 7;
    s.textKind = r.kind;
    s.randomSource = r.random;
    EXPECT_EQ(suggestedExportName(s, r.file, "2026-12-11"), r.expected) << r.file;
  }
}

}  // namespace
}  // namespace kelvak
