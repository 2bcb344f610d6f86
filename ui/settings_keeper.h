// Keeps the main window's settings from one run to the next: restored at the start, saved at the
// end, and a menu item that returns to the start-up the program always had.
#pragma once

#include <QObject>
#include <string>

#include "training/kept_settings.h"

class QAction;

namespace kelvak {

class ErrorGate;
class HelpWindow;
class MainWindow;
class TrainingMenu;

class SettingsKeeper : public QObject {
  Q_OBJECT

 public:
  // Notes the window as it is now, before anything else changed it: the program's defaults. Adds
  // "Настройки по умолчанию" to the window's text menu. `help` may be null.
  SettingsKeeper(MainWindow& window, HelpWindow* help, ErrorGate& gate,
                 std::string path = defaultPath());
  // The training menu, whose modes are kept too (hidden text, weak characters).
  void setTraining(TrainingMenu* training) { training_ = training; }

  // "settings.json" in the user's configuration folder for the program.
  static std::string defaultPath();

  // At the start: the kept settings, if any. A damaged file is said once and replaced by the
  // defaults; nothing here stops the start.
  void restore();
  // At the end: the settings as they are now, written atomically. A failure is reported.
  void save();
  // The menu item: the start-up settings again (the kept file follows at the end).
  void restoreDefaults();

  KeptSettings current() const;
  const KeptSettings& defaults() const { return defaults_; }

  QAction* defaultsItem = nullptr;

 private:
  void apply(const KeptSettings& settings);

  MainWindow& window_;
  TrainingMenu* training_ = nullptr;
  HelpWindow* help_;
  ErrorGate& gate_;
  SettingsFile file_;
  KeptSettings defaults_;
};

}  // namespace kelvak
