// Character by character: one character sounds, the learner types it, the next comes at once.
// The drill measures the reaction, adapts the speed and keeps a record of the session.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "playback/settings.h"
#include "playback/symbol_weights.h"
#include "synth/random.h"
#include "training/check_record.h"

namespace kelvak {

// The speed rule: kSpeedUpAfter right answers in a row, each within kFastReactionMs of the end of
// the character's tone, raise the speed by one group per minute; a wrong answer lowers it by
// kSlowDownStep. A right but slow answer keeps the speed and starts the count again.
inline constexpr int kSpeedUpAfter = 3;
inline constexpr std::int64_t kFastReactionMs = 1000;
inline constexpr int kSlowDownStep = 2;
inline constexpr int kDrillMinSpeed = 5;  // slower, a character is spelled out, not heard
// The top of the window's speed slider.
inline constexpr int kDrillMaxSpeed = settingRow(Setting::Speed).high;

struct DrillAnswer {
  int symbol = 0;      // what was sent
  char32_t typed = 0;  // what was typed, as typed
  bool right = false;  // compared as the check compares (case, ё as е, Latin letters)
  std::int64_t reactionMs = 0;
};

// What the history keeps of a drill session: its own record kind.
struct DrillRecord {
  std::int64_t time = 0;  // [s] since 1970 UTC, when the session ended
  TextSource source = TextSource::Letters;
  int startSpeed = 0, endSpeed = 0;  // groups per minute
  std::int32_t sent = 0, correct = 0;
  std::int64_t medianReactionMs = 0;
  double accuracyPercent() const { return sent == 0 ? 0.0 : 100.0 * correct / sent; }
};

// {"kind":"drill","time":"2026-12-09T12:40:00Z","source":"letters","speed":12,"endSpeed":15,
//  "sent":100,"correct":93,"reactionMs":640}
std::string toJsonLine(const DrillRecord& record);
// Nothing for a line that is not a whole drill record.
std::optional<DrillRecord> drillFromJsonLine(std::string_view line);

class Drill {
 public:
  // Characters come from `weights` (at least one), drawn with `random`; the speed starts at
  // `speed` and stays within the drill's range.
  Drill(const SymbolWeights& weights, int speed, Random random);

  // Chooses the character to sound next.
  int next();
  int current() const { return current_; }

  struct Outcome {
    bool right = false;
    bool replay = false;  // a wrong answer: the character sounds once more
    int speed = 0;        // the speed for the next character
  };
  // The learner typed `typed` `reactionMs` after the character's tone ended.
  Outcome answer(char32_t typed, std::int64_t reactionMs);

  int speed() const { return speed_; }
  const std::vector<DrillAnswer>& answers() const { return answers_; }
  // Latin letters typed (lower case) and read as the Cyrillic letter of the same Morse code, in
  // the order of first appearance, as the check lists them.
  const std::vector<std::pair<char32_t, char32_t>>& readAsCyrillic() const {
    return readAsCyrillic_;
  }
  // The session so far; the median of an even count is the lower middle.
  DrillRecord record(TextSource source, std::int64_t time) const;

 private:
  const SymbolWeights& weights_;
  Random random_;
  int startSpeed_;
  int speed_;
  int current_ = -1;
  int streak_ = 0;  // right and fast answers in a row
  std::vector<DrillAnswer> answers_;
  std::vector<std::pair<char32_t, char32_t>> readAsCyrillic_;
};

}  // namespace kelvak
