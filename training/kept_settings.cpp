// The settings file: JSON through nlohmann-json, replaced atomically.
#include "training/kept_settings.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <string>

#include "base/error.h"
#include "base/system_reason.h"
#include "files/regular_file.h"
#include "files/atomic_file.h"

namespace kelvak {

namespace {
// A settings file is a few hundred bytes; anything far larger is no settings file of ours.
constexpr std::size_t kMaxSettingsBytes = 64u << 10;
}  // namespace

namespace {

int within(const nlohmann::json& doc, const char* key, int min, int max) {
  const int v = doc.at(key).get<int>();
  if (v < min || v > max) throw KelvakError(kSettingsDamaged);
  return v;
}

// A setting's control position, within the control's range.
int within(const nlohmann::json& doc, const char* key, Setting setting) {
  const SettingRow& row = settingRow(setting);
  return within(doc, key, row.low, row.high);
}

}  // namespace

std::string toJson(const KeptSettings& s) {
  nlohmann::ordered_json doc = {{"textKind", s.textKind},   {"speed", s.speed},
                                {"frequency", s.frequency}, {"signal", s.signalPosition},
                                {"noise", s.noisePosition}, {"groups", s.groups},
                                {"charPause", s.charPause}, {"groupPause", s.groupPause},
                                {"longZero", s.longZero},   {"specialSigns", s.specialSigns},
                                {"hideText", s.hideText},   {"weakCharacters", s.weakCharacters}};
  if (s.helpWidth > 0 && s.helpHeight > 0) doc["help"] = {s.helpWidth, s.helpHeight};
  return doc.dump(1) + "\n";
}

KeptSettings keptSettingsFromJson(std::string_view text) {
  try {
    const nlohmann::json doc = nlohmann::json::parse(text);
    KeptSettings s;
    s.textKind = within(doc, "textKind", 0, 2);
    s.speed = within(doc, "speed", Setting::Speed);
    s.frequency = within(doc, "frequency", Setting::Tone);
    s.signalPosition = within(doc, "signal", Setting::Signal);
    s.noisePosition = within(doc, "noise", Setting::Noise);
    s.groups = within(doc, "groups", Setting::Groups);
    s.charPause = within(doc, "charPause", Setting::CharPause);
    s.groupPause = within(doc, "groupPause", Setting::GroupPause);
    s.longZero = doc.at("longZero").get<bool>();
    s.specialSigns = doc.at("specialSigns").get<bool>();
    s.hideText = doc.at("hideText").get<bool>();
    s.weakCharacters = doc.at("weakCharacters").get<bool>();
    if (doc.contains("help")) {
      // No screen is larger; a size beyond it is no size the window had.
      constexpr int kLargest = 16384;
      const auto& help = doc.at("help");
      if (help.size() != 2) throw KelvakError(kSettingsDamaged);
      s.helpWidth = help.at(0).get<int>();
      s.helpHeight = help.at(1).get<int>();
      if (s.helpWidth < 1 || s.helpHeight < 1 || s.helpWidth > kLargest ||
          s.helpHeight > kLargest) {
        throw KelvakError(kSettingsDamaged);
      }
    }
    return s;
  } catch (const nlohmann::json::exception&) {
    throw KelvakError(kSettingsDamaged);
  }
}

std::optional<KeptSettings> SettingsFile::load() const {
  std::string text;
  try {
    // Under the one rule for every file read: a FIFO or a device here never holds the start.
    text = readWholeFile(path_, kMaxSettingsBytes);
  } catch (const FileReadError& e) {
    if (e.missing()) return std::nullopt;
    // Too large, or no regular file: as damaged, replaced by the defaults.
    if (e.error() == EFBIG || e.error() == 0) throw KelvakError(kSettingsDamaged);
    throw KelvakError(std::string("Настройки не прочитаны: ") + systemReason(e.error()));
  }
  return keptSettingsFromJson(text);
}

void SettingsFile::save(const KeptSettings& settings) const {
  writeFileAtomically(path_, toJson(settings), kSettingsWriteFailed);
}

}  // namespace kelvak
