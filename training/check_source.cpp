// The last transmission as the check sees it, and recording each transmission's first check.
#include "training/check_source.h"

#include <algorithm>

#include "playback/settings.h"
#include "text/utf8_path.h"
#include "synth/symbol_table.h"

namespace kelvak {

RecordSettings recordSettingsFor(const FormingSettings& sound, bool fromFile,
                                 const std::string& filePath, std::size_t symbols) {
  RecordSettings s;
  const int kind = std::clamp(sound.textKind, 0, 2);
  s.source = fromFile ? TextSource::File : static_cast<TextSource>(kind);
  if (fromFile) {
    s.file = utf8String(utf8Path(filePath).filename());
  }
  s.speed = sound.speed;
  s.frequency = sound.frequency;
  s.noise = levelPercent(sound.noisePosition);
  s.groups = static_cast<int>((symbols + 4) / 5);
  return s;
}

CheckSource checkSourceFor(const SentText& last, bool running) {
  CheckSource s;
  for (std::uint8_t i : last.symbols) s.sent += SymbolTable[i].unicode;
  s.number = last.number;
  s.running = running;
  s.settings = recordSettingsFor(last.sound, last.fromFile, last.filePath, last.symbols.size());
  return s;
}

CheckSource checkSourceForKey(std::u32string_view keyText, const RecordSettings& settings,
                              std::uint32_t number) {
  CheckSource s;
  s.sent = normalizeForCheck(keyText);
  s.number = number;
  s.settings = settings;
  s.settings.groups = static_cast<int>((s.sent.size() + 4) / 5);
  return s;
}

bool CheckRecorder::record(const CheckResult& result, const CheckSource& source,
                           std::int64_t time) {
  if (recorded_ == source.number) return false;
  try {
    history_.append(makeRecord(result, source.settings, time));
  } catch (const HistoryBusyError&) {
    // Kept by the history to be written later: a second check must not record it twice.
    recorded_ = source.number;
    throw;
  }
  recorded_ = source.number;
  recordedAt_ = time;
  return true;
}

}  // namespace kelvak
