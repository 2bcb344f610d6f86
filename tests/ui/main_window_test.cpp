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
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>

#include "app/command_line.h"
#include "playback/settings.h"
#include "synth/symbol_table.h"
#include "tests/fakes/fakes.h"
#include "tests/ui/find_control.h"
#include "tests/ui/qt_print.h"
#include "ui/about_box.h"
#include "ui/help_window.h"

namespace kelvak {
namespace {

using testing::control;

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
  std::unique_ptr<MainWindow> form;
  std::vector<std::filesystem::path> files;

  void SetUp() override {
    device.clock = &timer.now;
    form = std::make_unique<MainWindow>(device, gate, &timer);
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
    return timer.fireNext([this] { form->tick(); });
  }
  int tickToEnd() {
    int n = 0;
    while (n < 100000 && tick()) ++n;
    return n;
  }
  std::string pane() const {
    return control<QPlainTextEdit>(*form, "textPane")->toPlainText().toStdString();
  }
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
    EXPECT_TRUE(control<QPushButton>(*form, "PlayButton")->isEnabled());
    EXPECT_FALSE(control<QPushButton>(*form, "StopButton")->isEnabled());
    EXPECT_FALSE(control<QPushButton>(*form, "PauseButton")->isEnabled());
    EXPECT_TRUE(control<QLineEdit>(*form, "groupCountEdit")->isEnabled());
    EXPECT_FALSE(timer.enabled());
    EXPECT_FALSE(device.isOpen());
  }
  void expectRunning() {
    EXPECT_FALSE(control<QPushButton>(*form, "PlayButton")->isEnabled());
    EXPECT_TRUE(control<QPushButton>(*form, "StopButton")->isEnabled());
    EXPECT_TRUE(control<QPushButton>(*form, "PauseButton")->isEnabled());
    EXPECT_FALSE(control<QLineEdit>(*form, "groupCountEdit")->isEnabled());
    EXPECT_TRUE(control<UpDown>(*form, "groupCountArrows")->isEnabled());  // the arrows stay usable
    EXPECT_TRUE(timer.enabled());
    EXPECT_TRUE(device.isOpen());
  }
};

TEST_F(MainWindowTest, StartsIdleWithTheDefaultSettings) {
  EXPECT_EQ(form->windowTitle(), "Kelvak");
  EXPECT_EQ(control<QLabel>(*form, "speedValue")->text(), "12");
  EXPECT_EQ(control<QLabel>(*form, "signalValue")->text(), "100");
  EXPECT_EQ(control<QLabel>(*form, "noiseValue")->text(), "0");
  EXPECT_EQ(control<QLabel>(*form, "toneValue")->text(), "500");
  EXPECT_EQ(control<QLineEdit>(*form, "groupCountEdit")->text(), "30");
  EXPECT_EQ(control<QLineEdit>(*form, "charPauseEdit")->text(), "1");
  EXPECT_EQ(control<QLineEdit>(*form, "groupPauseEdit")->text(), "2");
  EXPECT_EQ(form->speed(), 12);
  EXPECT_EQ(form->signalPosition(), 0);
  EXPECT_EQ(form->noisePosition(), 127);
  EXPECT_EQ(form->frequency(), 500);
  EXPECT_EQ(form->textKind(), 0);
  EXPECT_FALSE(form->longZero());
  EXPECT_FALSE(form->specialSigns());
  EXPECT_TRUE(control<QAction>(*form, "randomTextItem")->isChecked());
  EXPECT_FALSE(control<QAction>(*form, "fileTextItem")->isChecked());
  EXPECT_TRUE(form->randomSource());
  EXPECT_TRUE(control<QGroupBox>(*form, "textKindBox")->isEnabled());
  EXPECT_EQ(control<UpDown>(*form, "groupCountArrows")->min(), 0);
  EXPECT_EQ(control<UpDown>(*form, "groupCountArrows")->max(), 999);
  EXPECT_EQ(control<UpDown>(*form, "charPauseArrows")->min(), 1);
  EXPECT_EQ(control<UpDown>(*form, "charPauseArrows")->max(), 5);
  EXPECT_EQ(control<UpDown>(*form, "groupPauseArrows")->max(), 5);
  EXPECT_EQ(control<QLineEdit>(*form, "groupCountEdit")->maxLength(), 3);
  EXPECT_TRUE(control<QPlainTextEdit>(*form, "textPane")->toPlainText().isEmpty());
  EXPECT_EQ(control<QProgressBar>(*form, "progressBar")->value(), 0);
  EXPECT_EQ(control<QProgressBar>(*form, "progressBar")->maximum(), 46);
  EXPECT_FALSE(control<QPushButton>(*form, "PauseButton")->isChecked());
  EXPECT_FALSE(form->engine().buffersStale());
  expectIdle();
}

