// The kept settings read from the window and given back to it.
#include "presenter/settings_presenter.h"

#include <algorithm>

#include "base/error.h"
#include "playback/settings.h"
#include "text/int_text.h"

namespace kelvak {

namespace {

// A field's number, or `otherwise` when it holds none within the setting's range.
int fieldValue(const std::string& text, Setting setting, int otherwise) {
  const SettingRow& row = settingRow(setting);
  try {
    const int v = fieldInteger(text);
    return v >= row.low && v <= row.high ? v : otherwise;
  } catch (const KelvakError&) {
    return otherwise;
  }
}

}  // namespace

SettingsPresenter::SettingsPresenter(MainView& window, HelpSizeView* help, ErrorGate& gate,
                                     std::string path)
    : window_(window), help_(help), gate_(gate), file_(std::move(path)) {
  defaults_ = current();
  defaults_.helpWidth = defaults_.helpHeight = 0;
}

KeptSettings SettingsPresenter::current() const {
  KeptSettings s;
  s.textKind = window_.textKind();
  s.speed = window_.speed();
  s.frequency = window_.frequency();
  s.signalPosition = window_.signalPosition();
  s.noisePosition = window_.noisePosition();
  // A field left without a number keeps what the next start would show anyway.
  s.groups = fieldValue(window_.groupCountText(), Setting::Groups, defaults_.groups);
  s.charPause = fieldValue(window_.charPauseText(), Setting::CharPause, defaults_.charPause);
  s.groupPause = fieldValue(window_.groupPauseText(), Setting::GroupPause, defaults_.groupPause);
  s.longZero = window_.longZero();
  s.specialSigns = window_.specialSigns();
  if (training_) {
    s.hideText = training_->textHidden();
    s.weakCharacters = training_->learning().weakOn();
  }
  if (help_) std::tie(s.helpWidth, s.helpHeight) = help_->helpSize();
  return s;
}

void SettingsPresenter::apply(const KeptSettings& kept) {
  KeptSettings s = kept;
  // While the course is on, the text kind is the course's set, which the course keeps itself.
  const bool courseSet =
      training_ && training_->learning().courseOn() && training_->learning().progress().set;
  if (courseSet) s.textKind = window_.textKind();
  // A file's text limits the group count; random groups reach the most there is.
  s.groups = std::min(s.groups, window_.groupCountLimit());
  window_.showSettings(s);
  if (training_) {
    training_->hideTextChanged(s.hideText);
    training_->setWeakOn(s.weakCharacters);
  }
  if (help_) help_->setHelpSize(s.helpWidth, s.helpHeight);
}

void SettingsPresenter::restore() {
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

void SettingsPresenter::save() {
  gate_.run([this] { file_.save(current()); });
}

void SettingsPresenter::restoreDefaults() {
  gate_.run([this] { apply(defaults_); });
}

}  // namespace kelvak
