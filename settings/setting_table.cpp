// The level sliders' positions for a percentage.
#include "settings/setting_table.h"

#include <string>

#include "base/error.h"

namespace kelvak {

int SettingRow::positionFor(int value) const {
  return rule == PositionRule::Level ? positionForPercent(value) : value;
}

int positionForPercent(int percent) {
  for (int level = 0; level <= kLevelBottom; ++level) {
    if (level * 100 / kLevelBottom == percent) return kLevelBottom - level;
  }
  throw KelvakError(std::to_string(percent) + " is out of range 0..100");
}

}  // namespace kelvak