// An export without options sends what the window would send when it opens, and every control's
// two ends, as the window shows them, are the command line's range.
TEST_F(MainWindowTest, OpensWithTheCommandLinesDefaultsAndSpansItsRanges) {
  const TransmissionSettings shown = settingsFrom(*form);
  const TransmissionSettings exported =
      settingsFor(parseCommandLine({"--export", "a.wav"}).options, {});
  const auto all = [](const TransmissionSettings& s) {
    return std::tuple(s.speed, s.textKind, s.frequency, s.signalPosition, s.noisePosition, s.groups,
                      s.charPause, s.groupPause, s.randomSource, s.longZero, s.specialSigns);
  };
  EXPECT_EQ(all(shown), all(exported));

  // The value a control shows at either end: its label, or the field beside the arrows. The
  // numbers printed at a slider's ends, where it has them, must say the same.
  const auto atSlider = [this](const char* sliderName, const char* labelName,
                               std::array<const char*, 2> endNames = {}) {
    QSlider* slider = control<QSlider>(*form, sliderName);
    QLabel* label = control<QLabel>(*form, labelName);
    std::array<QLabel*, 2> ends{};
    for (int k = 0; k < 2; ++k) {
      if (endNames[k]) ends[k] = control<QLabel>(*form, endNames[k]);
    }
    return std::function<int(bool)>([slider, label, ends](bool top) {
      slider->setValue(top ? slider->maximum() : slider->minimum());
      if (const QLabel* end = ends[top ? 1 : 0]) {
        EXPECT_EQ(end->text(), label->text());
      }
      return label->text().toInt();
    });
  };
  const auto atArrows = [this](const char* arrowsName, const char* fieldName) {
    UpDown* arrows = control<UpDown>(*form, arrowsName);
    QLineEdit* field = control<QLineEdit>(*form, fieldName);
    return std::function<int(bool)>([arrows, field](bool top) {
      arrows->setPosition(top ? arrows->max() : arrows->min());
      return field->text().toInt();
    });
  };
  struct Control {
    const char* option;
    std::function<int(bool)> shows;
    int lowestTaken;  // the command line's lowest value, when above the control's
  };
  const Control controls[] = {
      // The command line takes no speed 0, which forms no sound.
      {"--speed", atSlider("speedSlider", "speedValue", {"speedMinLabel", "speedMaxLabel"}), 1},
      {"--tone", atSlider("toneSlider", "toneValue", {"toneMinLabel", "toneMaxLabel"}), 0},
      {"--signal", atSlider("signalSlider", "signalValue"), 0},
      {"--noise", atSlider("noiseSlider", "noiseValue"), 0},
      {"--groups", atArrows("groupCountArrows", "groupCountEdit"), 0},
      {"--char-pause", atArrows("charPauseArrows", "charPauseEdit"), 0},
      {"--group-pause", atArrows("groupPauseArrows", "groupPauseEdit"), 0},
  };
  for (const Control& c : controls) {
    SCOPED_TRACE(c.option);
    const int a = c.shows(false), b = c.shows(true);
    const int low = std::max({a < b ? a : b, c.lowestTaken}), high = std::max(a, b);
    const std::string range =
        " is out of range " + std::to_string(low) + ".." + std::to_string(high);
    for (int value : {low, high}) {
      EXPECT_NO_THROW(parseCommandLine({"--export", "a.wav", c.option, std::to_string(value)}));
    }
    for (int value : {low - 1, high + 1}) {
      try {
        parseCommandLine({"--export", "a.wav", c.option, std::to_string(value)});
        ADD_FAILURE() << value << " taken";
      } catch (const UsageError& e) {
        EXPECT_EQ(e.what(), c.option + (": " + std::to_string(value)) + range);
      }
    }
  }
}

TEST_F(MainWindowTest, TheSpeedPromptShowsOnceTheWindowIsActive) {
  EXPECT_TRUE(form->statusText().isEmpty());
  showActive();
  EXPECT_EQ(QApplication::focusWidget(), control<QSlider>(*form, "speedSlider"));
  EXPECT_EQ(form->statusText(), kSpeedPrompt);
}

