// The settings' menu item and the help window's size, bound to the settings presenter.
#include "ui/settings_keeper.h"

#include <QAction>

#include "app/user_files.h"
#include "ui/help_window.h"
#include "ui/main_window.h"
#include "ui/training_menu.h"

namespace kelvak {

SettingsKeeper::SettingsKeeper(MainWindow& window, HelpWindow* help, ErrorGate& gate,
                               std::string path)
    : help_(help), presenter_(window, help ? this : nullptr, gate, std::move(path)) {
  defaultsItem = window.addTextMenuItem(QString::fromUtf8("&Настройки по умолчанию"));
  defaultsItem->setObjectName("DefaultsItem");
  connect(defaultsItem, &QAction::triggered, this, [this] { presenter_.restoreDefaults(); });
}

void SettingsKeeper::setTraining(TrainingMenu* training) {
  presenter_.setTraining(training ? &training->presenter() : nullptr);
}

std::string SettingsKeeper::defaultPath() { return userFilePath(UserFile::Settings); }

std::pair<int, int> SettingsKeeper::helpSize() const {
  if (help_->size() == help_->minimumSize()) return {0, 0};
  return {help_->width(), help_->height()};
}

void SettingsKeeper::setHelpSize(int width, int height) {
  help_->resize(width > 0 ? QSize(width, height) : help_->minimumSize());
}

}  // namespace kelvak
