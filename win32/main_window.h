// The main window on the Windows API: the controls, menus and status bar bound to the main
// window's presenter.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "presenter/error_gate.h"
#include "presenter/main_view.h"
#include "presenter/main_window_presenter.h"
#include "win32/timer.h"

namespace kelvak::win32 {

// The error report: a message box with a stop icon, captioned with the program's title.
class ErrorBox : public ErrorReporter {
 public:
  void setOwner(HWND owner) { owner_ = owner; }
  void showErrorReport(const std::string& text) override;

 private:
  HWND owner_ = nullptr;
};

class MainWindow : public MainView {
 public:
  MainWindow(WaveDevice& device, ErrorGate& gate);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  HWND handle() const { return window_; }
  MainWindowPresenter& presenter() { return *presenter_; }
  // The help window and the About box the Help menu shows.
  void setHelpDocumentFolder(std::string programFolder) { programFolder_ = std::move(programFolder); }
  // Shows the window and runs the message loop until the program ends; the exit code.
  int run();
  // Puts a menu of another part of the program on the menu bar, before "Справка", with the
  // handler of its items (true for an item it took).
  void insertMenu(HMENU popup, const wchar_t* title, std::function<bool(int id)> commands);
  // Runs `f` on the window's thread, later; from any thread.
  void post(std::function<void()> f) const;
  // Adds an item of another part of the program at the end of the "Текст" menu.
  void appendTextMenuItem(const wchar_t* text, std::function<void()> chosen);

  // --- Controls ---
  int speed() const override;
  int textKind() const override;
  int frequency() const override;
  int signalPosition() const override;
  int noisePosition() const override;
  std::string groupCountText() const override;
  std::string charPauseText() const override;
  std::string groupPauseText() const override;
  bool randomSource() const override { return randomTicked_; }
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

  // --- MainView ---
  void setUpSetting(Setting setting, int low, int high, int position) override;
  void showSettingValue(SoundSetting slider, int value) override;
  void setStatusText(const std::string& utf8, const std::string& detail) override;
  void setLearningStatus(const std::string& utf8, const std::string& detail) override;
  void chooseTextKind(int kind) override;
  void chooseSpeed(int speed) override;
  void showSettings(const KeptSettings& settings) override;
  int groupCountLimit() const override;
  std::optional<std::string> chooseTextFile() override;
  std::optional<std::string> chooseSoundFile(const std::string& suggestedName) override;
  ExportRun runExport(const std::string& fileName, const ExportWork& work) override;
  void showAbout() override;
  void showHelp() override;
  void quit() override;
  void followSoundIn(int ms) override;

 private:
  static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM w, LPARAM l);
  static LRESULT CALLBACK controlProcedure(HWND control, UINT message, WPARAM w, LPARAM l,
                                           UINT_PTR id, DWORD_PTR self);
  LRESULT handle(UINT message, WPARAM w, LPARAM l);
  void createControls();
  void createMenu();
  void command(int id, int code);
  void scrolled(HWND slider, int code);
  void focusEntered(HWND control);
  HWND control(int id) const { return GetDlgItem(window_, id); }
  int sliderValue(int id) const;
  void setSliderValue(int id, int value);
  std::string fieldText(int id) const;
  void setEnabledQuietly(int id, bool on);
  void setArrowsPosition(int id, int position);

  std::unique_ptr<Win32Timer> timer_;
  std::unique_ptr<MainWindowPresenter> presenter_;
  HWND window_ = nullptr;
  HWND status_ = nullptr;
  HWND progress_ = nullptr;
  HMENU menu_ = nullptr;
  HMENU textMenu_ = nullptr;
  HFONT font_ = nullptr;
  HFONT paneFont_ = nullptr;
  HBRUSH paneBrush_ = nullptr;
  HWND help_ = nullptr;
  std::string programFolder_;
  std::uint16_t progressMax_ = 46;
  std::uint16_t progressPos_ = 0;
  bool randomTicked_ = true;
  bool quietFocus_ = false;
  HWND lastFocus_ = nullptr;  // the control that last had the focus in this window
  std::wstring statusDetail_, learningDetail_;
  std::vector<std::function<bool(int)>> menuCommands_;
};

}  // namespace kelvak::win32