TEST_F(MainWindowTest, FocusPromptsFollowTheTabOrderAndMemoPassesTabOn) {
  showActive();
  struct Stop {
    QWidget* control;
    QString status;  // what the status bar reads once the control has the focus
  };
  const std::vector<Stop> order = {
      {control<QSlider>(*form, "signalSlider"), kSignalPrompt},
      {control<QSlider>(*form, "noiseSlider"), kNoisePrompt},
      {control<QSlider>(*form, "toneSlider"), kFrequencyPrompt},
      {control<QLineEdit>(*form, "groupCountEdit"), kGroupCountPrompt},
      {control<QPlainTextEdit>(*form, "textPane"), kGroupCountPrompt},
      {control<QRadioButton>(*form, "digitsButton"), kGroupCountPrompt},
      {control<QCheckBox>(*form, "longZeroBox"), kGroupCountPrompt},
      {control<QCheckBox>(*form, "specialSignsBox"), kGroupCountPrompt},
      {control<QLineEdit>(*form, "charPauseEdit"), kGroupCountPrompt},
      {control<QLineEdit>(*form, "groupPauseEdit"), kGroupCountPrompt},
      {control<QPushButton>(*form, "PlayButton"), kGroupCountPrompt},
      {control<QSlider>(*form, "speedSlider"), kSpeedPrompt}};
  for (const Stop& stop : order) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), stop.control)
        << "after Tab: " << QApplication::focusWidget()->objectName().toStdString() << ", expected "
        << stop.control->objectName().toStdString();
    EXPECT_EQ(form->statusText(), stop.status) << stop.control->objectName().toStdString();
    // The pane is read-only: a Tab passes on and types nothing.
    EXPECT_TRUE(control<QPlainTextEdit>(*form, "textPane")->toPlainText().isEmpty());
  }
  // Stop is disabled while idle, and neither Pause nor the spin arrows ever take the focus.
  for (QWidget* w : {static_cast<QWidget*>(control<QPushButton>(*form, "PauseButton")),
                     static_cast<QWidget*>(control<UpDown>(*form, "groupCountArrows"))}) {
    EXPECT_EQ(w->focusPolicy(), Qt::NoFocus) << w->objectName().toStdString();
  }
}

TEST_F(MainWindowTest, StopIsInTheTabOrderAfterPlayDuringATransmission) {
  showActive();
  click(control<QPushButton>(*form, "PlayButton"));
  control<QLineEdit>(*form, "groupPauseEdit")->setFocus(Qt::TabFocusReason);
  QTest::keyClick(control<QLineEdit>(*form, "groupPauseEdit"), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), control<QPushButton>(*form, "StopButton"));
}

TEST_F(MainWindowTest, AButtonDisabledUnderTheFocusShowsNoPromptWhereTheFocusLands) {
  showActive();
  click(control<QPushButton>(*form, "PlayButton"));
  click(control<QPushButton>(*form, "StopButton"));  // Stop takes the focus, then disables itself
  expectIdle();
  EXPECT_NE(QApplication::focusWidget(), control<QPushButton>(*form, "StopButton"));
  EXPECT_EQ(form->statusText(), QString::fromUtf8(kEndedStatus));
}

TEST_F(MainWindowTest, TheWindowComingBackToTheFrontShowsNoNewPrompt) {
  showActive();
  control<QSlider>(*form, "noiseSlider")->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(form->statusText(), kNoisePrompt);
  form->setStatusText("Воспроизвожу");
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  EXPECT_EQ(QApplication::focusWidget(), control<QSlider>(*form, "noiseSlider"));
  EXPECT_EQ(form->statusText(), "Воспроизвожу");
}

struct LevelCase {
  int position;
  const char* label;
};

void PrintTo(const LevelCase& c, std::ostream* os) { *os << "position " << c.position; }

class LevelLabels : public MainWindowTest, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(LevelLabels, ShowTheTruncatedPercentOfFullLevel) {
  for (auto [slider, label] :
       {std::pair{control<QSlider>(*form, "signalSlider"), control<QLabel>(*form, "signalValue")},
        std::pair{control<QSlider>(*form, "noiseSlider"), control<QLabel>(*form, "noiseValue")}}) {
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
                                           LevelCase{126, "0"}, LevelCase{127, "0"}),
                         [](const auto& info) {
                           return "Position" + std::to_string(info.param.position);
                         });

TEST_F(MainWindowTest, SlidersMovedWhileIdleOnlyWriteTheLabelAndMarkTheSoundStale) {
  showActive();
  control<QSlider>(*form, "toneSlider")->setFocus(Qt::TabFocusReason);
  QTest::keyClick(control<QSlider>(*form, "toneSlider"), Qt::Key_Right);
  EXPECT_EQ(control<QLabel>(*form, "toneValue")->text(), "501");
  EXPECT_TRUE(form->engine().buffersStale());
  EXPECT_FALSE(form->engine().buffers().formed());
  EXPECT_EQ(form->statusText(), kFrequencyPrompt);  // no forming happened
}

