// Checking a learner's copy against the text that was sent: an edit-distance alignment that names
// every error as a wrong, a missed or an extra character.
#pragma once

#include <cstdint>
#include <optional>
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

// Correct characters against every character that should or should not have been written
// (sent + extra) [%]; 0 when there was nothing to compare. The one measure of accuracy for a check
// and for its record.
double accuracyPercent(std::int64_t sent, std::int64_t correct, std::int64_t extra);

// Characters with how often each came, in the order of their first appearance.
using CharCounts = std::vector<std::pair<char32_t, std::int32_t>>;
// Counts `c` once more, adding it at the end the first time.
void countCharacter(CharCounts& counts, char32_t c);

struct CheckResult {
  std::vector<AlignedChar> steps;  // in text order; Extra stands where it was written
  std::int32_t sent = 0, correct = 0, wrong = 0, missed = 0, extra = 0;
  // Latin letters of the copy (lower case) read as the Cyrillic letter of the same Morse code, in
  // the order of first appearance.
  std::vector<std::pair<char32_t, char32_t>> readAsCyrillic;

  std::int32_t errors() const { return wrong + missed + extra; }
  double accuracyPercent() const { return kelvak::accuracyPercent(sent, correct, extra); }
  // Every sent character that was not received correctly (wrong or missed), with how often, in
  // the order of first appearance.
  CharCounts missedCharacters() const;
  // Every character written where nothing was sent, with how often, in the order of first
  // appearance.
  CharCounts extraCharacters() const;
};

// The text as it is compared: without any white space, upper case as lower case (Latin and
// Cyrillic), and ё as е, which the alphabet does not have and which Russian writes as е.
std::u32string normalizeForCheck(std::u32string_view text);

// The Cyrillic letter whose Morse code a Latin letter (either case) has: a learner on a Latin
// keyboard layout writes what they heard. Nothing for any other character.
std::optional<char32_t> cyrillicOfLatin(char32_t c);

// One character as the check compares it: normalised, and a Latin letter read as its Cyrillic
// letter. Two characters are the same answer when these are equal.
char32_t comparedCharacter(char32_t c);

// Aligns the copy with the sent text, both normalised first and Latin letters read as Cyrillic,
// with the fewest errors (every wrong, missed or extra character costs one). Where several
// alignments cost the same, wrong characters are preferred to a missed and an extra one, and then
// the earlier characters of the copy are matched: a copy written twice keeps its first copy. The
// whole copy is aligned, however long; the work and the memory grow with the text's length times
// the number of errors.
CheckResult checkCopy(std::u32string_view sent, std::u32string_view copy);

}  // namespace kelvak
