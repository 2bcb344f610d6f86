// The main window driven through its controls, with a fake sound device and a hand-ticked timer.
#include "ui/main_window.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QActionGroup>
#include <QFileDialog>
#include <QFontInfo>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "synth/symbol_table.h"
#include "tests/fakes/fakes.h"
#include "tests/ui/qt_print.h"
#include "ui/about_box.h"
#include "ui/help_window.h"
#include "ui_main_window.h"

namespace kelvak {
namespace {

using testing::FakeDevice;
using testing::FakeTimer;

const QString kSpeedPrompt = "Выберите скорость воспроизведения (групп в минуту)";
const QString kSignalPrompt = "Выберите уровень полезного сигнала в процентах";
const QString kNoisePrompt = "Выберите уровень помехи в процентах (advansed users only)";
const QString kFrequencyPrompt = "Выберите частоту полезного сигнала в герцах";
const QString kGroupCountPrompt = "Выберите количаство групп в воспроизводимом тексте";
const QString kPlaying = "Воспроизвожу. Нажмите Стоп, если надоело";

struct Box {
  QString text, title;
  QMessageBox::Icon icon;
  QWidget* owner;
};

class MainWindowTest : public ::testing::Test {
 protected:
  std::vector<Box> reports;  // error reports
  std::vector<Box> boxes;    // the window's own message boxes
  ErrorReport report{[this](QMessageBox& b) {
    reports.push_back({b.text(), b.windowTitle(), b.icon(), b.parentWidget()});
  }};
  ErrorGate gate{report};
  FakeTimer timer;
  FakeDevice device;
  std::unique_ptr<TForm1> form;
  std::vector<std::filesystem::path> files;

  void SetUp() override {
    device.clock = &timer.now;
    form = std::make_unique<TForm1>(device, gate, &timer);
    form->setMessageBoxPresenter([this](QMessageBox& b) {
      boxes.push_back({b.text(), b.windowTitle(), b.icon(), b.parentWidget()});
    });
  }
  void TearDown() override {
    form.reset();
    for (const auto& f : files) std::filesystem::remove(f);
  }

  void showActive() {
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  }
  void click(QAbstractButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
  void type(QLineEdit* field, const QString& text) {
    field->selectAll();
    QTest::keyClicks(field, text);
  }
  bool tick() {
    return timer.fireNext([this] { form->timer1Ticked(); });
  }
  int tickToEnd() {
    int n = 0;
    while (n < 100000 && tick()) ++n;
    return n;
  }
  std::string pane() const { return form->ui().Memo1->toPlainText().toStdString(); }
  const SymbolBlock& block(int index) const { return form->engine().buffers().blocks[index]; }
  std::string writeFile(const std::string& bytes) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("kelvak_ui_" + std::to_string(files.size()) + "_" +
                       std::to_string(getpid()) + ".txt");  // tests run side by side
    std::ofstream(path, std::ios::binary) << bytes;
    files.push_back(path);
    return path.string();
  }
  // Makes the next "from file" dialog choose `path`, or be cancelled when it is empty.
  void nextFileChoice(const std::string& path) {
    form->setFileDialogPresenter([this, path](QFileDialog& d) {
      dialogTitles.push_back(d.windowTitle());
      dialogFilters.push_back(d.nameFilters());
      dialogNative.push_back(!d.testOption(QFileDialog::DontUseNativeDialog));
      if (path.empty()) return false;
      d.selectFile(QString::fromStdString(path));
      return true;
    });
  }
  std::vector<QString> dialogTitles;
  std::vector<QStringList> dialogFilters;
  std::vector<bool> dialogNative;

