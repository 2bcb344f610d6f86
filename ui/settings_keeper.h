// Keeps the main window's settings from one run to the next (SettingsPresenter), with the menu
// item that returns to the start-up the program always had and the help window's size.
#pragma once

#include <QObject>
#include <string>

#include "presenter/settings_presenter.h"

class QAction;

namespace kelvak {

class ErrorGate;
class HelpWindow;
class MainWindow;
class TrainingMenu;

class SettingsKeeper : public QObject, private HelpSizeView {
  Q_OBJECT

 public:
  // Notes the window as it is now, before anything else changed it: the program's defaults. Adds
  // "Настройки по умолчанию" to the window's text menu. `help` may be null.
  SettingsKeeper(MainWindow& window, HelpWindow* help, ErrorGate& gate,
                 std::string path = defaultPath());
  // The training menu, whose modes are kept too (hidden text, weak characters).
  void setTraining(TrainingMenu* training);

  // "settings.json" in the user's configuration folder for the program.
  static std::string defaultPath();

  void restore() { presenter_.restore(); }
  void save() { presenter_.save(); }
  KeptSettings current() const { return presenter_.current(); }
  const KeptSettings& defaults() const { return presenter_.defaults(); }

  QAction* defaultsItem = nullptr;

 private:
  std::pair<int, int> helpSize() const override;
  void setHelpSize(int width, int height) override;

  HelpWindow* help_;
  SettingsPresenter presenter_;
};

}  // namespace kelvak
