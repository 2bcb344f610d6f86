// The copy check: where errors land and how they are named, on the cases a learner produces.
#include "training/copy_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>

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
        Case{"oneCharacter", U"5", U"5", "C", 100},
        Case{"emptyCopy", U"12345", U"", "MMMMM", 0},
        Case{"onlySpacesCopy", U"12345", U"  \t ", "MMMMM", 0},
        Case{"copyLongerThanText", U"12345", U"1234567", "CCCCCXX", 5 * 100.0 / 7},
        Case{"nothingSent", U"", U"12", "XX", 0},
        Case{"anySpacingAndCase", U"абвгд ежзий", U"А Б В Г Д Е Ж З И Й", "CCCCCCCCCC", 100},
        Case{"yoIsYe", U"еееее", U"ЁёЕе3", "CCCCW", 80},
        Case{"otherSpaces", U"12345", U"1\u00A02\u30003\u202F4\t5", "CCCCC", 100},
        // Equal cost: two wrong and one extra rather than one missed and two extra.
        Case{"wrongBeforeMissedAndExtra", U"898", U"9589", "WWCX", 25},
        Case{"wrongBeforeMissedAndExtraShortest", U"аца", U"цбац", "WWCX", 25},
        // A copy written twice: the first copy is the right one, the second is extra.
        Case{"writtenTwice", U"12345", U"1234512345", "CCCCCXXXXX", 50},
        Case{"lastGroupWrittenTwice", U"12345 67890", U"12345 67890 67890", "CCCCCCCCCCXXXXX",
             10 * 100.0 / 15},
        // A file of seven characters: the last group is cut short.
        Case{"fileTextPartialLastGroup", U"приве тмир", U"прве тмирх", "CCMCCCCCCX",
             8 * 100.0 / 10},
        Case{"groupLostWholeCostsItsFive", U"11111 22222 33333", U"11111 33333", "CCCCCMMMMMCCCCC",
             10 * 100.0 / 15},
        // A miss and an extra of equal cost: the extra comes first, the last character is missed.
        Case{"missOrExtraTieEndsOnTheMiss", U"121", U"212", "XCCM", 50},
        Case{"zeroWidthSpaceInTheCopy", U"12345", U"12\u200B345", "CCCCC", 100}),
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
  // The characters written beyond the sent ones, in the order they first came.
  EXPECT_EQ(checkCopy(U"12", U"81928").extraCharacters(), (CharCounts{{U'8', 2}, {U'9', 1}}));
}

// The plain full-table edit distance with the stated preference, to hold the banded search to:
// the fewest errors, then the fewest missed and extra characters among them.
struct Best {
  int errors = 0, gaps = 0;
  bool operator<(const Best& o) const {
    return std::tie(errors, gaps) < std::tie(o.errors, o.gaps);
  }
};
Best editDistance(const std::u32string& a, const std::u32string& b) {
  std::vector<Best> prev(b.size() + 1), cur(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) prev[j] = {static_cast<int>(j), static_cast<int>(j)};
  for (std::size_t i = 1; i <= a.size(); ++i) {
    cur[0] = {static_cast<int>(i), static_cast<int>(i)};
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const Best wrong{prev[j - 1].errors + (a[i - 1] == b[j - 1] ? 0 : 1), prev[j - 1].gaps};
      const Best missed{prev[j].errors + 1, prev[j].gaps + 1};
      const Best extra{cur[j - 1].errors + 1, cur[j - 1].gaps + 1};
      cur[j] = std::min({wrong, missed, extra});
    }
    std::swap(prev, cur);
  }
  return prev[b.size()];
}

// Holds the check to the plain table: the counts, the accuracy and both texts spelled back.
void expectAsThePlainTable(const std::u32string& sent, const std::u32string& copy) {
  const CheckResult r = checkCopy(sent, copy);
  const Best best = editDistance(sent, copy);
  ASSERT_EQ(r.errors(), best.errors);
  ASSERT_EQ(r.missed + r.extra, best.gaps);
  ASSERT_EQ(r.extra - r.missed, static_cast<int>(copy.size()) - static_cast<int>(sent.size()));
  const int correct = static_cast<int>(sent.size()) - (best.errors - best.gaps) - r.missed;
  ASSERT_EQ(r.correct, correct);
  ASSERT_DOUBLE_EQ(r.accuracyPercent(),
                   accuracyPercent(static_cast<std::int64_t>(sent.size()), correct, r.extra));
  std::u32string s, w;
  for (const AlignedChar& a : r.steps) {
    if (a.mark != Mark::Extra) s += a.sent;
    if (a.mark != Mark::Missed) w += a.written;
  }
  ASSERT_EQ(s, sent);
  ASSERT_EQ(w, copy);
}

TEST(CopyCheck, ShortRandomCopiesTieAsThePlainTable) {
  // Few characters and short texts: alignments of equal cost are common.
  std::mt19937 gen(18);
  const std::u32string alphabet = U"абвг";
  for (int round = 0; round < 20000; ++round) {
    std::u32string sent, copy;
    for (std::size_t i = gen() % 9; i > 0; --i) sent += alphabet[gen() % alphabet.size()];
    for (std::size_t i = gen() % 11; i > 0; --i) copy += alphabet[gen() % alphabet.size()];
    SCOPED_TRACE("round " + std::to_string(round));
    expectAsThePlainTable(sent, copy);
  }
}

TEST(CopyCheck, ACopyMuchLongerThanTheTextIsAlignedWhole) {
  std::mt19937 gen(5);
  const std::u32string alphabet = U"0123456789";
  for (int round = 0; round < 4; ++round) {
    std::u32string sent, copy;
    for (int i = 0; i < 40; ++i) sent += alphabet[gen() % alphabet.size()];
    copy = sent;
    for (int i = 0; i < 2500; ++i) copy.insert(gen() % (copy.size() + 1), 1, alphabet[gen() % 10]);
    SCOPED_TRACE("round " + std::to_string(round));
    expectAsThePlainTable(sent, copy);
  }
}

TEST(CopyCheck, ReadsALatinLetterAsTheCyrillicOneOfTheSameCode) {
  // Every Latin letter of either case, against the Cyrillic letter of its international code.
  const std::u32string latin = U"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  const std::u32string cyrillic = U"абцдефгхийклмнопщрстужвьызабцдефгхийклмнопщрстужвьыз";
  const CheckResult r = checkCopy(cyrillic, latin);
  EXPECT_EQ(r.correct, r.sent);
  EXPECT_EQ(r.readAsCyrillic.size(), 26u);
  EXPECT_EQ(r.readAsCyrillic[22], (std::pair<char32_t, char32_t>{U'w', U'в'}));
  EXPECT_EQ(cyrillicOfLatin(U'Z'), U'з');
  // Cyrillic copies read nothing so.
  EXPECT_TRUE(checkCopy(U"абв", U"абв").readAsCyrillic.empty());
}

TEST(CopyCheck, FoldsTheCaseOfTheWholeAlphabet) {
  const std::u32string upper = U"АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ";
  const std::u32string lower = U"абвгдеежзийклмнопрстуфхцчшщъыьэюя";
  EXPECT_EQ(normalizeForCheck(upper), lower);
  EXPECT_EQ(normalizeForCheck(U"абвгдеёжзийклмнопрстуфхцчшщъыьэюя"), lower);
  EXPECT_EQ(normalizeForCheck(U"ЀЂЏ"), U"ѐђџ");
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
    SCOPED_TRACE("round " + std::to_string(round));
    expectAsThePlainTable(sent, copy);
  }
}

}  // namespace
}  // namespace kelvak