  void expectIdle() {
    EXPECT_TRUE(form->ui().PlayButton->isEnabled());
    EXPECT_FALSE(form->ui().StopButton->isEnabled());
    EXPECT_FALSE(form->ui().PauseButton->isEnabled());
    EXPECT_TRUE(form->ui().Edit1->isEnabled());
    EXPECT_FALSE(timer.enabled());
    EXPECT_FALSE(device.isOpen());
  }
  void expectRunning() {
    EXPECT_FALSE(form->ui().PlayButton->isEnabled());
    EXPECT_TRUE(form->ui().StopButton->isEnabled());
    EXPECT_TRUE(form->ui().PauseButton->isEnabled());
    EXPECT_FALSE(form->ui().Edit1->isEnabled());
    EXPECT_TRUE(form->ui().UpDown1->isEnabled());  // the arrows stay usable
    EXPECT_TRUE(timer.enabled());
    EXPECT_TRUE(device.isOpen());
  }
};

TEST_F(MainWindowTest, StartsIdleWithTheDefaultSettings) {
  EXPECT_EQ(form->windowTitle(), "Kelvak");
  EXPECT_EQ(form->ui().Label4->text(), "12");
  EXPECT_EQ(form->ui().Label8->text(), "100");
  EXPECT_EQ(form->ui().Label9->text(), "0");
  EXPECT_EQ(form->ui().Label13->text(), "500");
  EXPECT_EQ(form->ui().Edit1->text(), "30");
  EXPECT_EQ(form->ui().Edit2->text(), "1");
  EXPECT_EQ(form->ui().Edit3->text(), "2");
  EXPECT_EQ(form->speed(), 12);
  EXPECT_EQ(form->signalPosition(), 0);
  EXPECT_EQ(form->noisePosition(), 127);
  EXPECT_EQ(form->frequency(), 500);
  EXPECT_EQ(form->textKind(), 0);
  EXPECT_FALSE(form->longZero());
  EXPECT_FALSE(form->specialSigns());
  EXPECT_TRUE(form->ui().N2->isChecked());
  EXPECT_FALSE(form->ui().N1->isChecked());
  EXPECT_TRUE(form->randomSource());
  EXPECT_TRUE(form->ui().RadioGroup1->isEnabled());
  EXPECT_EQ(form->ui().UpDown1->min(), 0);
  EXPECT_EQ(form->ui().UpDown1->max(), 999);
  EXPECT_EQ(form->ui().UpDown2->min(), 1);
  EXPECT_EQ(form->ui().UpDown2->max(), 5);
  EXPECT_EQ(form->ui().UpDown3->max(), 5);
  EXPECT_EQ(form->ui().Edit1->maxLength(), 3);
  EXPECT_TRUE(form->ui().Memo1->toPlainText().isEmpty());
  EXPECT_EQ(form->ui().ProgressBar1->value(), 0);
  EXPECT_EQ(form->ui().ProgressBar1->maximum(), 46);
  EXPECT_FALSE(form->ui().PauseButton->isChecked());
  EXPECT_FALSE(form->engine().buffersStale());
  expectIdle();
}

TEST_F(MainWindowTest, TheSpeedPromptShowsOnceTheWindowIsActive) {
  EXPECT_TRUE(form->statusText().isEmpty());
  showActive();
  EXPECT_EQ(QApplication::focusWidget(), form->ui().TrackBar1);
  EXPECT_EQ(form->statusText(), kSpeedPrompt);
}

TEST_F(MainWindowTest, FocusPromptsFollowTheTabOrderAndMemoPassesTabOn) {
  showActive();
  struct Stop {
    QWidget* control;
    QString status;  // what the status bar reads once the control has the focus
  };
  const std::vector<Stop> order = {
      {form->ui().TrackBar2, kSignalPrompt},      {form->ui().TrackBar3, kNoisePrompt},
      {form->ui().TrackBar4, kFrequencyPrompt},   {form->ui().Edit1, kGroupCountPrompt},
      {form->ui().Memo1, kGroupCountPrompt},      {form->ui().RadioGroup1Item0, kGroupCountPrompt},
      {form->ui().CheckBox1, kGroupCountPrompt},  {form->ui().CheckBox2, kGroupCountPrompt},
      {form->ui().Edit2, kGroupCountPrompt},      {form->ui().Edit3, kGroupCountPrompt},
      {form->ui().PlayButton, kGroupCountPrompt}, {form->ui().TrackBar1, kSpeedPrompt}};
  for (const Stop& stop : order) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), stop.control)
        << "after Tab: " << QApplication::focusWidget()->objectName().toStdString() << ", expected "
        << stop.control->objectName().toStdString();
    EXPECT_EQ(form->statusText(), stop.status) << stop.control->objectName().toStdString();
    // The pane is read-only: a Tab passes on and types nothing.
    EXPECT_TRUE(form->ui().Memo1->toPlainText().isEmpty());
  }
  // Stop is disabled while idle, and neither Pause nor the spin arrows ever take the focus.
  for (QWidget* w :
       {static_cast<QWidget*>(form->ui().PauseButton), static_cast<QWidget*>(form->ui().UpDown1)}) {
    EXPECT_EQ(w->focusPolicy(), Qt::NoFocus) << w->objectName().toStdString();
  }
}

TEST_F(MainWindowTest, StopIsInTheTabOrderAfterPlayDuringATransmission) {
  showActive();
  click(form->ui().PlayButton);
  form->ui().Edit3->setFocus(Qt::TabFocusReason);
  QTest::keyClick(form->ui().Edit3, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), form->ui().StopButton);
}

TEST_F(MainWindowTest, AButtonDisabledUnderTheFocusShowsNoPromptWhereTheFocusLands) {
  showActive();
  click(form->ui().PlayButton);
  click(form->ui().StopButton);  // Stop takes the focus, then disables itself
  expectIdle();
  EXPECT_NE(QApplication::focusWidget(), form->ui().StopButton);
  EXPECT_EQ(form->statusText(), kPlaying);
}

TEST_F(MainWindowTest, TheWindowComingBackToTheFrontShowsNoNewPrompt) {
  showActive();
  form->ui().TrackBar3->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(form->statusText(), kNoisePrompt);
  form->setStatusText("Воспроизвожу");
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  EXPECT_EQ(QApplication::focusWidget(), form->ui().TrackBar3);
  EXPECT_EQ(form->statusText(), "Воспроизвожу");
}

struct LevelCase {
  int position;
  const char* label;
};

void PrintTo(const LevelCase& c, std::ostream* os) { *os << "position " << c.position; }

