// What a check compares the copy with, taken from the last transmission, and the rule that puts
// only the first check of each transmission into the history.
#pragma once

#include <cstdint>
#include <string>

#include "playback/transmission.h"
#include "training/check_record.h"
#include "training/history.h"

namespace kelvak {

// The text to check against and the settings it was sent with.
struct CheckSource {
  std::u32string sent;       // the characters sent after the start signal
  std::uint32_t number = 0;  // which transmission of this run; 0: none yet
  bool running = false;      // a transmission is still open
  RecordSettings settings;
};

// The settings a record names for a transmission of `symbols` characters formed with `sound`; the
// history names a file by its name alone.
RecordSettings recordSettingsFor(const FormingSettings& sound, bool fromFile,
                                 const std::string& filePath, std::size_t symbols);

// The last transmission as a check sees it.
CheckSource checkSourceFor(const SentText& last, bool running);

// An answer key's text as a check sees it: what it holds is what was sent. `number` tells the key
// from the transmissions, for the once-per-transmission rule; every key read gets its own.
CheckSource checkSourceForKey(std::u32string_view keyText, const RecordSettings& settings,
                              std::uint32_t number);

// Records checks in a history, one per transmission: checking again after fixing a typo must not
// count twice.
class CheckRecorder {
 public:
  explicit CheckRecorder(const History& history) : history_(history) {}

  // False when this transmission's check is in the history already. Throws KelvakError when the
  // history cannot be written; the next check of the transmission then tries again, unless the
  // history kept the record for later (HistoryBusyError).
  bool record(const CheckResult& result, const CheckSource& source, std::int64_t time);
  // The check recorded at `time` was taken out of the history again: when it was the one kept
  // for its transmission, the next check of that transmission is recorded.
  void removed(std::int64_t time) {
    if (time == recordedAt_) recorded_ = 0;
  }

 private:
  const History& history_;
  std::uint32_t recorded_ = 0;    // the transmission whose check is in the history already
  std::int64_t recordedAt_ = -1;  // and that check's time
};

}  // namespace kelvak
