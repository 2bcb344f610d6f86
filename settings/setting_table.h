// Every numbered setting of a transmission, once: its option, range, default and the rule that
// turns a control's position into its value. The window, the command line, the forming and the
// history all start from here.
#pragma once

#include <algorithm>

namespace kelvak {

constexpr int kMaxGroups = 999;  // the group count field holds three digits

// How a control's position gives the setting's value.
enum class PositionRule {
  Value,  // the position is the value
  Level,  // a level slider: level 127 - position, which its label and the command line give in
          // percent (levelPercent, positionForPercent)
};

// One transmission setting as the window's control and the command line's option know it.
struct SettingRow {
  const char* option;     // the command line's option
  const char* valueName;  // its value in the help
  const char* meaning;    // what the help calls it, with its unit
  int low, high;          // the control's positions
  int initial;            // the control's position when the window opens
  PositionRule rule = PositionRule::Value;
  int lowestTaken = 0;  // the command line refuses values below this (in its own unit)

  // The value a position gives, in the command line's unit.
  constexpr int valueAt(int position) const;
  // The position that gives `value`; for a level, the one nearest the bottom.
  int positionFor(int value) const;
  // The command line's range and initial value, in its unit.
  constexpr int commandLow() const {
    return std::max(lowestTaken, std::min(valueAt(low), valueAt(high)));
  }
  constexpr int commandHigh() const { return std::max(valueAt(low), valueAt(high)); }
  constexpr int initialValue() const { return valueAt(initial); }
};

// The level sliders run from 0 (top: full level) to kLevelBottom (no level at all).
inline constexpr int kLevelBottom = 127;

// The level in percent that a level slider's label shows for a position 0..127: the level
// 127 - position in hundredths of 127, cut towards zero. (The truncation of the product matches
// floor((127 - position) * 100 / 127) at every position.)
constexpr int levelPercent(int position) {
  return static_cast<int>((kLevelBottom - position) * (1.0 / kLevelBottom) * 100);
}

constexpr int SettingRow::valueAt(int position) const {
  return rule == PositionRule::Level ? levelPercent(position) : position;
}

// Every numbered setting of a transmission, in the command line's help order.
enum class Setting { Groups, Speed, Tone, Signal, Noise, CharPause, GroupPause };
inline constexpr SettingRow kSettingTable[] = {
    {"--groups", "N", "groups of five characters", 0, kMaxGroups, 30},
    // Speed 0 is on the window's slider, but no transmission can be formed there.
    {"--speed", "N", "groups per minute", 0, 30, 12, PositionRule::Value, 1},
    {"--tone", "N", "tone frequency in Hz", 100, 5000, 500},
    {"--signal", "P", "signal level in percent", 0, kLevelBottom, 0, PositionRule::Level},
    {"--noise", "P", "interference level in percent", 0, kLevelBottom, kLevelBottom,
     PositionRule::Level},
    {"--char-pause", "N", "pause between characters in dashes", 1, 5, 1},
    {"--group-pause", "N", "pause between groups in dashes", 1, 5, 2},
};
constexpr const SettingRow& settingRow(Setting s) { return kSettingTable[static_cast<int>(s)]; }

// The slider position whose label shows `percent` (0..100): of the positions that show it, the one
// nearest the bottom, so 0 % is the bottom itself (no sound at all, and for the noise no generator
// draws). Throws KelvakError("<percent> is out of range 0..100") for anything else.
int positionForPercent(int percent);

}  // namespace kelvak