class LevelLabels : public MainWindowTest, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(LevelLabels, ShowTheTruncatedPercentOfFullLevel) {
  for (auto [slider, label] : {std::pair{form->ui().TrackBar2, form->ui().Label8},
                               std::pair{form->ui().TrackBar3, form->ui().Label9}}) {
    // Start from a position whose label differs, so the change is seen.
    slider->setValue(GetParam().position == 30 ? 31 : 30);
    ASSERT_NE(label->text(), GetParam().label);
    slider->setValue(GetParam().position);
    EXPECT_EQ(label->text(), GetParam().label) << slider->objectName().toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(Positions, LevelLabels,
                         ::testing::Values(LevelCase{0, "100"}, LevelCase{1, "99"},
                                           LevelCase{63, "50"}, LevelCase{64, "49"},
                                           LevelCase{126, "0"}, LevelCase{127, "0"}));

TEST_F(MainWindowTest, SpeedAndFrequencyLabelsShowThePosition) {
  form->ui().TrackBar1->setValue(0);
  EXPECT_EQ(form->ui().Label4->text(), "0");
  form->ui().TrackBar1->setValue(30);
  EXPECT_EQ(form->ui().Label4->text(), "30");
  form->ui().TrackBar4->setValue(100);
  EXPECT_EQ(form->ui().Label13->text(), "100");
  form->ui().TrackBar4->setValue(5000);
  EXPECT_EQ(form->ui().Label13->text(), "5000");
}

TEST_F(MainWindowTest, SlidersMovedWhileIdleOnlyWriteTheLabelAndMarkTheSoundStale) {
  showActive();
  form->ui().TrackBar4->setFocus(Qt::TabFocusReason);
  QTest::keyClick(form->ui().TrackBar4, Qt::Key_Right);
  EXPECT_EQ(form->ui().Label13->text(), "501");
  EXPECT_TRUE(form->engine().buffersStale());
  EXPECT_FALSE(form->engine().buffers().formed());
  EXPECT_EQ(form->statusText(), kFrequencyPrompt);  // no forming happened
}

TEST_F(MainWindowTest, VerticalSlidersHaveTheirMinimumAtTheTop) {
  form->resize(form->size());
  for (QSlider* s : {form->ui().TrackBar2, form->ui().TrackBar3}) {
    EXPECT_EQ(s->orientation(), Qt::Vertical);
    EXPECT_TRUE(s->invertedAppearance());
    // The Up key moves the knob up, towards position 0.
    s->setValue(50);
    QTest::keyClick(s, Qt::Key_Up);
    EXPECT_EQ(s->value(), 49) << s->objectName().toStdString();
  }
}

TEST_F(MainWindowTest, AWholeTransmissionDrivenByClicks) {
  showActive();
  type(form->ui().Edit1, "2");
  click(form->ui().PlayButton);
  expectRunning();
  EXPECT_EQ(form->statusText(), kPlaying);
  EXPECT_EQ(form->ui().ProgressBar1->maximum(), 11);
  EXPECT_EQ(tickToEnd(), 11);
  EXPECT_EQ(pane(), "80648 26167 ");
  EXPECT_EQ(form->ui().ProgressBar1->value(), 11);
  EXPECT_EQ(form->statusText(), kPlaying);
  EXPECT_EQ(device.opens, 1);
  EXPECT_EQ(device.closes, 1);
  EXPECT_EQ(device.writes.size(), 11u);
  expectIdle();
  EXPECT_TRUE(reports.empty());
  EXPECT_TRUE(boxes.empty());
}

TEST_F(MainWindowTest, TheTextKindAndOptionsAreReadFromTheControls) {
  showActive();
  type(form->ui().Edit1, "1");
  click(form->ui().RadioGroup1Item1);  // letters
  EXPECT_EQ(form->textKind(), 1);
  click(form->ui().PlayButton);
  tickToEnd();
  EXPECT_EQ(pane(), "сожфб ");
  // The mixture with the special signs: a zero drawn is always the long zero.
  click(form->ui().RadioGroup1Item2);
  click(form->ui().CheckBox2);
  EXPECT_EQ(form->textKind(), 2);
  EXPECT_TRUE(form->specialSigns());
  click(form->ui().CheckBox1);
  EXPECT_TRUE(form->longZero());
}

TEST_F(MainWindowTest, AccessKeysPressTheButtons) {
  showActive();
  // A button pressed by its access key shows itself down for a moment before it acts.
  QTest::keyClick(form.get(), Qt::Key_P, Qt::AltModifier);
  QTRY_VERIFY_WITH_TIMEOUT(!form->ui().PlayButton->isEnabled(), 10000);
  expectRunning();
  QTest::keyClick(form.get(), Qt::Key_U, Qt::AltModifier);
  QTRY_VERIFY_WITH_TIMEOUT(form->ui().PauseButton->isChecked(), 10000);
  EXPECT_FALSE(timer.enabled());
  QTest::keyClick(form.get(), Qt::Key_U, Qt::AltModifier);
  QTRY_VERIFY_WITH_TIMEOUT(!form->ui().PauseButton->isChecked(), 10000);
  EXPECT_TRUE(timer.enabled());
  QTest::keyClick(form.get(), Qt::Key_S, Qt::AltModifier);
  QTRY_VERIFY_WITH_TIMEOUT(form->ui().PlayButton->isEnabled(), 10000);
  expectIdle();
}

TEST_F(MainWindowTest, PauseHoldsTheTimerAndIsDrawnDownWhilePaused) {
  showActive();
  click(form->ui().PlayButton);
  tick();
  click(form->ui().PauseButton);
  EXPECT_TRUE(form->ui().PauseButton->isChecked());
  EXPECT_FALSE(timer.enabled());
  EXPECT_FALSE(tick());
  click(form->ui().PauseButton);
  EXPECT_FALSE(form->ui().PauseButton->isChecked());
  EXPECT_TRUE(timer.enabled());
  // Stopped while paused, the button stays down but disabled.
  click(form->ui().PauseButton);
  click(form->ui().StopButton);
  expectIdle();
  EXPECT_TRUE(form->ui().PauseButton->isChecked());
  EXPECT_EQ(pane(), "");
}

// Which slider re-forms which part of the sound during playback, and whether it restarts the
// countdown to the next symbol.
struct SoundCase {
  const char* name;
  QSlider* Ui::TForm1::*slider;
  int value;
  bool restartsCountdown;
  // True when the new blocks show the new setting; `before` is the dot's block before the change.
  std::function<bool(const TForm1&, const std::vector<std::uint8_t>& before)> heard;
};

void PrintTo(const SoundCase& c, std::ostream* os) { *os << c.name; }

class SoundChange : public MainWindowTest, public ::testing::WithParamInterface<SoundCase> {};

TEST_P(SoundChange, DuringPlaybackFormsTheSoundAgainAtOnce) {
  const SoundCase& c = GetParam();
  showActive();
  click(form->ui().PlayButton);
  ASSERT_TRUE(tick());
  ASSERT_TRUE(tick());
  const SymbolBlock dotBefore = block(15);
  const std::int64_t dueBefore = timer.due;
  timer.now = timer.due - 100;  // the change comes 100 ms before the next symbol
  (form->ui().*c.slider)->setValue(c.value);
  EXPECT_NE(block(15), dotBefore) << "not formed again";
  EXPECT_TRUE(c.heard(*form, *dotBefore));
  EXPECT_TRUE(form->engine().buffersStale());
  EXPECT_TRUE(timer.enabled());
  EXPECT_EQ(timer.due, c.restartsCountdown ? timer.now + timer.ms : dueBefore);
  EXPECT_EQ(form->statusText(), kPlaying);
  EXPECT_EQ(form->ui().ProgressBar1->value(), 2);
}

TEST_P(SoundChange, WhilePausedOnlyMarksTheSoundStaleUntilThePauseEnds) {
  const SoundCase& c = GetParam();
  showActive();
  click(form->ui().PlayButton);
  tick();
  click(form->ui().PauseButton);
  const SymbolBlock dotBefore = block(15);
  (form->ui().*c.slider)->setValue(c.value);
  EXPECT_EQ(block(15), dotBefore);
  EXPECT_TRUE(form->engine().buffersStale());
  click(form->ui().PauseButton);
  EXPECT_NE(block(15), dotBefore);
  EXPECT_TRUE(c.heard(*form, *dotBefore));
  EXPECT_FALSE(form->engine().buffersStale());
}

bool allTonesAt127(const TForm1& f, const std::vector<std::uint8_t>&) {
  const auto& dot = *f.engine().buffers().blocks[15];
  return std::all_of(dot.begin(), dot.end(),
                     [](std::uint8_t s) { return s == kSilentLevel || s == 127; }) &&
         std::count(dot.begin(), dot.end(), 127) > 0;
}
bool silenceIsNoisy(const TForm1& f, const std::vector<std::uint8_t>&) {
  const auto& dot = *f.engine().buffers().blocks[15];
  return std::any_of(dot.end() - 100, dot.end(), [](std::uint8_t s) { return s != kSilentLevel; });
}
bool fasterUnit(const TForm1& f, const std::vector<std::uint8_t>&) {
  return f.engine().unitMs() == 32;  // digits at speed 20
}
bool otherTone(const TForm1& f, const std::vector<std::uint8_t>& before) {
  const auto& dot = *f.engine().buffers().blocks[15];
  return dot.size() == before.size() && dot != before;
}

INSTANTIATE_TEST_SUITE_P(
    Sliders, SoundChange,
    ::testing::Values(SoundCase{"Speed", &Ui::TForm1::TrackBar1, 20, true, fasterUnit},
                      SoundCase{"Signal", &Ui::TForm1::TrackBar2, 127, true, allTonesAt127},
                      SoundCase{"Noise", &Ui::TForm1::TrackBar3, 0, true, silenceIsNoisy},
                      SoundCase{"Frequency", &Ui::TForm1::TrackBar4, 1000, false, otherTone}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, TheEndOfAKeyPressOrClickNotifiesEvenWithoutAMove) {
  showActive();
  click(form->ui().PlayButton);
  tick();
  // The signal slider stands at its top already: Home moves nothing, its release still counts.
  SymbolBlock before = block(15);
  QTest::keyClick(form->ui().TrackBar2, Qt::Key_Home);
  EXPECT_EQ(form->ui().TrackBar2->value(), 0);
  EXPECT_NE(block(15), before);
  // So does letting go of the mouse on the slider.
  before = block(15);
  const QPoint knob = form->ui().TrackBar2->rect().center();
  QTest::mousePress(form->ui().TrackBar2, Qt::LeftButton, {}, knob);
  QTest::mouseRelease(form->ui().TrackBar2, Qt::LeftButton, {}, knob);
  EXPECT_NE(block(15), before);
  // Other keys (Tab leaving the slider) do not.
  before = block(15);
  QTest::keyRelease(form->ui().TrackBar2, Qt::Key_Tab);
  EXPECT_EQ(block(15), before);
}

TEST_F(MainWindowTest, TextSourceMenuLoadsAFileAndReturnsToRandomText) {
  // "Ток 220/380 В" in Windows-1251: о к 2 2 0 / 3 8 0 are recognised, one whole group.
  const std::string path = writeFile("\xD2\xEE\xEA 220/380 \xC2");
  nextFileChoice(path);
  form->ui().N1->trigger();
  ASSERT_EQ(dialogTitles.size(), 1u);
  EXPECT_EQ(dialogTitles[0], "Открыть файл с тестом");
  ASSERT_EQ(dialogFilters[0].size(), 1);
  EXPECT_TRUE(dialogFilters[0][0].startsWith("Все файлы ("));
  EXPECT_FALSE(dialogNative[0]);
  EXPECT_TRUE(form->ui().N1->isChecked());
  EXPECT_FALSE(form->ui().N2->isChecked());
  EXPECT_FALSE(form->randomSource());
  EXPECT_EQ(form->ui().Edit1->text(), "1");
  EXPECT_EQ(form->ui().UpDown1->max(), 1);
  EXPECT_FALSE(form->ui().RadioGroup1->isEnabled());

  // The file's group is sent after the start signal.
  click(form->ui().PlayButton);
  tickToEnd();
  EXPECT_EQ(pane(), "ок220 ");

  // Cancelled: nothing changes, also when the file item is chosen again while ticked.
  nextFileChoice("");
  form->ui().N1->trigger();
  EXPECT_TRUE(form->ui().N1->isChecked());
  EXPECT_FALSE(form->ui().N2->isChecked());
  EXPECT_EQ(form->ui().Edit1->text(), "1");
  EXPECT_EQ(form->ui().UpDown1->max(), 1);
  EXPECT_FALSE(form->ui().RadioGroup1->isEnabled());

  // Random again: the range opens up, the count stays.
  form->ui().N2->trigger();
  EXPECT_TRUE(form->ui().N2->isChecked());
  EXPECT_FALSE(form->ui().N1->isChecked());
  EXPECT_EQ(form->ui().UpDown1->max(), 999);
  EXPECT_EQ(form->ui().Edit1->text(), "1");
  EXPECT_TRUE(form->ui().RadioGroup1->isEnabled());
  // Choosing it again while ticked keeps the tick.
  form->ui().N2->trigger();
  EXPECT_TRUE(form->ui().N2->isChecked());
  EXPECT_FALSE(form->ui().N1->isChecked());
}

TEST_F(MainWindowTest, ACancelledFirstLoadChangesNothing) {
  nextFileChoice("");
  form->ui().N1->trigger();
  EXPECT_FALSE(form->ui().N1->isChecked());
  EXPECT_TRUE(form->ui().N2->isChecked());
  EXPECT_EQ(form->ui().Edit1->text(), "30");
  EXPECT_EQ(form->ui().UpDown1->max(), 999);
  EXPECT_TRUE(form->ui().RadioGroup1->isEnabled());
}

TEST_F(MainWindowTest, ATypedNameOfNoFileGivesAnEmptyFileText) {
  nextFileChoice((std::filesystem::temp_directory_path() / "kelvak_no_such_file.txt").string());
  form->ui().N1->trigger();
  EXPECT_TRUE(form->ui().N1->isChecked());
  EXPECT_EQ(form->ui().Edit1->text(), "0");
  EXPECT_EQ(form->ui().UpDown1->max(), 0);
  EXPECT_TRUE(reports.empty());
  // Play then sends the start signal only.
  click(form->ui().PlayButton);
  EXPECT_EQ(tickToEnd(), 1);
  EXPECT_EQ(pane(), "");
  EXPECT_EQ(form->ui().ProgressBar1->value(), 1);
  EXPECT_EQ(form->ui().ProgressBar1->maximum(), 1);
}

TEST_F(MainWindowTest, AGroupCountThatIsNoIntegerIsReportedUnderTheProgramsTitle) {
  showActive();
  type(form->ui().Edit1, "abc");
  click(form->ui().PlayButton);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].text, "'abc' is not a valid integer value.");
  EXPECT_EQ(reports[0].title, "Kelvak");
  EXPECT_EQ(reports[0].icon, QMessageBox::Critical);
  // Play ended at the failed forming; Stop returns the window to idle.
  EXPECT_FALSE(form->ui().PlayButton->isEnabled());
  EXPECT_TRUE(form->ui().StopButton->isEnabled());
  EXPECT_FALSE(device.isOpen());
  click(form->ui().StopButton);
  expectIdle();
  EXPECT_EQ(reports.size(), 1u);
}

TEST_F(MainWindowTest, APauseFieldThatIsNoIntegerIsReportedAtTheTickAndPlaybackGoesOn) {
  showActive();
  click(form->ui().PlayButton);
  type(form->ui().Edit3, "x");
  tick();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].text, "'x' is not a valid integer value.");
  EXPECT_TRUE(timer.enabled());
  type(form->ui().Edit3, "2");
  tick();
  EXPECT_EQ(form->engine().symbolCounter(), 1);
}

