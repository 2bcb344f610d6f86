// The course: an order of characters for each set, and lessons that send groups of the characters
// learned so far, the newest one more often.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "playback/symbol_weights.h"

namespace kelvak {

// The sets follow the window's text kinds: 0 digits, 1 letters, 2 mixture.
enum class CourseSet : std::uint8_t { Digits = 0, Letters = 1, Mixture = 2 };

inline constexpr int kNewestWeight = 2;  // the newest character's weight; the others have 1
// A check of a lesson moves the learner on with this much sent and right.
inline constexpr std::int32_t kUnlockMinSent = 100;
inline constexpr double kUnlockAccuracy = 90.0;  // [%]

// "letters", "digits", "mixture" as the command line and the progress file name them.
std::string_view courseSetName(CourseSet set);
std::optional<CourseSet> courseSetNamed(std::string_view name);

// The characters of a set (symbol indices) in the order the course brings them; the special signs
// (? / - №) come last when they are on. A zero is symbol 0.
const std::vector<int>& courseOrder(CourseSet set, bool specialSigns);

// Lessons are 1 .. lessonCount: lesson n sends the first n + 1 characters of the order.
int lessonCount(CourseSet set, bool specialSigns);
// The lesson brought within 1 .. lessonCount.
int clampLesson(CourseSet set, bool specialSigns, int lesson);
std::vector<int> lessonSymbols(CourseSet set, bool specialSigns, int lesson);
// The character the lesson adds (for lesson 1 the second of its two).
int newestSymbol(CourseSet set, bool specialSigns, int lesson);

// Weight 1 for each of the lesson's characters and kNewestWeight for the newest; in lesson 1 both
// characters are new and weigh the same.
std::vector<std::pair<int, std::uint32_t>> lessonWeights(CourseSet set, bool specialSigns,
                                                         int lesson);

// Whether a check moves the learner on: at least kUnlockMinSent characters sent, all of them the
// lesson's, with kUnlockAccuracy or more.
bool checkUnlocks(CourseSet set, bool specialSigns, int lesson, std::int32_t sent,
                  double accuracyPercent, const std::u32string& sentText);

}  // namespace kelvak