TEST_F(MainWindowTest, VerticalSlidersHaveTheirMinimumAtTheTop) {
  form->resize(form->size());
  for (QSlider* s :
       {control<QSlider>(*form, "signalSlider"), control<QSlider>(*form, "noiseSlider")}) {
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
  type(control<QLineEdit>(*form, "groupCountEdit"), "2");
  click(control<QPushButton>(*form, "PlayButton"));
  expectRunning();
  EXPECT_EQ(form->statusText(), kPlaying);
  EXPECT_EQ(control<QProgressBar>(*form, "progressBar")->maximum(), 11);
  EXPECT_EQ(tickToEnd(), 11);
  EXPECT_EQ(pane(), "80648 26167 ");
  EXPECT_EQ(control<QProgressBar>(*form, "progressBar")->value(), 11);
  EXPECT_EQ(form->statusText(), QString::fromUtf8(kEndedStatus));
  EXPECT_EQ(device.opens, 1);
  EXPECT_EQ(device.closes, 1);
  EXPECT_EQ(device.writes.size(), 11u);
  expectIdle();
  EXPECT_TRUE(reports.empty());
  EXPECT_TRUE(boxes.empty());
}

TEST_F(MainWindowTest, TheTextKindAndOptionsAreReadFromTheControls) {
  showActive();
  type(control<QLineEdit>(*form, "groupCountEdit"), "1");
  click(control<QRadioButton>(*form, "lettersButton"));  // letters
  EXPECT_EQ(form->textKind(), 1);
  click(control<QPushButton>(*form, "PlayButton"));
  tickToEnd();
  EXPECT_EQ(pane(), "сожфб ");
  // The mixture with the special signs: a zero drawn is always the long zero.
  click(control<QRadioButton>(*form, "mixedButton"));
  click(control<QCheckBox>(*form, "specialSignsBox"));
  EXPECT_EQ(form->textKind(), 2);
  EXPECT_TRUE(form->specialSigns());
  click(control<QCheckBox>(*form, "longZeroBox"));
  EXPECT_TRUE(form->longZero());
}

TEST_F(MainWindowTest, AccessKeysPressTheButtons) {
  showActive();
  // A button pressed by its access key shows itself down for a moment before it acts.
  QTest::keyClick(form.get(), Qt::Key_P, Qt::AltModifier);
  QTRY_VERIFY_WITH_TIMEOUT(!control<QPushButton>(*form, "PlayButton")->isEnabled(), 10000);
  expectRunning();
  QTest::keyClick(form.get(), Qt::Key_U, Qt::AltModifier);
  QTRY_VERIFY_WITH_TIMEOUT(control<QPushButton>(*form, "PauseButton")->isChecked(), 10000);
  EXPECT_FALSE(timer.enabled());
  QTest::keyClick(form.get(), Qt::Key_U, Qt::AltModifier);
  QTRY_VERIFY_WITH_TIMEOUT(!control<QPushButton>(*form, "PauseButton")->isChecked(), 10000);
  EXPECT_TRUE(timer.enabled());
  QTest::keyClick(form.get(), Qt::Key_S, Qt::AltModifier);
  QTRY_VERIFY_WITH_TIMEOUT(control<QPushButton>(*form, "PlayButton")->isEnabled(), 10000);
  expectIdle();
}

TEST_F(MainWindowTest, PauseHoldsTheTimerAndIsDrawnDownWhilePaused) {
  showActive();
  click(control<QPushButton>(*form, "PlayButton"));
  tick();
  click(control<QPushButton>(*form, "PauseButton"));
  EXPECT_TRUE(control<QPushButton>(*form, "PauseButton")->isChecked());
  EXPECT_FALSE(timer.enabled());
  EXPECT_FALSE(tick());
  click(control<QPushButton>(*form, "PauseButton"));
  EXPECT_FALSE(control<QPushButton>(*form, "PauseButton")->isChecked());
  EXPECT_TRUE(timer.enabled());
  // Stopped while paused, the button stays down but disabled.
  click(control<QPushButton>(*form, "PauseButton"));
  click(control<QPushButton>(*form, "StopButton"));
  expectIdle();
  EXPECT_TRUE(control<QPushButton>(*form, "PauseButton")->isChecked());
  EXPECT_EQ(pane(), "");
}

// Which slider re-forms which part of the sound during playback, and whether it restarts the
// countdown to the next symbol.
struct SoundCase {
  const char* name;
  const char* slider;  // the slider's name
  int value;
  bool restartsCountdown;
  // True when the new blocks show the new setting; `before` is the dot's block before the change.
  std::function<bool(const MainWindow&, const std::vector<std::uint8_t>& before)> heard;
};

void PrintTo(const SoundCase& c, std::ostream* os) { *os << c.name; }

class SoundChange : public MainWindowTest, public ::testing::WithParamInterface<SoundCase> {};

TEST_P(SoundChange, DuringPlaybackFormsTheSoundAgainAtOnce) {
  const SoundCase& c = GetParam();
  showActive();
  click(control<QPushButton>(*form, "PlayButton"));
  ASSERT_TRUE(tick());
  ASSERT_TRUE(tick());
  const SymbolBlock dotBefore = block(15);
  const std::int64_t dueBefore = timer.due;
  timer.now = timer.due - 100;  // the change comes 100 ms before the next symbol
  control<QSlider>(*form, c.slider)->setValue(c.value);
  EXPECT_NE(block(15), dotBefore) << "not formed again";
  EXPECT_TRUE(c.heard(*form, *dotBefore));
  EXPECT_TRUE(form->engine().buffersStale());
  EXPECT_TRUE(timer.enabled());
  EXPECT_EQ(timer.due, c.restartsCountdown ? timer.now + timer.ms : dueBefore);
  EXPECT_EQ(form->statusText(), kPlaying);
  EXPECT_EQ(control<QProgressBar>(*form, "progressBar")->value(), 2);
}

TEST_P(SoundChange, WhilePausedOnlyMarksTheSoundStaleUntilThePauseEnds) {
  const SoundCase& c = GetParam();
  showActive();
  click(control<QPushButton>(*form, "PlayButton"));
  tick();
  click(control<QPushButton>(*form, "PauseButton"));
  const SymbolBlock dotBefore = block(15);
  control<QSlider>(*form, c.slider)->setValue(c.value);
  EXPECT_EQ(block(15), dotBefore);
  EXPECT_TRUE(form->engine().buffersStale());
  click(control<QPushButton>(*form, "PauseButton"));
  EXPECT_NE(block(15), dotBefore);
  EXPECT_TRUE(c.heard(*form, *dotBefore));
  EXPECT_FALSE(form->engine().buffersStale());
}

bool allTonesAt127(const MainWindow& f, const std::vector<std::uint8_t>&) {
  const auto& dot = *f.engine().buffers().blocks[15];
  return std::all_of(dot.begin(), dot.end(),
                     [](std::uint8_t s) { return s == kSilentLevel || s == 127; }) &&
         std::count(dot.begin(), dot.end(), 127) > 0;
}
bool silenceIsNoisy(const MainWindow& f, const std::vector<std::uint8_t>&) {
  const auto& dot = *f.engine().buffers().blocks[15];
  return std::any_of(dot.end() - 100, dot.end(), [](std::uint8_t s) { return s != kSilentLevel; });
}
bool fasterUnit(const MainWindow& f, const std::vector<std::uint8_t>&) {
  return f.engine().unitMs() == 32;  // digits at speed 20
}
bool otherTone(const MainWindow& f, const std::vector<std::uint8_t>& before) {
  const auto& dot = *f.engine().buffers().blocks[15];
  return dot.size() == before.size() && dot != before;
}

INSTANTIATE_TEST_SUITE_P(
    Sliders, SoundChange,
    ::testing::Values(SoundCase{"Speed", "speedSlider", 20, true, fasterUnit},
                      SoundCase{"Signal", "signalSlider", 127, true, allTonesAt127},
                      SoundCase{"Noise", "noiseSlider", 0, true, silenceIsNoisy},
                      SoundCase{"Frequency", "toneSlider", 1000, false, otherTone}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, TheEndOfAKeyPressOrClickNotifiesEvenWithoutAMove) {
  showActive();
  click(control<QPushButton>(*form, "PlayButton"));
  tick();
  // The signal slider stands at its top already: Home moves nothing, its release still counts.
  SymbolBlock before = block(15);
  QTest::keyClick(control<QSlider>(*form, "signalSlider"), Qt::Key_Home);
  EXPECT_EQ(control<QSlider>(*form, "signalSlider")->value(), 0);
  EXPECT_NE(block(15), before);
  // So does letting go of the mouse on the slider.
  before = block(15);
  const QPoint knob = control<QSlider>(*form, "signalSlider")->rect().center();
  QTest::mousePress(control<QSlider>(*form, "signalSlider"), Qt::LeftButton, {}, knob);
  QTest::mouseRelease(control<QSlider>(*form, "signalSlider"), Qt::LeftButton, {}, knob);
  EXPECT_NE(block(15), before);
  // Other keys (Tab leaving the slider) do not.
  before = block(15);
  QTest::keyRelease(control<QSlider>(*form, "signalSlider"), Qt::Key_Tab);
  EXPECT_EQ(block(15), before);
}

// The menu's items reach the presenter through our own open dialog, and the ticks and the field
// show what it decided.
TEST_F(MainWindowTest, TextSourceMenuItemsAreBoundThroughOurOwnDialog) {
  const std::string path = writeFile("12345 67890");
  nextFileChoice(path);
  control<QAction>(*form, "fileTextItem")->trigger();
  ASSERT_EQ(dialogTitles.size(), 1u);
  ASSERT_EQ(dialogFilters[0].size(), 1);
  EXPECT_FALSE(dialogNative[0]);
  EXPECT_TRUE(control<QAction>(*form, "fileTextItem")->isChecked());
  EXPECT_FALSE(control<QAction>(*form, "randomTextItem")->isChecked());
  EXPECT_EQ(control<QLineEdit>(*form, "groupCountEdit")->text(), "2");
  EXPECT_EQ(control<UpDown>(*form, "groupCountArrows")->max(), 2);
  EXPECT_FALSE(control<QGroupBox>(*form, "textKindBox")->isEnabled());
  // Cancelled while ticked: the click does not move the tick by itself.
  nextFileChoice("");
  control<QAction>(*form, "fileTextItem")->trigger();
  EXPECT_TRUE(control<QAction>(*form, "fileTextItem")->isChecked());
  control<QAction>(*form, "randomTextItem")->trigger();
  control<QAction>(*form, "randomTextItem")->trigger();
  EXPECT_TRUE(control<QAction>(*form, "randomTextItem")->isChecked());
  EXPECT_FALSE(control<QAction>(*form, "fileTextItem")->isChecked());
  EXPECT_TRUE(control<QGroupBox>(*form, "textKindBox")->isEnabled());
}

TEST_F(MainWindowTest, AnErrorIsReportedUnderTheProgramsTitle) {
  showActive();
  type(control<QLineEdit>(*form, "groupCountEdit"), "abc");
  click(control<QPushButton>(*form, "PlayButton"));
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].title, "Kelvak");
  EXPECT_EQ(reports[0].icon, QMessageBox::Critical);
  click(control<QPushButton>(*form, "StopButton"));
  expectIdle();
}

