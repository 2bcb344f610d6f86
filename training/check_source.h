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

// The last transmission as a check sees it; the history names a file by its name alone.
CheckSource checkSourceFor(const SentText& last, bool running);

// Records checks in a history, one per transmission: checking again after fixing a typo must not
// count twice.
class CheckRecorder {
 public:
  explicit CheckRecorder(const History& history) : history_(history) {}

  // False when this transmission's check is in the history already. Throws KelvakError when the
  // history cannot be written; the next check of the transmission then tries again.
  bool record(const CheckResult& result, const CheckSource& source, std::int64_t time);

 private:
  const History& history_;
  std::uint32_t recorded_ = 0;  // the transmission whose check is in the history already
};

}  // namespace kelvak
