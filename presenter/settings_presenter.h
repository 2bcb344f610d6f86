// Keeps the main window's settings from one run to the next: restored at the start, saved at the
// end, and the start-up the program always had on request.
#pragma once

#include <string>
#include <utility>

#include "presenter/error_gate.h"
#include "presenter/main_view.h"
#include "presenter/training_presenter.h"
#include "training/kept_settings.h"

namespace kelvak {

// The help window's size, which the settings keep beside the main window's controls.
class HelpSizeView {
 public:
  virtual ~HelpSizeView() = default;
  // The size once the learner changed it; 0 x 0 while it has its designed size.
  virtual std::pair<int, int> helpSize() const = 0;
  // 0 x 0: the designed size.
  virtual void setHelpSize(int width, int height) = 0;
};

class SettingsPresenter {
 public:
  // Notes the window as it is now, before anything else changed it: the program's defaults.
  // `help` may be null.
  SettingsPresenter(MainView& window, HelpSizeView* help, ErrorGate& gate, std::string path);
  // The training's modes are kept too (hidden text, weak characters); null: none.
  void setTraining(TrainingPresenter* training) { training_ = training; }

  // At the start: the kept settings, if any. A damaged file is said once and replaced by the
  // defaults; nothing here stops the start.
  void restore();
  // At the end: the settings as they are now, written atomically. A failure is reported.
  void save();
  // "Настройки по умолчанию": the start-up settings again (the kept file follows at the end).
  void restoreDefaults();

  KeptSettings current() const;
  const KeptSettings& defaults() const { return defaults_; }

 private:
  void apply(const KeptSettings& settings);

  MainView& window_;
  HelpSizeView* help_;
  ErrorGate& gate_;
  TrainingPresenter* training_ = nullptr;
  SettingsFile file_;
  KeptSettings defaults_;
};

}  // namespace kelvak