TEST_F(MainWindowTest, ADeviceThatCannotBeOpenedIsReportedByTheWindowsOwnBox) {
  device.openSucceeds = false;
  click(control<QPushButton>(*form, "PlayButton"));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
  EXPECT_EQ(boxes[0].owner, form.get());
  expectIdle();
}

TEST_F(MainWindowTest, TheProgressBarKeepsItsPositionWithinANarrowerRange) {
  form->setProgressMax(100);
  form->setProgressPosition(40);
  form->setProgressMax(10);
  EXPECT_EQ(form->progressPosition(), 10);
  EXPECT_EQ(control<QProgressBar>(*form, "progressBar")->value(), 10);
  EXPECT_EQ(control<QProgressBar>(*form, "progressBar")->maximum(), 10);
  form->setProgressPosition(65535);
  EXPECT_EQ(control<QProgressBar>(*form, "progressBar")->value(), 10);
}

TEST_F(MainWindowTest, ThePaneFollowsTheNewestCharacters) {
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  for (int i = 0; i < 400; ++i) form->appendText(i % 6 == 5 ? " " : "7");
  QScrollBar* bar = control<QPlainTextEdit>(*form, "textPane")->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_EQ(control<QPlainTextEdit>(*form, "textPane")->toPlainText().size(), 400);
  EXPECT_EQ(control<QPlainTextEdit>(*form, "textPane")->document()->blockCount(),
            1);  // no line break is ever inserted
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
  EXPECT_EQ(form->height(), 337 + control<QMenuBar>(*form, "mainMenu")->height());
  EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
}

