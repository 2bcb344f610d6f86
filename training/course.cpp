// The course's orders and lessons. Why each order is as it is: the help document, "Курс".
#include "training/course.h"

#include <algorithm>
#include <array>

#include "base/error.h"
#include "synth/symbol_table.h"

namespace kelvak {

namespace {

// Two characters of opposite rhythm first, then one at a time: the frequent ones of Russian text
// early, each new one unlike the one before it, the mirror images of known ones late.
constexpr std::u32string_view kLetters = U"кмуреснаотилвдпяыьгзбчйхжшюцщэф";
// All dots and all dashes first, then the others so that no new digit differs from the one
// before it by a single element.
constexpr std::u32string_view kDigits = U"5016382749";
// The letters' order with a digit after every three letters from the fifth character on.
constexpr std::u32string_view kMixture = U"кмур5есн0аот1илв6дпя3ыьг8збч2йхж7шюц4щэф9";
constexpr std::u32string_view kSpecial = U"/?-№";

std::vector<int> symbolsOf(std::u32string_view chars) {
  std::vector<int> out;
  for (const char32_t ch : chars) out.push_back(*indexOfChar(ch));
  return out;
}

struct Orders {
  std::array<std::vector<int>, 6> order;  // by set, then with special signs
  Orders() {
    const std::array<std::u32string_view, 3> base{kDigits, kLetters, kMixture};
    for (int set = 0; set < 3; ++set) {
      order[set * 2] = symbolsOf(base[set]);
      order[set * 2 + 1] = order[set * 2];
      // Digits have no special signs in the window either.
      if (set != 0) {
        for (const int s : symbolsOf(kSpecial)) order[set * 2 + 1].push_back(s);
      }
    }
  }
};

}  // namespace

std::string_view courseSetName(CourseSet set) {
  switch (set) {
    case CourseSet::Digits:
      return "digits";
    case CourseSet::Letters:
      return "letters";
    case CourseSet::Mixture:
      break;
  }
  return "mixture";
}

std::optional<CourseSet> courseSetNamed(std::string_view name) {
  for (const CourseSet s : {CourseSet::Digits, CourseSet::Letters, CourseSet::Mixture}) {
    if (courseSetName(s) == name) return s;
  }
  return std::nullopt;
}

const std::vector<int>& courseOrder(CourseSet set, bool specialSigns) {
  static const Orders orders;
  return orders.order[static_cast<std::size_t>(set) * 2 + (specialSigns ? 1 : 0)];
}

int lessonCount(CourseSet set, bool specialSigns) {
  return static_cast<int>(courseOrder(set, specialSigns).size()) - 1;
}

int clampLesson(CourseSet set, bool specialSigns, int lesson) {
  return std::clamp(lesson, 1, lessonCount(set, specialSigns));
}

std::vector<int> lessonSymbols(CourseSet set, bool specialSigns, int lesson) {
  const auto& order = courseOrder(set, specialSigns);
  const int n = clampLesson(set, specialSigns, lesson) + 1;
  return {order.begin(), order.begin() + n};
}

int newestSymbol(CourseSet set, bool specialSigns, int lesson) {
  return lessonSymbols(set, specialSigns, lesson).back();
}

std::vector<std::pair<int, std::uint32_t>> lessonWeights(CourseSet set, bool specialSigns,
                                                         int lesson) {
  const std::vector<int> symbols = lessonSymbols(set, specialSigns, lesson);
  std::vector<std::pair<int, std::uint32_t>> out;
  for (const int s : symbols) out.emplace_back(s, 1);
  if (symbols.size() > 2) out.back().second = kNewestWeight;
  return out;
}

bool checkUnlocks(CourseSet set, bool specialSigns, int lesson, std::int32_t sent,
                  double accuracyPercent, const std::u32string& sentText) {
  if (sent < kUnlockMinSent || accuracyPercent < kUnlockAccuracy) return false;
  const std::vector<int> symbols = lessonSymbols(set, specialSigns, lesson);
  for (const char32_t ch : sentText) {
    const auto i = indexOfChar(ch);
    if (!i) return false;
    // The long zero is shown as "0" and found as symbol 0.
    if (std::find(symbols.begin(), symbols.end(), *i) == symbols.end()) return false;
  }
  return true;
}

}  // namespace kelvak
