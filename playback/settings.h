// One transmission's settings as plain values: the window's controls or the command line's
// options, read once, with the views the forming, the symbol choice, the export and the history
// take of them.
#pragma once

#include <cstdint>
#include <memory>

#include "playback/controls.h"
#include "playback/text_source.h"
#include "settings/setting_table.h"
#include "synth/buffer_forming.h"

namespace kelvak {

struct TransmissionSettings {
  int speed = settingRow(Setting::Speed).initial;            // groups per minute
  int textKind = 0;                                          // 0 digits, 1 letters, 2 mixture
  int frequency = settingRow(Setting::Tone).initial;         // tone [Hz]
  int signalPosition = settingRow(Setting::Signal).initial;  // amplitude = 127 - position
  int noisePosition = settingRow(Setting::Noise).initial;    // noise level = 127 - position
  std::int32_t groups = settingRow(Setting::Groups).initial;
  std::int32_t charPause = settingRow(Setting::CharPause).initial;    // 4 * value - 4 units
  std::int32_t groupPause = settingRow(Setting::GroupPause).initial;  // 4 * value units
  bool randomSource = true;                                           // false: the file text
  bool longZero = false;
  bool specialSigns = false;
  // The learning modes' choice of symbols; none: the text kind's symbols evenly.
  std::shared_ptr<const SymbolWeights> weights = nullptr;

  FormingSettings forming() const {
    return {speed, textKind, frequency, signalPosition, noisePosition};
  }
  SymbolChoice choice() const {
    return {randomSource, textKind, longZero, specialSigns, weights.get()};
  }
};

// What the forming reads from the window at the moment of forming.
FormingSettings formingSettingsFrom(const Controls& controls);
// What the choice of the next symbol reads from the window at the moment of the tick.
SymbolChoice symbolChoiceFrom(const Controls& controls);
// Every setting at once, as Play and its ticks would read them now. Throws KelvakError for a field
// that holds no integer, with the field's own message.
TransmissionSettings settingsFrom(const Controls& controls);

}  // namespace kelvak
