// Reading the window's controls into the settings record.
#include "playback/settings.h"

#include "text/int_text.h"

namespace kelvak {

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