TEST_F(MainWindowTest, ADeviceThatCannotBeOpenedIsReportedByTheWindowsOwnBox) {
  device.openSucceeds = false;
  click(form->ui().PlayButton);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Error opening waveform stream");
  EXPECT_EQ(boxes[0].title, "Error");
  EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
  EXPECT_EQ(boxes[0].owner, form.get());
  expectIdle();
  EXPECT_FALSE(form->engine().buffers().formed());
}

TEST_F(MainWindowTest, TheProgressBarKeepsItsPositionWithinANarrowerRange) {
  form->setProgressMax(100);
  form->setProgressPosition(40);
  form->setProgressMax(10);
  EXPECT_EQ(form->progressPosition(), 10);
  EXPECT_EQ(form->ui().ProgressBar1->value(), 10);
  EXPECT_EQ(form->ui().ProgressBar1->maximum(), 10);
  form->setProgressPosition(65535);
  EXPECT_EQ(form->ui().ProgressBar1->value(), 10);
}

TEST_F(MainWindowTest, ThePaneFollowsTheNewestCharacters) {
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  for (int i = 0; i < 400; ++i) form->appendText(i % 6 == 5 ? " " : "7");
  QScrollBar* bar = form->ui().Memo1->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_EQ(form->ui().Memo1->toPlainText().size(), 400);
  EXPECT_EQ(form->ui().Memo1->document()->blockCount(), 1);  // no line break is ever inserted
  // Scrolled back by the user, it stays where the user put it.
  bar->setValue(0);
  form->appendText("7");
  EXPECT_EQ(bar->value(), 0);
}