TEST_F(MainWindowTest, ControlsSitWhereTheyWereDesigned) {
  struct Place {
    QWidget* w;
    QRect r;
  };
  const Place places[] = {
      {control<QPlainTextEdit>(*form, "textPane"), {8, 8, 337, 153}},
      {control<QLineEdit>(*form, "groupCountEdit"), {360, 24, 33, 21}},
      {control<UpDown>(*form, "groupCountArrows"), {393, 24, 15, 21}},
      {control<QPushButton>(*form, "PlayButton"), {552, 16, 75, 25}},
      {control<QPushButton>(*form, "PauseButton"), {552, 48, 73, 25}},
      {control<QLineEdit>(*form, "charPauseEdit"), {376, 80, 33, 21}},
      {control<UpDown>(*form, "charPauseArrows"), {409, 80, 15, 21}},
      {control<QLineEdit>(*form, "groupPauseEdit"), {472, 80, 33, 21}},
      {control<UpDown>(*form, "groupPauseArrows"), {505, 80, 15, 21}},
      {control<QPushButton>(*form, "StopButton"), {552, 80, 75, 25}},
      {control<QFrame>(*form, "levelPanel"), {8, 168, 497, 145}},
      {control<QGroupBox>(*form, "textKindBox"), {512, 168, 73, 105}},
      {control<QStatusBar>(*form, "statusLine"), {0, 315, 631, 22}},
      {control<QProgressBar>(*form, "progressBar"), {320, 320, 273, 16}},
      {control<QSlider>(*form, "signalSlider"), {9, 40, 40, 100}},
      {control<QSlider>(*form, "noiseSlider"), {80, 40, 25, 100}},
      {control<QSlider>(*form, "toneSlider"), {152, 32, 321, 17}},
      {control<QSlider>(*form, "speedSlider"), {152, 104, 321, 17}},
  };
  for (const Place& p : places) EXPECT_EQ(p.w->geometry(), p.r) << p.w->objectName().toStdString();
  const std::pair<QWidget*, QPoint> labels[] = {
      {control<QLabel>(*form, "groupCountCaption"), {360, 8}},
      {control<QLabel>(*form, "pauseCaption"), {416, 48}},
      {control<QLabel>(*form, "charPauseCaption"), {352, 64}},
      {control<QLabel>(*form, "groupPauseCaption"), {456, 64}},
      {control<QLabel>(*form, "signalCaption"), {16, 8}},
      {control<QLabel>(*form, "noiseCaption"), {80, 8}},
      {control<QLabel>(*form, "signalValue"), {24, 24}},
      {control<QLabel>(*form, "noiseValue"), {94, 24}},
      {control<QLabel>(*form, "toneCaption"), {256, 8}},
      {control<QLabel>(*form, "toneValue"), {336, 8}},
      {control<QLabel>(*form, "toneMinLabel"), {168, 16}},
      {control<QLabel>(*form, "toneMaxLabel"), {464, 16}},
      {control<QLabel>(*form, "speedCaption"), {248, 80}},
      {control<QLabel>(*form, "speedValue"), {376, 80}},
      {control<QLabel>(*form, "speedMinLabel"), {152, 92}},
      {control<QLabel>(*form, "speedMaxLabel"), {464, 92}},
      {control<QCheckBox>(*form, "longZeroBox"), {352, 120}},
      {control<QCheckBox>(*form, "specialSignsBox"), {352, 144}},
  };
  for (const auto& [w, at] : labels) EXPECT_EQ(w->pos(), at) << w->objectName().toStdString();
  // The progress bar lies over the right part of the status bar.
  EXPECT_EQ(control<QProgressBar>(*form, "progressBar")->parentWidget(),
            control<QStatusBar>(*form, "statusLine")->parentWidget());
  const auto siblings = form->centralWidget()->children();
  EXPECT_GT(siblings.indexOf(control<QProgressBar>(*form, "progressBar")),
            siblings.indexOf(control<QStatusBar>(*form, "statusLine")));
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
  EXPECT_LE(control<QGroupBox>(*form, "textKindBox")
                    ->fontMetrics()
                    .horizontalAdvance(control<QGroupBox>(*form, "textKindBox")->title()) +
                16,
            control<QGroupBox>(*form, "textKindBox")->width());
  EXPECT_LE(control<QMenuBar>(*form, "mainMenu")->sizeHint().width(), form->width());
}

