// The main window: every setting of the program, the text pane, the menu and the buttons.
#pragma once

#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "presenter/error_gate.h"
#include "presenter/main_view.h"
#include "presenter/main_window_presenter.h"
#include "ui/error_report.h"

class QButtonGroup;
class QFileDialog;
class QLabel;
class QMenu;
class QSlider;
class QTimer;
namespace Ui {
class MainWindow;
}

namespace kelvak {

class AboutBox;
class HelpWindow;
class QtTimer;

// The window's controls are named for what they hold (speedSlider, groupCountEdit, exitItem...).
// What the window decides is the presenter's (MainWindowPresenter): the window binds its controls
// to the presenter's handlers and shows what the presenter asks.
class MainWindow : public QMainWindow, public kelvak::MainView {
  Q_OBJECT

 public:
  // Runs the file dialog and tells whether the user confirmed it.
  using FileDialogPresenter = std::function<bool(QFileDialog&)>;

  // `timer` replaces the window's own precise timer (tests tick it by hand and call
  // tick()); the window does not take it over.
  MainWindow(kelvak::WaveDevice& device, kelvak::ErrorGate& gate, kelvak::Timer* timer = nullptr,
             QWidget* parent = nullptr);
  ~MainWindow() override;

  MainWindowPresenter& presenter() { return *presenter_; }

  // The secondary windows that the Help menu shows; either may be null.
  void setSecondaryWindows(AboutBox* aboutBox, HelpWindow* helpWindow);
  // Puts the training menu on the menu bar, before "Справка".
  void insertTrainingMenu(QMenu* menu);
  // Adds an item at the end of the text menu.
  QAction* addTextMenuItem(const QString& text);

  // A tick of the window's timer, dispatched like every other event.
  void tick() { presenter_->timerTicked(); }

  // The sound and transmission state behind the window.
  const kelvak::Transmission& engine() const { return presenter_->engine(); }

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

  // --- kelvak::MainView ---
  void setUpSetting(kelvak::Setting setting, int low, int high, int position) override;
  void showSettingValue(kelvak::SoundSetting slider, int value) override;
  void setStatusText(const std::string& utf8, const std::string& detail) override;
  void setLearningStatus(const std::string& utf8, const std::string& detail) override;
  void chooseTextKind(int kind) override;
  void chooseSpeed(int speed) override;
  void showSettings(const kelvak::KeptSettings& settings) override;
  int groupCountLimit() const override;
  std::optional<std::string> chooseTextFile() override;
  std::optional<std::string> chooseSoundFile(const std::string& suggestedName) override;
  kelvak::ExportRun runExport(const std::string& fileName, const kelvak::ExportWork& work) override;
  void showAbout() override;
  void showHelp() override;
  void quit() override;
  void followSoundIn(int ms) override;

  // The status bar's one simple text.
  QString statusText() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // A slider and the setting it changes.
  struct SliderSetting {
    QSlider* slider;
    kelvak::SoundSetting setting;
    kelvak::PromptedControl prompt;
  };
  std::array<SliderSetting, 4> sliderSettings() const;
  void bindEvents();
  void applyLook();
  // Enabling or disabling a control moves the keyboard focus off it; that is not the user
  // entering the next control, so it shows no prompt.
  void setEnabledQuietly(QWidget* control, bool on);
  static void fitLabel(QLabel* label);

  std::unique_ptr<kelvak::QtTimer> ownTimer_;
  std::unique_ptr<MainWindowPresenter> presenter_;
  QButtonGroup* textKinds_ = nullptr;  // the text kind, by item index 0..2

  QAction* saveSoundItem = nullptr;  // the text menu's item that saves a sound file
  QTimer* soundFollower_ = nullptr;  // single shot: when the next block written begins to sound
  // The lesson Play sends, at the status bar's side.
  QLabel* learningStatus_ = nullptr;
  AboutBox* aboutBox_ = nullptr;
  HelpWindow* helpWindow_ = nullptr;

  std::uint16_t progressMax_ = 46;
  std::uint16_t progressPos_ = 0;
  QWidget* activeControl_ = nullptr;  // the control that last had the focus in this window
  bool quietFocus_ = false;

  FileDialogPresenter fileDialog_;
  kelvak::BoxPresenter messageBox_;
  std::unique_ptr<Ui::MainWindow> ui_;
};

}  // namespace kelvak
