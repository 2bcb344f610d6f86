// The copy check: where errors land and how they are named, on the cases a learner produces.
#include "training/copy_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace kelvak {
namespace {

// Marks written as letters: C correct, W wrong, M missed, X extra.
std::string marks(const CheckResult& r) {
  std::string out;
  for (const AlignedChar& s : r.steps) out += "CWMX"[static_cast<int>(s.mark)];
  return out;
}

struct Case {
  const char* name;
  const char32_t* sent;
  const char32_t* copy;
  const char* marks;
  double accuracy;  // [%]
};

class Alignment : public testing::TestWithParam<Case> {};

TEST_P(Alignment, NamesEachErrorAndCostsOnlyOne) {
  const Case& c = GetParam();
  const CheckResult r = checkCopy(c.sent, c.copy);
  EXPECT_EQ(marks(r), c.marks);
  const std::string m = c.marks;
  EXPECT_EQ(r.correct, std::count(m.begin(), m.end(), 'C'));
  EXPECT_EQ(r.wrong, std::count(m.begin(), m.end(), 'W'));
  EXPECT_EQ(r.missed, std::count(m.begin(), m.end(), 'M'));
  EXPECT_EQ(r.extra, std::count(m.begin(), m.end(), 'X'));
  EXPECT_EQ(r.sent, r.correct + r.wrong + r.missed);
  EXPECT_NEAR(r.accuracyPercent(), c.accuracy, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Copies, Alignment,
    testing::Values(
        Case{"exact", U"12345 67890", U"12345 67890", "CCCCCCCCCC", 100},
        Case{"missedMidGroup", U"12345 67890", U"1245 67890", "CCMCCCCCCC", 90},
        Case{"extraMidGroup", U"12345 67890", U"123845 67890", "CCCXCCCCCCC", 10 * 100.0 / 11},
        Case{"swappedPair", U"12345 67890", U"12435 67890", "CCWWCCCCCC", 80},
        Case{"wrongLetter", U"асдфг", U"аждфг", "CWCCC", 80},
        Case{"emptyCopy", U"12345", U"", "MMMMM", 0},
        Case{"onlySpacesCopy", U"12345", U"  \t ", "MMMMM", 0},
        Case{"copyLongerThanText", U"12345", U"1234567", "CCCCCXX", 5 * 100.0 / 7},
        Case{"nothingSent", U"", U"12", "XX", 0},
        Case{"anySpacingAndCase", U"абвгд ежзий", U"А Б В Г Д Е Ж З И Й", "CCCCCCCCCC", 100},
        Case{"yoIsYe", U"еееее", U"ЁёЕеe", "CCCCW", 80},
        // A file of seven characters: the last group is cut short.
        Case{"fileTextPartialLastGroup", U"приве тмир", U"прве тмирх", "CCMCCCCCCX",
             8 * 100.0 / 10},
        Case{"groupLostWholeCostsItsFive", U"11111 22222 33333", U"11111 33333", "CCCCCMMMMMCCCCC",
             10 * 100.0 / 15}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(CopyCheck, ShowsTheWrittenCharacterBesideTheSentOne) {
  const CheckResult r = checkCopy(U"сш", U"жщ");
  ASSERT_EQ(r.steps.size(), 2u);
  EXPECT_EQ(r.steps[0].sent, U'с');
  EXPECT_EQ(r.steps[0].written, U'ж');
  EXPECT_EQ(r.steps[1].sent, U'ш');
  EXPECT_EQ(r.steps[1].written, U'щ');
}

TEST(CopyCheck, ListsMissedCharactersWithTheirCounts) {
  const CheckResult r = checkCopy(U"шaшбщ", U"щaбщ");  // ш wrong, ш missed
  const auto missed = r.missedCharacters();
  ASSERT_EQ(missed.size(), 1u);
  EXPECT_EQ(missed[0].first, U'ш');
  EXPECT_EQ(missed[0].second, 2);
}

// The plain full-table edit distance, to hold the banded search to.
int editDistance(const std::u32string& a, const std::u32string& b) {
  std::vector<int> prev(b.size() + 1), cur(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) prev[j] = static_cast<int>(j);
  for (std::size_t i = 1; i <= a.size(); ++i) {
    cur[0] = static_cast<int>(i);
    for (std::size_t j = 1; j <= b.size(); ++j) {
      cur[j] =
          std::min({prev[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1), prev[j] + 1, cur[j - 1] + 1});
    }
    std::swap(prev, cur);
  }
  return prev[b.size()];
}

TEST(CopyCheck, FindsTheFewestErrorsWhateverTheirNumber) {
  // From a near-perfect copy to an unrelated one, so the search band has to widen.
  std::mt19937 gen(7);
  const std::u32string alphabet = U"0123456789абв";
  for (int round = 0; round < 300; ++round) {
    const std::size_t n = gen() % 120;
    std::u32string sent, copy;
    for (std::size_t i = 0; i < n; ++i) sent += alphabet[gen() % alphabet.size()];
    const unsigned damage = gen() % 101;  // [%] chance of an error per character
    for (char32_t c : sent) {
      const unsigned roll = gen() % 100;
      if (roll >= damage) {
        copy += c;
      } else if (roll % 3 == 0) {
        copy += alphabet[gen() % alphabet.size()];
      } else if (roll % 3 == 1) {
        copy += c;
        copy += alphabet[gen() % alphabet.size()];
      }  // else missed
    }
    const CheckResult r = checkCopy(sent, copy);
    ASSERT_EQ(r.errors(), editDistance(sent, copy)) << "round " << round;
    // The steps spell both texts back.
    std::u32string s, w;
    for (const AlignedChar& a : r.steps) {
      if (a.mark != Mark::Extra) s += a.sent;
      if (a.mark != Mark::Missed) w += a.written;
    }
    ASSERT_EQ(s, sent);
    ASSERT_EQ(w, copy);
  }
}

TEST(CopyCheck, ACopyFarTooLongCountsTheRestAsExtra) {
  const std::u32string copy = U"12" + std::u32string(kMaxOverhang + 10, U'7');
  const CheckResult r = checkCopy(U"12", copy);
  EXPECT_EQ(r.correct, 2);
  EXPECT_EQ(r.extra, static_cast<std::int32_t>(kMaxOverhang + 10));
}

}  // namespace
}  // namespace kelvak
