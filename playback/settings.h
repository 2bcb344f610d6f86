// One transmission's settings as plain values: the window's controls or the command line's
// options, read once, with the views the forming, the symbol choice, the export and the history
// take of them.
#pragma once

#include <cstdint>
#include <memory>

#include "playback/controls.h"
#include "playback/text_source.h"
#include "synth/buffer_forming.h"

namespace kelvak {

// The window's initial values, which the command line's options share.
inline constexpr int kDefaultSpeed = 12;       // groups per minute
inline constexpr int kDefaultFrequency = 500;  // [Hz]
inline constexpr std::int32_t kDefaultGroups = 30;
inline constexpr std::int32_t kDefaultCharPause = 1;
inline constexpr std::int32_t kDefaultGroupPause = 2;
// The level sliders run from 0 (top: full level) to kLevelBottom (no level at all).
inline constexpr int kLevelBottom = 127;

struct TransmissionSettings {
  int speed = kDefaultSpeed;          // groups per minute
  int textKind = 0;                   // 0 digits, 1 letters, 2 mixture
  int frequency = kDefaultFrequency;  // tone [Hz]
  int signalPosition = 0;             // vertical slider, amplitude = 127 - position
  int noisePosition = kLevelBottom;   // vertical slider, noise level = 127 - position
  std::int32_t groups = kDefaultGroups;
  std::int32_t charPause = kDefaultCharPause;    // the field's value: 4 * value - 4 units
  std::int32_t groupPause = kDefaultGroupPause;  // the field's value: 4 * value units
  bool randomSource = true;                      // false: the file text
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

// The level in percent that a level slider's label shows for a position 0..127: the level
// 127 - position in hundredths of 127, cut towards zero.
int levelPercent(int position);
// The slider position whose label shows `percent` (0..100): of the positions that show it, the one
// nearest the bottom, so 0 % is the bottom itself (no sound at all, and for the noise no generator
// draws). Throws KelvakError("<percent> is out of range 0..100") for anything else.
int positionForPercent(int percent);

// What the forming reads from the window at the moment of forming.
FormingSettings formingSettingsFrom(const Controls& controls);
// What the choice of the next symbol reads from the window at the moment of the tick.
SymbolChoice symbolChoiceFrom(const Controls& controls);
// Every setting at once, as Play and its ticks would read them now. Throws KelvakError for a field
// that holds no integer, with the field's own message.
TransmissionSettings settingsFrom(const Controls& controls);

}  // namespace kelvak