// --- the window's look ---

TEST_F(MainWindowTest, HasAFixedClientAreaBelowItsMenu) {
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  EXPECT_EQ(form->centralWidget()->size(), QSize(631, 337));
  EXPECT_EQ(form->minimumSize(), form->maximumSize());
  EXPECT_EQ(form->height(), 337 + form->ui().MainMenu1->height());
  EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
}

TEST_F(MainWindowTest, ControlsSitWhereTheyWereDesigned) {
  struct Place {
    QWidget* w;
    QRect r;
  };
  const Place places[] = {
      {form->ui().Memo1, {8, 8, 337, 153}},        {form->ui().Edit1, {360, 24, 33, 21}},
      {form->ui().UpDown1, {393, 24, 15, 21}},     {form->ui().PlayButton, {552, 16, 75, 25}},
      {form->ui().PauseButton, {552, 48, 73, 25}}, {form->ui().Edit2, {376, 80, 33, 21}},
      {form->ui().UpDown2, {409, 80, 15, 21}},     {form->ui().Edit3, {472, 80, 33, 21}},
      {form->ui().UpDown3, {505, 80, 15, 21}},     {form->ui().StopButton, {552, 80, 75, 25}},
      {form->ui().Panel1, {8, 168, 497, 145}},     {form->ui().RadioGroup1, {512, 168, 73, 105}},
      {form->ui().StatusBar1, {0, 315, 631, 22}},  {form->ui().ProgressBar1, {320, 320, 273, 16}},
      {form->ui().TrackBar2, {9, 40, 40, 100}},    {form->ui().TrackBar3, {80, 40, 25, 100}},
      {form->ui().TrackBar4, {152, 32, 321, 17}},  {form->ui().TrackBar1, {152, 104, 321, 17}},
  };
  for (const Place& p : places) EXPECT_EQ(p.w->geometry(), p.r) << p.w->objectName().toStdString();
  const std::pair<QWidget*, QPoint> labels[] = {
      {form->ui().Label5, {360, 8}},      {form->ui().Label14, {416, 48}},
      {form->ui().Label15, {352, 64}},    {form->ui().Label16, {456, 64}},
      {form->ui().Label6, {16, 8}},       {form->ui().Label7, {80, 8}},
      {form->ui().Label8, {24, 24}},      {form->ui().Label9, {94, 24}},
      {form->ui().Label10, {256, 8}},     {form->ui().Label13, {336, 8}},
      {form->ui().Label11, {168, 16}},    {form->ui().Label12, {464, 16}},
      {form->ui().Label1, {248, 80}},     {form->ui().Label4, {376, 80}},
      {form->ui().Label2, {152, 92}},     {form->ui().Label3, {464, 92}},
      {form->ui().CheckBox1, {352, 120}}, {form->ui().CheckBox2, {352, 144}},
  };
  for (const auto& [w, at] : labels) EXPECT_EQ(w->pos(), at) << w->objectName().toStdString();
  // The progress bar lies over the right part of the status bar.
  EXPECT_EQ(form->ui().ProgressBar1->parentWidget(), form->ui().StatusBar1->parentWidget());
  const auto siblings = form->centralWidget()->children();
  EXPECT_GT(siblings.indexOf(form->ui().ProgressBar1), siblings.indexOf(form->ui().StatusBar1));
}

