// The main window: every setting of the program, the text pane, the menu and the buttons.
#pragma once

#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>

#include "playback/controls.h"
#include "presenter/error_gate.h"
#include "playback/transmission.h"
#include "synth/random.h"
#include "ui/error_report.h"
#include "ui/training_menu.h"

class QButtonGroup;
class QFileDialog;
class QLabel;
class QSlider;
class QTimer;
namespace Ui {
class MainWindow;
}

namespace kelvak {

class AboutBox;
class HelpWindow;
class QtTimer;

// The window's controls are named for what they hold (speedSlider, groupCountEdit, exitItem...),
// its handlers for what happened (speedChanged, playClicked, helpRequested). Each handler runs
// through the error gate, so a failure ends the handler, shows the error report and the program
// goes on.
class MainWindow : public QMainWindow, public kelvak::Controls, public kelvak::TrainingHost {
  Q_OBJECT

 public:
  // Runs the file dialog and tells whether the user confirmed it.
  using FileDialogPresenter = std::function<bool(QFileDialog&)>;

  // `timer` replaces the window's own precise timer (tests tick it by hand and call
  // tick()); the window does not take it over.
  MainWindow(kelvak::WaveDevice& device, kelvak::ErrorGate& gate, kelvak::Timer* timer = nullptr,
             QWidget* parent = nullptr);
  ~MainWindow() override;

  // The window's controls, as the window description names them: for the window's companions
  // (its menus and screen-reader names) and its tests.
  Ui::MainWindow& ui() const { return *ui_; }

  // The secondary windows that the Help menu shows; either may be null.
  void setSecondaryWindows(AboutBox* aboutBox, HelpWindow* helpWindow);

  // --- handlers ---
  void speedChanged();
  void signalChanged();
  void noiseChanged();
  void toneChanged();
  void speedSliderEntered();
  void signalSliderEntered();
  void noiseSliderEntered();
  void toneSliderEntered();
  void groupCountEntered();
  void fileTextChosen();
  void randomTextChosen();
  void exitRequested();
  void aboutRequested();
  void helpRequested();
  void playClicked();
  void stopClicked();
  void pauseClicked();
  void timerTicked();
  // Beside the described program: "Сохранить в звуковой файл..." in the text menu.
  void saveSoundRequested();

  // A tick of the window's timer, dispatched like every other event.
  void tick();

  // The sound and transmission state behind the window.
  const kelvak::Transmission& engine() const { return engine_; }

  // --- kelvak::TrainingHost: the training menu beside the window's own commands ---
  QWidget* hostWindow() override { return this; }
  void insertTrainingMenu(QMenu* menu) override;
  const kelvak::Transmission& transmission() const override { return engine_; }
  void setTransmittedTextHidden(bool hidden) override { engine_.setTextHidden(hidden); }
  void reseedGenerator(std::uint64_t state) override { random_.setState(state); }
  void showStatus(const std::string& utf8) override { setStatusText(utf8); }
  kelvak::TransmissionSettings windowSettings() const override {
    return kelvak::settingsFrom(*this);
  }
  void setTrainingEvents(kelvak::TrainingEvents events) override {
    trainingEvents_ = std::move(events);
  }
  void chooseTextKind(int kind) override;
  void chooseSpeed(int speed) override;
  void setSymbolWeighting(kelvak::Transmission::Weighting weighting) override {
    engine_.setWeighting(std::move(weighting));
  }
  void setLearningStatus(const std::string& utf8, const std::string& detail) override;
  kelvak::Transmission& drillEngine() override { return engine_; }
  void stopTransmission() override;
  void watchTextKind(std::function<void()> changed) override;

  // --- seams for tests: what would otherwise wait for the user ---
  void setFileDialogPresenter(FileDialogPresenter present) { fileDialog_ = std::move(present); }
  void setMessageBoxPresenter(kelvak::BoxPresenter present) { messageBox_ = std::move(present); }

  // --- kelvak::Controls ---
  int speed() const override;
  int textKind() const override;
  int frequency() const override;
  int signalPosition() const override;
  int noisePosition() const override;
  std::string groupCountText() const override;
  std::string charPauseText() const override;
  std::string groupPauseText() const override;
  bool randomSource() const override;
  bool longZero() const override;
  bool specialSigns() const override;
  void setPlayEnabled(bool on) override;
  void setStopEnabled(bool on) override;
  void setPauseEnabled(bool on) override;
  void setPauseDown(bool down) override;
  void setGroupCountEnabled(bool on) override;
  void clearText() override;
  void appendText(const std::string& utf8) override;
  void setStatusText(const std::string& utf8) override;
  void setProgressMax(std::uint16_t max) override;
  void setProgressPosition(std::uint16_t position) override;
  std::uint16_t progressPosition() const override { return progressPos_; }
  void showMessage(const std::string& text, const std::string& caption) override;
  void setSourceChecks(bool randomTicked) override;
  void setGroupCountMax(int max) override;
  void setGroupCount(int groups) override;
  void setTextKindEnabled(bool on) override;

  // The status bar's text with `detail` in its tooltip and accessible description.
  void setStatusText(const std::string& utf8, const std::string& detail);
  // The status bar's one simple text.
  QString statusText() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  using Handler = void (MainWindow::*)();
  // A slider with the handlers of its change and of the focus entering it.
  struct SliderHandlers {
    QSlider* slider;
    Handler change;
    Handler enter;
  };
  std::array<SliderHandlers, 4> sliderHandlers() const;
  // Runs a handler through the error gate, then follows the sound with the pane.
  void dispatch(Handler handler);
  // Shows what has begun to sound and arms soundFollower_ for the next block still to come.
  void followSound();
  void bindEvents();
  void applyLook();
  // Enabling or disabling a control moves the keyboard focus off it; that is not the user
  // entering the next control, so it shows no prompt.
  void setEnabledQuietly(QWidget* control, bool on);
  void writeLevel(QLabel* label, int position);
  static void fitLabel(QLabel* label);

  kelvak::ErrorGate& gate_;
  kelvak::Random random_;  // the program's one generator
  std::unique_ptr<kelvak::QtTimer> ownTimer_;
  kelvak::Timer& timer_;
  kelvak::Transmission engine_;
  QButtonGroup* textKinds_ = nullptr;  // the text kind, by item index 0..2

  QAction* saveSoundItem = nullptr;  // the text menu's item that saves a sound file
  QTimer* soundFollower_ = nullptr;  // single shot: when the next block written begins to sound
  // The lesson Play sends, at the status bar's side.
  QLabel* learningStatus_ = nullptr;
  QMetaObject::Connection kindWatch_[2];  // the training menu's watch of the text kind
  AboutBox* aboutBox_ = nullptr;
  HelpWindow* helpWindow_ = nullptr;

  std::uint16_t progressMax_ = 46;
  std::uint16_t progressPos_ = 0;
  QWidget* activeControl_ = nullptr;  // the control that last had the focus in this window
  bool quietFocus_ = false;

  FileDialogPresenter fileDialog_;
  kelvak::BoxPresenter messageBox_;
  kelvak::TrainingEvents trainingEvents_;
  std::unique_ptr<Ui::MainWindow> ui_;
};

}  // namespace kelvak
