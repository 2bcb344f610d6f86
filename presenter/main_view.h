// What the main window's presenter asks of the window: its controls (Controls) and the few things
// only a toolkit can do, such as dialogs, the value labels and ending the message loop.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>

#include "export/exporter.h"
#include "playback/controls.h"
#include "playback/transmission.h"
#include "settings/setting_table.h"
#include "training/kept_settings.h"

namespace kelvak {

// The window's controls whose focus shows a prompt in the status bar.
enum class PromptedControl { Speed, Signal, Noise, Tone, GroupCount };

// The export's work, off the window's thread: it tells `progress` how far it has come at every
// step and stops when that answers false (the user cancelled); true when it wrote its files.
using ExportWork = std::function<bool(const ExportProgress& progress)>;

// What running an export came to.
struct ExportRun {
  bool completed = false;        // the work returned true
  bool quit = false;             // F10 during the export: the user ends the program
  std::exception_ptr failure;    // what the work threw
};

class MainView : public Controls {
 public:
  using Controls::setStatusText;

  // The control of `setting`, a slider or a field's arrows, runs over the positions low..high and
  // stands at `position`, its field showing it; the numbers at a slider's two ends, where it has
  // them, are low and high. Asked once, as the window opens.
  virtual void setUpSetting(Setting setting, int low, int high, int position) = 0;
  // The label beside a slider shows `value`.
  virtual void showSettingValue(SoundSetting slider, int value) = 0;
  // The status bar's text with `detail` (whole paths, say) in its tooltip and for a screen reader.
  virtual void setStatusText(const std::string& utf8, const std::string& detail) = 0;
  // A short text at the side of the status bar with a longer one for its tooltip; empty: none.
  virtual void setLearningStatus(const std::string& utf8, const std::string& detail) = 0;
  // Ticks a text kind (0 digits, 1 letters, 2 mixture) or moves the speed slider, as the user
  // would: the window's handlers follow.
  virtual void chooseTextKind(int kind) = 0;
  virtual void chooseSpeed(int speed) = 0;
  // Every control shows the setting kept for it, as if the user had set it: the text kind, the
  // sliders, the fields and the two options. The group count is within groupCountLimit().
  virtual void showSettings(const KeptSettings& settings) = 0;
  // The highest group count the field's arrows reach now.
  virtual int groupCountLimit() const = 0;

  // The open dialog for a text file: the path chosen (in the system's encoding), or nothing when
  // the user cancelled.
  virtual std::optional<std::string> chooseTextFile() = 0;
  // The save dialog for a sound file, suggesting `suggestedName` (no folder, no extension): the
  // path chosen with its extension, or nothing when the user cancelled.
  virtual std::optional<std::string> chooseSoundFile(const std::string& suggestedName) = 0;
  // Runs `work` off the window's thread while the window goes on, with a progress report named for
  // `fileName` once it takes long, whose cancel button (and F10) makes the progress answer false;
  // returns when the work has ended.
  virtual ExportRun runExport(const std::string& fileName, const ExportWork& work) = 0;

  virtual void showAbout() = 0;
  virtual void showHelp() = 0;
  // Ends the message loop: the program ends.
  virtual void quit() = 0;
  // Asks for MainWindowPresenter::soundFollowDue() after `ms` [ms]; -1: not at all.
  virtual void followSoundIn(int ms) = 0;
};

}  // namespace kelvak
