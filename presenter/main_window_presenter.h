// What the main window decides: the handling of every control and menu item, the value labels and
// prompts, the export from the window and the error routing. The window binds its controls to
// these handlers and shows what the presenter asks through MainView.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "playback/settings.h"
#include "playback/timer.h"
#include "playback/transmission.h"
#include "playback/wave_device.h"
#include "presenter/error_gate.h"
#include "presenter/main_view.h"
#include "presenter/training_host.h"
#include "synth/random.h"

namespace kelvak {

// Texts the main window shows.
inline constexpr const char* kSaveSoundCaption = "Сохранить в &звуковой файл...";

// What an export from the window wrote.
struct SavedExport {
  std::string audioPath;
  std::string keyPath;
  TransmissionSettings settings;
  std::size_t symbols = 0;  // characters in the key, the start signal not among them
};

// The status bar's line after an export: the names of the sound and the key, which fit the bar;
// `detail` names them with their whole paths, for the tooltip and a screen reader.
struct StatusLine {
  std::string text, detail;
};
StatusLine savedExportStatus(const SavedExport& saved);

// The name the save dialog suggests, without extension: the text kind (the text file's own name
// with the file source), the speed and the day (`isoDay`, YYYY-MM-DD).
std::string suggestedExportName(const TransmissionSettings& settings, const std::string& filePath,
                                const std::string& isoDay);

class MainWindowPresenter : public TrainingHost {
 public:
  // Every handler below runs through `gate`: what it throws is reported and the program goes on.
  MainWindowPresenter(MainView& view, Timer& timer, WaveDevice& device, ErrorGate& gate);

  // --- what happened in the window ---
  // The window has made its controls: each setting's control takes its range and starting position
  // from the settings table, and the value labels show them.
  void controlsMade();
  void settingChanged(SoundSetting slider);  // a slider moved, or a drag or key press on it ended
  void controlEntered(PromptedControl control);  // the keyboard focus entered a control
  void textKindChanged();                        // a text kind or the special signs toggled
  void fileTextChosen();
  void randomTextChosen();
  void playClicked();
  void stopClicked();
  void pauseClicked();
  void timerTicked();
  void saveSoundRequested();  // beside the described program: the next transmission to a file
  void aboutRequested();
  void helpRequested();
  void exitRequested();  // the Exit item, F10 and closing the window
  // The moment MainView::followSoundIn asked for: shows what has begun to sound.
  void soundFollowDue();

  const Transmission& engine() const { return engine_; }

  // --- TrainingHost ---
  const Transmission& transmission() const override { return engine_; }
  void setTransmittedTextHidden(bool hidden) override { engine_.setTextHidden(hidden); }
  void reseedGenerator(std::uint64_t state) override { random_.setState(state); }
  void showStatus(const std::string& utf8) override { view_.setStatusText(utf8); }
  void setTrainingEvents(TrainingEvents events) override { trainingEvents_ = std::move(events); }
  TransmissionSettings windowSettings() const override { return settingsFrom(view_); }
  int textKind() const override { return view_.textKind(); }
  bool specialSigns() const override { return view_.specialSigns(); }
  int speed() const override { return view_.speed(); }
  void chooseTextKind(int kind) override { view_.chooseTextKind(kind); }
  void chooseSpeed(int speed) override { view_.chooseSpeed(speed); }
  void setSymbolWeighting(Transmission::Weighting weighting) override {
    engine_.setWeighting(std::move(weighting));
  }
  void setLearningStatus(const std::string& utf8, const std::string& detail) override {
    view_.setLearningStatus(utf8, detail);
  }
  Transmission& drillEngine() override { return engine_; }
  void stopTransmission() override;
  void watchTextKind(std::function<void()> changed) override { kindWatch_ = std::move(changed); }

 private:
  // Runs a handler through the error gate, then follows the sound with the pane: a tick wrote a
  // block, or a transmission began, paused or ended.
  void dispatch(const std::function<void()>& handler);
  void followSound();
  void saveSound();
  // What the label beside `slider` shows for the slider's position now.
  int shownValue(SoundSetting slider) const;

  MainView& view_;
  ErrorGate& gate_;
  Random random_;  // the program's one generator
  Transmission engine_;
  TrainingEvents trainingEvents_;
  std::function<void()> kindWatch_;
};

}  // namespace kelvak