TEST_F(MainWindowTest, NoTextIsCutOrCoveredWithThisPlatformsFonts) {
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  std::vector<QWidget*> texts;
  for (QWidget* w : form->centralWidget()->findChildren<QWidget*>()) {
    if (!w->isVisible()) continue;
    // Everything lies inside its parent.
    EXPECT_TRUE(w->parentWidget()->rect().contains(w->geometry())) << w->objectName().toStdString();
    if (auto* b = qobject_cast<QPushButton*>(w)) {
      const int need = b->fontMetrics().horizontalAdvance(b->text().remove('&')) +
                       b->iconSize().width() + 16;  // picture, gap and bevel
      EXPECT_LE(need, b->width()) << b->objectName().toStdString();
      EXPECT_LE(b->fontMetrics().height() + 6, b->height());
      texts.push_back(w);
    } else if (qobject_cast<QLabel*>(w) || qobject_cast<QCheckBox*>(w) ||
               qobject_cast<QRadioButton*>(w)) {
      EXPECT_LE(w->sizeHint().width(), w->width()) << w->objectName().toStdString();
      EXPECT_LE(w->fontMetrics().height(), w->height()) << w->objectName().toStdString();
      texts.push_back(w);
    }
  }
  // No two texts overlap.
  auto onWindow = [&](QWidget* w) { return QRect(w->mapTo(form.get(), QPoint()), w->size()); };
  for (std::size_t i = 0; i < texts.size(); ++i) {
    for (std::size_t j = i + 1; j < texts.size(); ++j) {
      EXPECT_FALSE(onWindow(texts[i]).intersects(onWindow(texts[j])))
          << texts[i]->objectName().toStdString() << " and "
          << texts[j]->objectName().toStdString();
    }
  }
  // The group's caption and the menu fit too.
  EXPECT_LE(
      form->ui().RadioGroup1->fontMetrics().horizontalAdvance(form->ui().RadioGroup1->title()) + 16,
      form->ui().RadioGroup1->width());
  EXPECT_LE(form->ui().MainMenu1->sizeHint().width(), form->width());
}

