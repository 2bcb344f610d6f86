// Reading the window into the kept settings and back.
#include "ui/settings_keeper.h"

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QSlider>
#include <algorithm>

#include "app/user_files.h"
#include "base/error.h"
#include "presenter/error_gate.h"
#include "text/int_text.h"
#include "ui/help_window.h"
#include "ui/main_window.h"
#include "ui/training_menu.h"
#include "ui/up_down.h"
#include "ui_main_window.h"

namespace kelvak {

namespace {

// A field's number, or `otherwise` when it holds none within [min, max].
int fieldValue(const std::string& text, int min, int max, int otherwise) {
  try {
    const int v = fieldInteger(text);
    return v >= min && v <= max ? v : otherwise;
  } catch (const KelvakError&) {
    return otherwise;
  }
}

}  // namespace

SettingsKeeper::SettingsKeeper(MainWindow& window, HelpWindow* help, ErrorGate& gate,
                               std::string path)
    : window_(window), help_(help), gate_(gate), file_(std::move(path)) {
  defaults_ = current();
  defaults_.helpWidth = defaults_.helpHeight = 0;
  defaultsItem = window.ui().textMenu->addAction(QString::fromUtf8("&Настройки по умолчанию"));
  defaultsItem->setObjectName("DefaultsItem");
  connect(defaultsItem, &QAction::triggered, this,
          [this] { gate_.run([this] { restoreDefaults(); }); });
}

std::string SettingsKeeper::defaultPath() {
  return userFilePath(UserFile::Settings);
}

KeptSettings SettingsKeeper::current() const {
  KeptSettings s;
  s.textKind = window_.textKind();
  s.speed = window_.speed();
  s.frequency = window_.frequency();
  s.signalPosition = window_.signalPosition();
  s.noisePosition = window_.noisePosition();
  // A field left without a number keeps what the next start would show anyway.
  s.groups = fieldValue(window_.groupCountText(), 0, 999, defaults_.groups);
  s.charPause = fieldValue(window_.charPauseText(), 1, 5, defaults_.charPause);
  s.groupPause = fieldValue(window_.groupPauseText(), 1, 5, defaults_.groupPause);
  s.longZero = window_.longZero();
  s.specialSigns = window_.specialSigns();
  if (training_) {
    s.hideText = training_->hideText->isChecked();
    s.weakCharacters = training_->weakCharacters->isChecked();
  }
  if (help_ && help_->size() != help_->minimumSize()) {
    s.helpWidth = help_->width();
    s.helpHeight = help_->height();
  }
  return s;
}

void SettingsKeeper::apply(const KeptSettings& s) {
  Ui::MainWindow& ui = window_.ui();
  // While the course is on, the text kind is the course's set, which the course keeps itself.
  const bool courseSet =
      training_ && training_->learning().courseOn() && training_->learning().progress().set;
  if (!courseSet) window_.chooseTextKind(s.textKind);
  ui.speedSlider->setValue(s.speed);
  ui.toneSlider->setValue(s.frequency);
  ui.signalSlider->setValue(s.signalPosition);
  ui.noiseSlider->setValue(s.noisePosition);
  // A file's text limits the group count; random groups reach 999.
  ui.groupCountArrows->setPosition(std::min(s.groups, ui.groupCountArrows->max()));
  ui.charPauseArrows->setPosition(s.charPause);
  ui.groupPauseArrows->setPosition(s.groupPause);
  ui.longZeroBox->setChecked(s.longZero);
  ui.specialSignsBox->setChecked(s.specialSigns);
  if (training_) {
    training_->hideText->setChecked(s.hideText);
    training_->weakCharacters->setChecked(s.weakCharacters);
  }
  if (help_) {
    help_->resize(s.helpWidth > 0 ? QSize(s.helpWidth, s.helpHeight) : help_->minimumSize());
  }
}

void SettingsKeeper::restore() {
  try {
    if (const auto kept = file_.load()) apply(*kept);
  } catch (const KelvakError& e) {
    // Said once: the file is replaced by the defaults, so the next start finds it whole.
    apply(defaults_);
    gate_.run([this, message = std::string(e.what())] {
      try {
        file_.save(defaults_);
      } catch (const KelvakError& failed) {
        throw KelvakError(message + " (" + file_.path() + "). " + failed.what());
      }
      throw KelvakError(message + " (" + file_.path() + ")");
    });
  }
}

void SettingsKeeper::save() {
  gate_.run([this] { file_.save(current()); });
}

void SettingsKeeper::restoreDefaults() { apply(defaults_); }

}  // namespace kelvak
