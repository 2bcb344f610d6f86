// Checking a learner's copy against the text that was sent: an edit-distance alignment that names
// every error as a wrong, a missed or an extra character.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvak {

// How one position of the alignment came out.
enum class Mark : std::uint8_t {
  Correct,  // the sent character was written
  Wrong,    // another character was written in its place
  Missed,   // nothing was written for it
  Extra,    // a written character with no sent character
};

struct AlignedChar {
  Mark mark = Mark::Correct;
  char32_t sent = 0;     // 0 for Extra
  char32_t written = 0;  // 0 for Missed
};

struct CheckResult {
  std::vector<AlignedChar> steps;  // in text order; Extra stands where it was written
  std::int32_t sent = 0, correct = 0, wrong = 0, missed = 0, extra = 0;

  std::int32_t errors() const { return wrong + missed + extra; }
  // Correct characters against every character that should or should not have been written
  // (sent + extra) [%]; 0 when there was nothing to compare.
  double accuracyPercent() const;
  // Every sent character that was not received correctly (wrong or missed), with how often, in
  // the order of first appearance.
  std::vector<std::pair<char32_t, std::int32_t>> missedCharacters() const;
};

// The text as it is compared: without any white space, upper case as lower case (Latin and
// Cyrillic), and ё as е, which the alphabet does not have and which Russian writes as е.
std::u32string normalizeForCheck(std::u32string_view text);

// Aligns the copy with the sent text, both normalised first, with the fewest errors (every wrong,
// missed or extra character costs one). Where several alignments cost the same, wrong characters
// are preferred to a missed and an extra one. Copies longer than the sent text by more than
// kMaxOverhang characters are aligned up to there; the rest counts as extra.
inline constexpr std::size_t kMaxOverhang = 2000;
CheckResult checkCopy(std::u32string_view sent, std::u32string_view copy);

}  // namespace kelvak