TEST_F(MainWindowTest, FontsStandInForTheWindowsOnesWithCyrillic) {
  const QFontInfo window(form->font());
  EXPECT_EQ(window.pixelSize(), 11);
  EXPECT_TRUE(window.family() == "Liberation Sans" || window.family() == "Arimo" ||
              window.family() == "DejaVu Sans")
      << window.family().toStdString();
  for (QMenu* menu : {form->ui().Menu, form->ui().N3}) {
    EXPECT_EQ(QFontInfo(menu->font()).family(), window.family());
    EXPECT_EQ(QFontInfo(menu->font()).pixelSize(), 11);
  }
  const QFontInfo pane(form->ui().Memo1->font());
  EXPECT_EQ(pane.pixelSize(), 16);
  EXPECT_TRUE(pane.fixedPitch()) << pane.family().toStdString();
  EXPECT_EQ(form->ui().Memo1->palette().color(QPalette::Base), QColor(Qt::black));
  EXPECT_EQ(form->ui().Memo1->palette().color(QPalette::Text), QColor(Qt::red));
  EXPECT_TRUE(QFontMetrics(form->font()).inFont(QChar(u'Ж')));
  EXPECT_TRUE(QFontMetrics(form->ui().Memo1->font()).inFont(QChar(u'ж')));
  // The selection stays visible when the pane loses the focus.
  EXPECT_EQ(form->ui().Memo1->palette().color(QPalette::Inactive, QPalette::Highlight),
            form->ui().Memo1->palette().color(QPalette::Active, QPalette::Highlight));
  EXPECT_TRUE(form->ui().Memo1->isReadOnly());
}

TEST_F(MainWindowTest, OnlyTheGroupCountAndThePaneShowTooltips) {
  EXPECT_EQ(form->ui().Edit1->toolTip(), "Количество групп текста");
  EXPECT_EQ(form->ui().Memo1->toolTip(), "Отображение текста");
  const std::pair<QSlider*, const char*> hints[] = {
      {form->ui().TrackBar1, "Скорость (групп в минуту)"},
      {form->ui().TrackBar2, "Уровень сигнала"},
      {form->ui().TrackBar3, "Уровень помехи"},
      {form->ui().TrackBar4, "Частота воспроизведения"}};
  for (const auto& [slider, hint] : hints) {
    EXPECT_TRUE(slider->toolTip().isEmpty());
    EXPECT_EQ(slider->accessibleDescription(), QString::fromUtf8(hint));
  }
}

