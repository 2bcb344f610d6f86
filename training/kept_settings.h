// The main window's settings kept from one run of the program to the next, in a small JSON file
// replaced atomically. With no file the program starts as it always did.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "settings/setting_table.h"

namespace kelvak {

// The controls' positions, within the setting table's ranges; the defaults are the table's.
struct KeptSettings {
  int textKind = 0;  // 0 digits, 1 letters, 2 mixture
  int speed = settingRow(Setting::Speed).initial;
  int frequency = settingRow(Setting::Tone).initial;  // [Hz]
  int signalPosition = settingRow(Setting::Signal).initial;
  int noisePosition = settingRow(Setting::Noise).initial;
  int groups = settingRow(Setting::Groups).initial;
  int charPause = settingRow(Setting::CharPause).initial;
  int groupPause = settingRow(Setting::GroupPause).initial;
  bool longZero = false, specialSigns = false;
  bool hideText = false, weakCharacters = false;
  // The help window's size once the learner changed it; 0: its designed size.
  int helpWidth = 0, helpHeight = 0;

  bool operator==(const KeptSettings&) const = default;
};

// For example {"textKind":1,"speed":14,"frequency":600,"signal":0,"noise":127,"groups":20,
//              "charPause":1,"groupPause":2,"longZero":false,"specialSigns":true,
//              "hideText":false,"weakCharacters":true,"help":[640,480]}
std::string toJson(const KeptSettings& settings);
// Throws KelvakError(kSettingsDamaged) for text that is no whole record with every value within
// its control's range.
KeptSettings keptSettingsFromJson(std::string_view text);

inline constexpr const char* kSettingsDamaged =
    "Файл настроек повреждён; вместо него записаны настройки по умолчанию";
inline constexpr const char* kSettingsWriteFailed = "Настройки не записаны";

class SettingsFile {
 public:
  explicit SettingsFile(std::string path) : path_(std::move(path)) {}
  const std::string& path() const { return path_; }
  // Nothing when there is no file yet. Throws KelvakError: kSettingsDamaged for a damaged file,
  // or the reason it could not be read.
  std::optional<KeptSettings> load() const;
  // Replaces the file atomically. Throws KelvakError.
  void save(const KeptSettings& settings) const;

 private:
  std::string path_;
};

}  // namespace kelvak