TEST_F(MainWindowTest, FontsStandInForTheWindowsOnesWithCyrillic) {
  const QFontInfo window(form->font());
  EXPECT_EQ(window.pixelSize(), 11);
  EXPECT_TRUE(window.family() == "Liberation Sans" || window.family() == "Arimo" ||
              window.family() == "DejaVu Sans")
      << window.family().toStdString();
  for (QMenu* menu : {control<QMenu>(*form, "textMenu"), control<QMenu>(*form, "helpMenu")}) {
    EXPECT_EQ(QFontInfo(menu->font()).family(), window.family());
    EXPECT_EQ(QFontInfo(menu->font()).pixelSize(), 11);
  }
  const QFontInfo pane(control<QPlainTextEdit>(*form, "textPane")->font());
  EXPECT_EQ(pane.pixelSize(), 16);
  EXPECT_TRUE(pane.fixedPitch()) << pane.family().toStdString();
  EXPECT_EQ(control<QPlainTextEdit>(*form, "textPane")->palette().color(QPalette::Base),
            QColor(Qt::black));
  EXPECT_EQ(control<QPlainTextEdit>(*form, "textPane")->palette().color(QPalette::Text),
            QColor(Qt::red));
  EXPECT_TRUE(QFontMetrics(form->font()).inFont(QChar(u'Ж')));
  EXPECT_TRUE(QFontMetrics(control<QPlainTextEdit>(*form, "textPane")->font()).inFont(QChar(u'ж')));
  // The selection stays visible when the pane loses the focus.
  EXPECT_EQ(control<QPlainTextEdit>(*form, "textPane")
                ->palette()
                .color(QPalette::Inactive, QPalette::Highlight),
            control<QPlainTextEdit>(*form, "textPane")
                ->palette()
                .color(QPalette::Active, QPalette::Highlight));
  EXPECT_TRUE(control<QPlainTextEdit>(*form, "textPane")->isReadOnly());
}

TEST_F(MainWindowTest, OnlyTheGroupCountAndThePaneShowTooltips) {
  EXPECT_EQ(control<QLineEdit>(*form, "groupCountEdit")->toolTip(), "Количество групп текста");
  EXPECT_EQ(control<QPlainTextEdit>(*form, "textPane")->toolTip(), "Отображение текста");
  const std::pair<QSlider*, const char*> hints[] = {
      {control<QSlider>(*form, "speedSlider"), "Скорость (групп в минуту)"},
      {control<QSlider>(*form, "signalSlider"), "Уровень сигнала"},
      {control<QSlider>(*form, "noiseSlider"), "Уровень помехи"},
      {control<QSlider>(*form, "toneSlider"), "Частота воспроизведения"}};
  for (const auto& [slider, hint] : hints) {
    EXPECT_TRUE(slider->toolTip().isEmpty());
    EXPECT_EQ(slider->accessibleDescription(), QString::fromUtf8(hint));
  }
}

