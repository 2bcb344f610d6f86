// The last transmission as the check sees it, and recording each transmission's first check.
#include "training/check_source.h"

#include <algorithm>

#include "playback/settings.h"
#include "synth/symbol_table.h"

namespace kelvak {

CheckSource checkSourceFor(const SentText& last, bool running) {
  CheckSource s;
  for (std::uint8_t i : last.symbols) s.sent += SymbolTable[i].unicode;
  s.number = last.number;
  s.running = running;
  const int kind = std::clamp(last.sound.textKind, 0, 2);
  s.settings.source = last.fromFile ? TextSource::File : static_cast<TextSource>(kind);
  if (last.fromFile) {
    const std::size_t slash = last.filePath.find_last_of('/');
    s.settings.file = slash == std::string::npos ? last.filePath : last.filePath.substr(slash + 1);
  }
  s.settings.speed = last.sound.speed;
  s.settings.tone = last.sound.frequency;
  s.settings.noise = levelPercent(last.sound.noisePosition);
  s.settings.groups = static_cast<int>((last.symbols.size() + 4) / 5);
  return s;
}

bool CheckRecorder::record(const CheckResult& result, const CheckSource& source,
                           std::int64_t time) {
  if (recorded_ == source.number) return false;
  history_.append(makeRecord(result, source.settings, time));
  recorded_ = source.number;
  return true;
}

}  // namespace kelvak
