// Reading the window's controls into the settings record, and the level sliders' percentages.
#include "playback/settings.h"

#include <string>

#include "base/error.h"
#include "text/int_text.h"

namespace kelvak {

// The forming's own record starts where the window does.
static_assert(FormingSettings{}.speed == settingRow(Setting::Speed).initial &&
              FormingSettings{}.frequency == settingRow(Setting::Tone).initial &&
              FormingSettings{}.signalPosition == settingRow(Setting::Signal).initial &&
              FormingSettings{}.noisePosition == settingRow(Setting::Noise).initial);

int SettingRow::positionFor(int value) const {
  return rule == PositionRule::Level ? positionForPercent(value) : value;
}

int positionForPercent(int percent) {
  for (int level = 0; level <= kLevelBottom; ++level) {
    if (level * 100 / kLevelBottom == percent) return kLevelBottom - level;
  }
  throw KelvakError(std::to_string(percent) + " is out of range 0..100");
}

FormingSettings formingSettingsFrom(const Controls& c) {
  return {c.speed(), c.textKind(), c.frequency(), c.signalPosition(), c.noisePosition()};
}

SymbolChoice symbolChoiceFrom(const Controls& c) {
  return {c.randomSource(), c.textKind(), c.longZero(), c.specialSigns(), nullptr};
}

TransmissionSettings settingsFrom(const Controls& c) {
  TransmissionSettings s;
  s.speed = c.speed();
  s.textKind = c.textKind();
  s.frequency = c.frequency();
  s.signalPosition = c.signalPosition();
  s.noisePosition = c.noisePosition();
  s.groups = fieldInteger(c.groupCountText());
  s.charPause = fieldInteger(c.charPauseText());
  s.groupPause = fieldInteger(c.groupPauseText());
  s.randomSource = c.randomSource();
  s.longZero = c.longZero();
  s.specialSigns = c.specialSigns();
  return s;
}

}  // namespace kelvak