TEST_F(MainWindowTest, ButtonsCarryPicturesAndAccessKeys) {
  EXPECT_EQ(control<QPushButton>(*form, "PlayButton")->text(), "&Play");
  EXPECT_EQ(control<QPushButton>(*form, "PauseButton")->text(), "Pa&use");
  EXPECT_EQ(control<QPushButton>(*form, "StopButton")->text(), "&Stop");
  for (QPushButton* b :
       {control<QPushButton>(*form, "PlayButton"), control<QPushButton>(*form, "StopButton")}) {
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
  EXPECT_TRUE(control<QPushButton>(*form, "PauseButton")->isCheckable());
}

TEST_F(MainWindowTest, MenuItemsWithTicksAndShortcuts) {
  const QList<QAction*> bar = control<QMenuBar>(*form, "mainMenu")->actions();
  ASSERT_EQ(bar.size(), 3);
  EXPECT_EQ(bar[0], control<QMenu>(*form, "textMenu")->menuAction());
  EXPECT_EQ(bar[1], control<QMenu>(*form, "helpMenu")->menuAction());
  EXPECT_EQ(bar[2], control<QAction>(*form, "exitItem"));  // Exit stands on the menu bar itself
  EXPECT_EQ(control<QMenu>(*form, "textMenu")->title(), "&Текст");
  // Beside the described window: "Справка", "Выход" and the items of "Текст" have their letters.
  EXPECT_EQ(control<QMenu>(*form, "helpMenu")->title(), "&Справка");
  // The text menu begins with the two sources; what follows them is new (saving a sound file).
  EXPECT_EQ(control<QMenu>(*form, "textMenu")->actions().mid(0, 2),
            (QList<QAction*>{control<QAction>(*form, "fileTextItem"),
                             control<QAction>(*form, "randomTextItem")}));
  EXPECT_EQ(
      control<QMenu>(*form, "helpMenu")->actions(),
      (QList<QAction*>{control<QAction>(*form, "helpItem"), control<QAction>(*form, "aboutItem")}));
  EXPECT_EQ(control<QAction>(*form, "fileTextItem")->text(), "&Из Файла...");
  EXPECT_EQ(control<QAction>(*form, "randomTextItem")->text(), "&Случайный");
  EXPECT_EQ(control<QAction>(*form, "helpItem")->text(), "&Справка Kelvak");
  EXPECT_EQ(control<QAction>(*form, "aboutItem")->text(), "&О программе (и не только)...");
  EXPECT_EQ(control<QAction>(*form, "exitItem")->text(), "&Выход");
  EXPECT_EQ(control<QAction>(*form, "helpItem")->shortcut(), QKeySequence(Qt::Key_F1));
  EXPECT_EQ(control<QAction>(*form, "exitItem")->shortcut(), QKeySequence(Qt::Key_F10));
  // "Random" is drawn as a radio item, "from file" with a plain check mark.
  EXPECT_TRUE(control<QAction>(*form, "randomTextItem")->actionGroup() &&
              control<QAction>(*form, "randomTextItem")->actionGroup()->isExclusive());
  EXPECT_EQ(control<QAction>(*form, "fileTextItem")->actionGroup(), nullptr);
  EXPECT_TRUE(control<QAction>(*form, "fileTextItem")->isCheckable());
}

TEST_F(MainWindowTest, TheHelpMenuShowsTheHelpWindowAndTheAboutBoxWithoutBlocking) {
  AboutBox about(form.get());
  HelpWindow help(form.get());
  form->setSecondaryWindows(&about, &help);
  showActive();
  ASSERT_FALSE(help.isVisible());
  QTest::keyClick(form.get(), Qt::Key_F1);
  QTRY_VERIFY_WITH_TIMEOUT(help.isVisible(), 10000);
  EXPECT_FALSE(help.isModal());
  control<QAction>(*form, "aboutItem")->trigger();
  control<QAction>(*form, "aboutItem")->trigger();
  QTRY_VERIFY_WITH_TIMEOUT(about.isVisible(), 10000);
  EXPECT_EQ(form->findChildren<AboutBox*>().size(), 1);
  // The main window keeps working meanwhile: a transmission starts and runs.
  click(control<QPushButton>(*form, "PlayButton"));
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
  click(control<QPushButton>(*form, "PlayButton"));
  tick();
  QTimer act;
  act.setSingleShot(true);
  QObject::connect(&act, &QTimer::timeout, [this] {
    switch (GetParam()) {
      case ExitBy::F10:
        QTest::keyClick(form.get(), Qt::Key_F10);
        break;
      case ExitBy::MenuItem:
        control<QAction>(*form, "exitItem")->trigger();
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
                         ::testing::Values(ExitBy::F10, ExitBy::MenuItem, ExitBy::CloseBox),
                         [](const auto& info) {
                           return std::string(info.param == ExitBy::F10        ? "F10"
                                              : info.param == ExitBy::MenuItem ? "MenuItem"
                                                                               : "CloseBox");
                         });

}  // namespace
}  // namespace kelvak