TEST_F(MainWindowTest, ButtonsCarryPicturesAndAccessKeys) {
  EXPECT_EQ(form->ui().PlayButton->text(), "&Play");
  EXPECT_EQ(form->ui().PauseButton->text(), "Pa&use");
  EXPECT_EQ(form->ui().StopButton->text(), "&Stop");
  for (QPushButton* b : {form->ui().PlayButton, form->ui().StopButton}) {
    ASSERT_FALSE(b->icon().isNull());
    const QImage normal = b->icon().pixmap(16, 16, QIcon::Normal).toImage();
    const QImage greyed = b->icon().pixmap(16, 16, QIcon::Disabled).toImage();
    EXPECT_EQ(normal.size(), QSize(16, 16));
    EXPECT_NE(normal, greyed);
    // The greyed picture has no colour.
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        const QColor c = greyed.pixelColor(x, y);
        if (c.alpha() > 0) {
          ASSERT_EQ(c.red(), c.green()) << b->objectName().toStdString();
        }
      }
    }
  }
  EXPECT_TRUE(form->ui().PauseButton->isCheckable());
}

TEST_F(MainWindowTest, MenuItemsWithTicksAndShortcuts) {
  const QList<QAction*> bar = form->ui().MainMenu1->actions();
  ASSERT_EQ(bar.size(), 3);
  EXPECT_EQ(bar[0], form->ui().Menu->menuAction());
  EXPECT_EQ(bar[1], form->ui().N3->menuAction());
  EXPECT_EQ(bar[2], form->ui().N4);  // Exit stands on the menu bar itself
  EXPECT_EQ(form->ui().Menu->title(), "&Текст");
  EXPECT_EQ(form->ui().N3->title(), "Справка");
  // The text menu begins with the two sources; what follows them is new (saving a sound file).
  EXPECT_EQ(form->ui().Menu->actions().mid(0, 2), (QList<QAction*>{form->ui().N1, form->ui().N2}));
  EXPECT_EQ(form->ui().N3->actions(), (QList<QAction*>{form->ui().Kelvak1, form->ui().N5}));
  EXPECT_EQ(form->ui().N1->text(), "Из Файла...");
  EXPECT_EQ(form->ui().N2->text(), "Случайный");
  EXPECT_EQ(form->ui().Kelvak1->text(), "Справка Kelvak");
  EXPECT_EQ(form->ui().N5->text(), "О программе (и не только)...");
  EXPECT_EQ(form->ui().N4->text(), "Выход");
  EXPECT_EQ(form->ui().Kelvak1->shortcut(), QKeySequence(Qt::Key_F1));
  EXPECT_EQ(form->ui().N4->shortcut(), QKeySequence(Qt::Key_F10));
  // "Random" is drawn as a radio item, "from file" with a plain check mark.
  EXPECT_TRUE(form->ui().N2->actionGroup() && form->ui().N2->actionGroup()->isExclusive());
  EXPECT_EQ(form->ui().N1->actionGroup(), nullptr);
  EXPECT_TRUE(form->ui().N1->isCheckable());
}

TEST_F(MainWindowTest, TheHelpMenuShowsTheHelpWindowAndTheAboutBoxWithoutBlocking) {
  TAboutBox about(form.get());
  TForm2 help(form.get());
  form->setSecondaryWindows(&about, &help);
  showActive();
  ASSERT_FALSE(help.isVisible());
  QTest::keyClick(form.get(), Qt::Key_F1);
  QTRY_VERIFY_WITH_TIMEOUT(help.isVisible(), 10000);
  EXPECT_FALSE(help.isModal());
  form->ui().N5->trigger();
  form->ui().N5->trigger();
  QTRY_VERIFY_WITH_TIMEOUT(about.isVisible(), 10000);
  EXPECT_EQ(form->findChildren<TAboutBox*>().size(), 1);
  // The main window keeps working meanwhile: a transmission starts and runs.
  click(form->ui().PlayButton);
  EXPECT_TRUE(tick());
  expectRunning();
}

// --- ending the program ---

enum class ExitBy { F10, MenuItem, CloseBox };

void PrintTo(ExitBy by, std::ostream* os) {
  *os << (by == ExitBy::F10 ? "F10" : by == ExitBy::MenuItem ? "menu item" : "close box");
}

class Exit : public MainWindowTest, public ::testing::WithParamInterface<ExitBy> {};

TEST_P(Exit, EndsTheMessageLoopAtOnceAlsoDuringPlayback) {
  showActive();
  click(form->ui().PlayButton);
  tick();
  QTimer act;
  act.setSingleShot(true);
  QObject::connect(&act, &QTimer::timeout, [this] {
    switch (GetParam()) {
      case ExitBy::F10:
        QTest::keyClick(form.get(), Qt::Key_F10);
        break;
      case ExitBy::MenuItem:
        form->ui().N4->trigger();
        break;
      case ExitBy::CloseBox:
        form->close();
        break;
    }
  });
  QTimer guard;  // a loop that did not end is a failure, not a hang
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(7); });
  act.start(0);
  guard.start(20000);
  EXPECT_EQ(QApplication::exec(), 0);
  // No stop routine waited for the sound; it was simply cut off.
  EXPECT_EQ(device.waits, 0);
  EXPECT_FALSE(device.isOpen());
  EXPECT_FALSE(timer.enabled());
  EXPECT_TRUE(reports.empty());
}

INSTANTIATE_TEST_SUITE_P(Ways, Exit,
                         ::testing::Values(ExitBy::F10, ExitBy::MenuItem, ExitBy::CloseBox));

}  // namespace
}  // namespace kelvak
