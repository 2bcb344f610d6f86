// The learning modes: the course's orders and lessons, the weak characters' weights, moving on,
// the course file and the character drill, each rule as one table.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "base/error.h"
#include "playback/text_source.h"
#include "synth/symbol_table.h"
#include "tests/case_name.h"
#include "tests/platform/system.h"
#include "training/course.h"
#include "training/course_progress.h"
#include "training/drill.h"
#include "training/history.h"
#include "training/kept_settings.h"
#include "training/learning_path.h"
#include "training/undo_check.h"
#include "training/weak_characters.h"

namespace kelvak {
namespace {

namespace fs = std::filesystem;

constexpr int kGroups = 999;

// How often each symbol comes in 999 groups drawn as the transmission draws them.
std::map<int, int> countSymbols(const SymbolChoice& choice, std::uint64_t seed = 1) {
  Random random;
  random.setState(seed);
  std::map<int, int> seen;
  for (int c = 1; c <= kGroups * 5; ++c) ++seen[nextSymbolIndex(choice, c, FileText{}, random)];
  return seen;
}

// The symbols the window's own draw can give for a text kind (a zero of either length as 0).
std::set<int> windowSymbols(int kind, bool special) {
  Random random;
  std::set<int> out;
  for (int n = 0; n < 20000; ++n) {
    const int s = nextSymbolIndex({true, kind, false, special, nullptr}, 1, FileText{}, random);
    out.insert(s == kLongZero ? 0 : s);
  }
  return out;
}

// A check in which `ch` was sent `sent` times and received right `correct` times.
CheckRecord checkOf(const std::map<char32_t, std::pair<int, int>>& tallies, std::int64_t time = 0) {
  CheckRecord r;
  r.time = time;
  for (const auto& [ch, t] : tallies) {
    CharTally c;
    c.ch = ch;
    c.sent = t.first;
    c.correct = t.second;
    r.chars.push_back(c);
    r.sent += t.first;
    r.correct += t.second;
  }
  return r;
}

// "letters", "lettersWithSpecialSigns", ...
std::string setName(CourseSet set, bool special) {
  return std::string(courseSetName(set)) + (special ? "WithSpecialSigns" : "");
}

// Rows named by their description.
constexpr auto kByName = [](const auto& info) { return testing_names::caseName(info.param.name); };

struct SetCase {
  CourseSet set;
  bool special;
};

class CourseOrderTest : public testing::TestWithParam<SetCase> {};

// Every set's order holds each character of the window's text kind exactly once, and starts with
// two characters of different length, so the first lesson is easy to tell apart.
TEST_P(CourseOrderTest, HoldsTheSetOnceStartingWithTwoUnlikeCharacters) {
  const auto [set, special] = GetParam();
  const auto& order = courseOrder(set, special);
  const std::set<int> unique(order.begin(), order.end());
  EXPECT_EQ(unique.size(), order.size());
  EXPECT_EQ(unique, windowSymbols(static_cast<int>(set), special));
  EXPECT_NE(SymbolTable[order[0]].length, SymbolTable[order[1]].length);
  EXPECT_EQ(lessonCount(set, special), static_cast<int>(order.size()) - 1);
}

INSTANTIATE_TEST_SUITE_P(
    Sets, CourseOrderTest,
    testing::Values(SetCase{CourseSet::Digits, false}, SetCase{CourseSet::Letters, false},
                    SetCase{CourseSet::Letters, true}, SetCase{CourseSet::Mixture, false},
                    SetCase{CourseSet::Mixture, true},
                    // The window sends no special signs with digits.
                    SetCase{CourseSet::Digits, true}),
    [](const auto& info) { return setName(info.param.set, info.param.special); });

struct LessonCase {
  CourseSet set;
  bool special;
  int lesson;
  bool longZero;
  bool weak = false;  // the weak characters too, with no history: all equally weak
};

class LessonTest : public testing::TestWithParam<LessonCase> {};

// A lesson's 999 groups hold only its characters, each of them, and the newest one with the share
// of its weight within four standard deviations.
TEST_P(LessonTest, SendsOnlyItsCharactersTheNewestByItsWeight) {
  const auto p = GetParam();
  LearningPath path;
  CourseProgress progress;
  progress.on = true;
  progress.lessons[static_cast<std::size_t>(p.set)] = p.lesson;
  path.setProgress(progress);
  path.setWeakOn(p.weak);
  const SymbolChoice plain{true, static_cast<int>(p.set), p.longZero, p.special, nullptr};
  const auto weights = path.weightsFor(plain);
  ASSERT_TRUE(weights);
  SymbolChoice choice = plain;
  choice.weights = weights.get();
  const auto seen = countSymbols(choice);

  const std::vector<int> lesson = lessonSymbols(p.set, p.special, p.lesson);
  // Lesson n has n + 1 characters; a lesson below the first is the first.
  EXPECT_EQ(lesson.size(), static_cast<std::size_t>(std::max(p.lesson, 1)) + 1);
  EXPECT_EQ(newestSymbol(p.set, p.special, p.lesson), lesson.back());
  std::map<int, int> byLesson;
  for (const auto& [s, n] : seen) {
    const int symbol = s == kLongZero ? 0 : s;
    ASSERT_NE(std::find(lesson.begin(), lesson.end(), symbol), lesson.end()) << displayUtf8(s);
    byLesson[symbol] += n;
  }
  EXPECT_EQ(byLesson.size(), lesson.size());
  // A zero is long where the window makes it long.
  if (byLesson.count(0)) {
    EXPECT_EQ(seen.count(kLongZero) == 1, p.longZero || p.set == CourseSet::Mixture);
  }

  const double n = kGroups * 5;
  const double k = static_cast<double>(lesson.size());
  const double share = lesson.size() > 2 ? kNewestWeight / (k - 1 + kNewestWeight) : 1 / k;
  const double sigma = std::sqrt(n * share * (1 - share));
  EXPECT_NEAR(byLesson[lesson.back()], n * share, 4 * sigma);
}

INSTANTIATE_TEST_SUITE_P(Lessons, LessonTest,
                         testing::Values(LessonCase{CourseSet::Letters, false, 1, false},
                                         LessonCase{CourseSet::Letters, false, 5, false},
                                         LessonCase{CourseSet::Letters, true, 34, false},
                                         LessonCase{CourseSet::Digits, false, 2, true},
                                         LessonCase{CourseSet::Digits, false, 9, false},
                                         LessonCase{CourseSet::Mixture, false, 9, false},
                                         LessonCase{CourseSet::Mixture, true, 44, false},
                                         LessonCase{CourseSet::Letters, false, 0, false},
                                         LessonCase{CourseSet::Letters, false, 5, false, true}),
                         [](const auto& info) {
                           const LessonCase& c = info.param;
                           return setName(c.set, c.special) + "Lesson" + std::to_string(c.lesson) +
                                  (c.longZero ? "LongZero" : "") + (c.weak ? "WeakToo" : "");
                         });

struct WeakCase {
  CourseSet set;
  char32_t weak;
};

class WeakGoalTest : public testing::TestWithParam<WeakCase> {};

// With one character received right 20 % of the time and the others 95 %, that character comes
// at least three times as often as any other in 999 groups.
TEST_P(WeakGoalTest, AWeakCharacterComesThreeTimesAsOften) {
  const auto [set, weak] = GetParam();
  std::map<char32_t, std::pair<int, int>> tallies;
  for (const int s : courseOrder(set, false)) {
    const char32_t ch = SymbolTable[s].unicode;
    tallies[ch] = ch == weak ? std::pair{500, 100} : std::pair{500, 475};
  }
  LearningPath path;
  path.setWeakOn(true);
  path.setHistory({checkOf(tallies)});
  SymbolChoice choice{true, static_cast<int>(set), false, false, nullptr};
  const auto weights = path.weightsFor(choice);
  ASSERT_TRUE(weights);
  choice.weights = weights.get();
  const auto seen = countSymbols(choice, 12345);
  const int weakCount = seen.at(*indexOfChar(weak));
  for (const auto& [s, n] : seen) {
    if (s != *indexOfChar(weak)) {
      EXPECT_GE(weakCount, 3 * n) << displayUtf8(s);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Sets, WeakGoalTest,
                         testing::Values(WeakCase{CourseSet::Letters, U'ж'},
                                         WeakCase{CourseSet::Digits, U'7'},
                                         WeakCase{CourseSet::Mixture, U'ц'}),
                         [](const auto& info) { return setName(info.param.set, false); });

struct TallyCase {
  const char* name;
  std::vector<CheckRecord> records;  // in time order
  char32_t ch;
  double weight;
};

class WeakWeightTest : public testing::TestWithParam<TallyCase> {};

TEST_P(WeakWeightTest, WeighsTheRecentErrorRateAboveTheFloor) {
  const auto& p = GetParam();
  const auto w = weakWeights({*indexOfChar(p.ch)}, recentTallies(p.records));
  ASSERT_EQ(w.size(), 1u);
  EXPECT_NEAR(w[0].second / 1000.0, p.weight, 0.002) << p.name;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, WeakWeightTest,
    testing::Values(
        TallyCase{"never sent counts as weak", {checkOf({{U'а', {10, 10}}})}, U'б', 1.0},
        TallyCase{
            "always right keeps the floor", {checkOf({{U'б', {500, 500}}})}, U'б', kFloorWeight},
        TallyCase{"a fifth right", {checkOf({{U'б', {500, 100}}})}, U'б', 405.0 / 505},
        TallyCase{"a few lucky answers stay weak", {checkOf({{U'б', {2, 2}}})}, U'б', 5.0 / 7},
        // Only the last 500 sendings count: 400 old wrong ones, then 500 right ones.
        TallyCase{"old errors age out",
                  {checkOf({{U'б', {400, 0}}}), checkOf({{U'б', {500, 500}}})},
                  U'б',
                  kFloorWeight},
        // The check that crosses the limit counts in part: 300 right, then half of 400 wrong.
        TallyCase{"the crossing check counts in part",
                  {checkOf({{U'б', {400, 0}}}), checkOf({{U'б', {300, 300}}})},
                  U'б',
                  205.0 / 505},
        // The room left is counted in sendings, right or not: 150 of 300 right, then 200 wrong.
        TallyCase{"the crossing check counts in part after errors",
                  {checkOf({{U'б', {400, 0}}}), checkOf({{U'б', {300, 150}}})},
                  U'б',
                  355.0 / 505}),
    kByName);

// The heaviest characters first, equal weights in the list's order, at most as many as asked.
TEST(WeakWeights, HeaviestComeFirstInAStableOrder) {
  const std::vector<std::pair<int, std::uint32_t>> weights = {{*indexOfChar(U'а'), 100},
                                                              {*indexOfChar(U'б'), 900},
                                                              {*indexOfChar(U'в'), 100},
                                                              {*indexOfChar(U'г'), 500},
                                                              {*indexOfChar(U'д'), 900}};
  EXPECT_EQ(heaviest(weights, 4), (std::vector<char32_t>{U'б', U'д', U'г', U'а'}));
  EXPECT_EQ(heaviest(weights, 9).size(), weights.size());
}

struct UnlockCase {
  const char* name;
  int lesson;
  std::int32_t sent;
  double accuracy;
  std::u32string text;
  bool unlocks;
};

class UnlockTest : public testing::TestWithParam<UnlockCase> {};

TEST_P(UnlockTest, MovesOnAtNinetyPercentOfAHundred) {
  const auto& p = GetParam();
  LearningPath path;
  CourseProgress progress;
  progress.on = true;
  progress.lessons[1] = p.lesson;
  path.setProgress(progress);
  const auto next = path.afterCheck(CourseSet::Letters, false, p.sent, p.accuracy, p.text, 7);
  EXPECT_EQ(next.has_value(), p.unlocks) << p.name;
  EXPECT_EQ(path.progress().lesson(CourseSet::Letters), p.unlocks ? p.lesson + 1 : p.lesson);
  EXPECT_EQ(path.progress().steps.size(), p.unlocks ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, UnlockTest,
    testing::Values(UnlockCase{"enough and right enough", 2, 100, 90.0, U"кмууу", true},
                    UnlockCase{"one character short", 2, 99, 100.0, U"кмууу", false},
                    UnlockCase{"just below 90 %", 2, 150, 89.9, U"кму", false},
                    UnlockCase{"a character beyond the lesson", 2, 150, 95.0, U"кмур", false},
                    UnlockCase{"the last lesson stays", 30, 150, 99.0, U"кму", false},
                    UnlockCase{"a character outside every set", 2, 150, 95.0, U"кму!", false}),
    kByName);

class CourseFileTest : public testing::Test {
 protected:
  fs::path dir = fs::temp_directory_path() / ("kelvak_course_" + std::to_string(getpid()));
  void SetUp() override { fs::remove_all(dir); }
  void TearDown() override {
    if (fs::exists(dir)) fs::permissions(dir, fs::perms::owner_all);
    fs::remove_all(dir);
  }
  std::string file() const { return (dir / "course.json").string(); }
};

TEST_F(CourseFileTest, KeepsLessonsAndStepsAndReplacesTheFileWhole) {
  const CourseFile f(file());
  EXPECT_EQ(f.load().progress.lesson(CourseSet::Letters), 1);  // no file yet: the start
  const CourseState written = f.change([](CourseProgress& p) {
    p.on = true;
    p.moveTo(CourseSet::Letters, 4, 1'796'000'000);
    p.moveTo(CourseSet::Letters, 4, 1'796'000'050);  // no move, no step
    p.moveTo(CourseSet::Digits, 2, 1'796'000'100);
    p.set = CourseSet::Letters;
  });
  EXPECT_EQ(written.notice, "");
  const CourseProgress back = f.load().progress;
  EXPECT_TRUE(back.on);
  EXPECT_EQ(back.set, CourseSet::Letters);
  EXPECT_EQ(back.lessons, written.progress.lessons);
  ASSERT_EQ(back.steps.size(), 2u);
  EXPECT_EQ(back.steps[1].time, 1'796'000'100);
  EXPECT_EQ(back.steps[1].set, CourseSet::Digits);
  // Nothing but the file itself is left in the folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

  // A write that cannot be made leaves the old file as it was.
  fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
  if (!test_platform::missingFeature(test_platform::SystemFeature::ReadOnlyFolder)) {
    EXPECT_THROW(f.change([](CourseProgress& p) { p.moveTo(CourseSet::Letters, 9, 1); }),
                 KelvakError);
    EXPECT_EQ(f.load().progress.lesson(CourseSet::Letters), 4);
  }
}

TEST(CourseProgressJson, DamageIsReportedNotGuessed) {
  for (const char* text :
       {"", "{", "[]", R"({"on":true})",
        R"({"on":true,"lessons":{"digits":1,"letters":0,"mixture":1},"steps":[]})",
        R"({"on":1,"lessons":{"digits":1,"letters":1,"mixture":1},"steps":[]})",
        R"({"on":true,"lessons":{"digits":1,"letters":1,"mixture":1},"steps":[],"set":"words"})",
        R"({"on":true,"lessons":{"digits":1,"letters":1,"mixture":1},)"
        R"("steps":[{"time":"2026-12-09T12:40:00Z","set":"letters","lesson":0}]})"}) {
    EXPECT_THROW(courseProgressFromJson(text), KelvakError) << text;
  }
  // A file from before the chosen set was kept names none.
  EXPECT_EQ(courseProgressFromJson(
                R"({"on":true,"lessons":{"digits":1,"letters":1,"mixture":1},"steps":[]})")
                .set,
            std::nullopt);
  // The last lesson of the letters with special signs is a lesson, one past it is not.
  EXPECT_EQ(courseProgressFromJson(
                R"({"on":true,"lessons":{"digits":1,"letters":34,"mixture":1},"steps":[]})")
                .lesson(CourseSet::Letters),
            34);
  EXPECT_THROW(courseProgressFromJson(
                   R"({"on":true,"lessons":{"digits":1,"letters":35,"mixture":1},"steps":[]})"),
               KelvakError);
}

struct DrillStep {
  char32_t typed;  // 0: the character sent
  std::int64_t reactionMs;
  bool replay;
  int speed;  // after the answer
};

struct DrillCase {
  const char* name;
  int startSpeed;
  std::vector<DrillStep> steps;
};

class DrillRuleTest : public testing::TestWithParam<DrillCase> {};

TEST_P(DrillRuleTest, SpeedsUpWhenRightAndFastSlowsDownAfterErrors) {
  const auto& p = GetParam();
  const SymbolWeights weights({{10, 1}, {11, 1}});
  Drill drill(weights, p.startSpeed, Random{});
  for (std::size_t k = 0; k < p.steps.size(); ++k) {
    const int sent = drill.next();
    const DrillStep& s = p.steps[k];
    const auto out = drill.answer(s.typed ? s.typed : SymbolTable[sent].unicode, s.reactionMs);
    EXPECT_EQ(out.replay, s.replay) << p.name << " step " << k;
    EXPECT_EQ(out.speed, s.speed) << p.name << " step " << k;
  }
}

constexpr std::int64_t kFast = kFastReactionMs, kSlow = kFastReactionMs + 1;
constexpr char32_t kWrong = U'я';

INSTANTIATE_TEST_SUITE_P(
    Rules, DrillRuleTest,
    testing::Values(
        DrillCase{"three fast right ones",
                  12,
                  {{0, kFast, false, 12}, {0, 0, false, 12}, {0, 10, false, 13}}},
        DrillCase{"six fast right ones speed up twice",
                  12,
                  {{0, 10, false, 12},
                   {0, 10, false, 12},
                   {0, 10, false, 13},
                   {0, 10, false, 13},
                   {0, 10, false, 13},
                   {0, 10, false, 14}}},
        DrillCase{"a slow one starts the count again",
                  12,
                  {{0, 10, false, 12},
                   {0, kSlow, false, 12},
                   {0, 10, false, 12},
                   {0, 10, false, 12},
                   {0, 10, false, 13}}},
        DrillCase{
            "a wrong one slows down and replays",
            12,
            {{0, 10, false, 12}, {0, 10, false, 12}, {kWrong, 10, true, 10}, {0, 10, false, 10}}},
        DrillCase{"the slowest speed holds",
                  kDrillMinSpeed + 1,
                  {{kWrong, 10, true, kDrillMinSpeed}, {kWrong, 10, true, kDrillMinSpeed}}},
        DrillCase{"the fastest speed holds",
                  30,
                  {{0, 10, false, 30}, {0, 10, false, 30}, {0, 10, false, 30}}}),
    kByName);

struct DrillKeyCase {
  char32_t sent;
  char32_t typed;
  bool right;
};

class DrillKeyTest : public testing::TestWithParam<DrillKeyCase> {};

// The drill takes a key as the check takes a written character: case, "ё" as "е", and a Latin
// letter as the Russian letter of the same Morse code.
TEST_P(DrillKeyTest, ReadsAKeyAsTheCheckReadsACharacter) {
  const auto& p = GetParam();
  const SymbolWeights weights({{*indexOfChar(p.sent), 1}});
  Drill drill(weights, 12, Random{});
  drill.next();
  EXPECT_EQ(drill.answer(p.typed, 10).right, p.right);
  const bool latin = (p.typed | 0x20) >= U'a' && (p.typed | 0x20) <= U'z';
  EXPECT_EQ(drill.readAsCyrillic().size(), latin ? 1u : 0u);
  if (latin) {
    EXPECT_EQ(drill.readAsCyrillic()[0].first, p.typed | 0x20);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, DrillKeyTest,
    testing::Values(DrillKeyCase{U'ф', U'ф', true}, DrillKeyCase{U'ф', U'Ф', true},
                    DrillKeyCase{U'ф', U'f', true}, DrillKeyCase{U'ф', U'F', true},
                    DrillKeyCase{U'е', U'ё', true}, DrillKeyCase{U'щ', U'q', true},
                    DrillKeyCase{U'ж', U'v', true}, DrillKeyCase{U'ь', U'x', true},
                    DrillKeyCase{U'ы', U'y', true}, DrillKeyCase{U'ц', U'c', true},
                    DrillKeyCase{U'а', U'f', false}, DrillKeyCase{U'э', U'e', false},
                    DrillKeyCase{U'5', U'5', true}, DrillKeyCase{U'5', U's', false}),
    [](const auto& info) {
      return testing_names::charName(info.param.sent) + "As" +
             testing_names::charName(info.param.typed);
    });

TEST(DrillLatinKeys, AreNamedOnceEachInOrder) {
  const SymbolWeights weights({{*indexOfChar(U'ф'), 1}});
  Drill drill(weights, 12, Random{});
  for (const char32_t typed : {U'f', U'F', U'ф', U'd', U'f'}) {
    drill.next();
    drill.answer(typed, 10);
  }
  EXPECT_EQ(drill.readAsCyrillic(),
            (std::vector<std::pair<char32_t, char32_t>>{{U'f', U'ф'}, {U'd', U'д'}}));
  EXPECT_EQ(drill.record(TextSource::Letters, 0).correct, 4);  // all but "d"
}

TEST(DrillRecordTest, NothingToChooseFromAndAnAnswerBeforeASoundAreRefused) {
  EXPECT_THROW(Drill(SymbolWeights(), 12, Random{}), KelvakError);
  Drill drill(SymbolWeights({{10, 1}}), 12, Random{});
  EXPECT_THROW(drill.answer(U'а', 10), KelvakError);
}

// A drill of 100 characters records its accuracy and its median reaction time, and the history
// reads the drill back beside an older check record.
TEST(DrillRecordTest, AHundredCharactersRecordAccuracyAndMedianReaction) {
  const SymbolWeights weights({{10, 1}, {15, 1}, {23, 1}});
  Drill drill(weights, 12, Random{});
  for (int k = 0; k < 100; ++k) {
    const int sent = drill.next();
    // Every tenth one wrong; reaction times 0, 10, ..., 990 ms in a shuffled order.
    const char32_t typed = k % 10 == 3 ? U'ю' : SymbolTable[sent].unicode;
    drill.answer(typed, (k * 37 % 100) * 10);
  }
  const DrillRecord r = drill.record(TextSource::Letters, 1'796'000'000);
  EXPECT_EQ(r.sent, 100);
  EXPECT_EQ(r.correct, 90);
  EXPECT_DOUBLE_EQ(r.accuracyPercent(), 90.0);
  EXPECT_EQ(r.medianReactionMs, 490);
  // A clock set back gives no reaction time below 0.
  Drill late(weights, 12, Random{});
  late.answer(SymbolTable[late.next()].unicode, -50);
  EXPECT_EQ(late.record(TextSource::Letters, 0).medianReactionMs, 0);

  const fs::path file = fs::temp_directory_path() / ("kelvak_drill_" + std::to_string(getpid()));
  fs::remove(file);
  const History h(file.string());
  RecordSettings older;
  older.groups = 1;
  h.append(makeRecord(checkCopy(U"ааааа", U"аааба"), older, 1'795'000'000));
  h.append(r);
  const HistoryContents back = h.load();
  fs::remove(file);
  EXPECT_TRUE(back.damagedLines.empty());
  ASSERT_EQ(back.records.size(), 1u);
  ASSERT_EQ(back.drills.size(), 1u);
  EXPECT_EQ(back.drills[0].correct, 90);
  EXPECT_EQ(back.drills[0].medianReactionMs, 490);
  EXPECT_EQ(back.drills[0].startSpeed, 12);
  EXPECT_EQ(back.drills[0].endSpeed, r.endSpeed);
  EXPECT_FALSE(drillFromJsonLine(R"({"kind":"drill","time":"2026-12-09T12:40:00Z"})"));
  // No drill writes more right answers than sendings, nor a count or a time below zero.
  for (const auto& [from, to] : {std::pair{"\"correct\":90", "\"correct\":101"},
                                 {"\"sent\":100", "\"sent\":-1"},
                                 {"\"reactionMs\":490", "\"reactionMs\":-1"}}) {
    std::string line = toJsonLine(r);
    ASSERT_NE(line.find(from), std::string::npos) << line;
    line.replace(line.find(from), std::string_view(from).size(), to);
    EXPECT_FALSE(drillFromJsonLine(line)) << line;
  }
}

std::string fileText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Taking the last check back removes its line alone, byte for byte, leaving drills, damaged lines
// and earlier checks; with no check left it changes nothing.
TEST(UndoCheck, RemovesTheLastCheckLineAndNothingElse) {
  const fs::path file = fs::temp_directory_path() / ("kelvak_undo_" + std::to_string(getpid()));
  fs::remove(file);
  const History h(file.string());
  EXPECT_EQ(removeLastCheck(h), std::nullopt);  // no file: nothing to take back
  EXPECT_FALSE(fs::exists(file));

  RecordSettings s;
  s.groups = 1;
  const CheckRecord first = makeRecord(checkCopy(U"ааааа", U"ааааа"), s, 1'795'000'000);
  const CheckRecord second = makeRecord(checkCopy(U"12345", U"1"), s, 1'795'000'100);
  DrillRecord drill;
  drill.time = 1'795'000'050;
  const std::string damaged = "{\"time\":\n";
  const std::string a = toJsonLine(first), d = toJsonLine(drill), b = toJsonLine(second);
  std::ofstream(file, std::ios::binary) << a << d << damaged << b << d.substr(0, d.size() - 1);

  const auto removed = removeLastCheck(h);
  ASSERT_TRUE(removed.has_value());
  EXPECT_EQ(removed->record.time, second.time);
  EXPECT_EQ(removed->record.sent, 5);
  EXPECT_EQ(removed->lineBytes, static_cast<std::int64_t>(b.size()));
  EXPECT_EQ(removed->fileBytes,
            static_cast<std::int64_t>((a + d + damaged + b).size() + d.size() - 1));
  EXPECT_EQ(fileText(file), a + d + damaged + d.substr(0, d.size() - 1));
  {
    // Another copy writing: given up after a short wait, the file as it was.
    const std::shared_ptr<void> held = test_platform::holdHistoryLock(file.string());
    ASSERT_TRUE(held);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_THROW(removeLastCheck(h), KelvakError);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(fileText(file), a + d + damaged + d.substr(0, d.size() - 1));
  }
  EXPECT_EQ(removeLastCheck(h)->record.time, first.time);
  EXPECT_EQ(fileText(file), d + damaged + d.substr(0, d.size() - 1));
  EXPECT_EQ(removeLastCheck(h), std::nullopt);
  EXPECT_EQ(fileText(file), d + damaged + d.substr(0, d.size() - 1));
  EXPECT_EQ(h.load().drills.size(), 2u);
  fs::remove(file);

  // A folder is no history, nor a FIFO (never waited on for a writer): refused with the reason,
  // and left alone.
  fs::create_directories(file);
  try {
    removeLastCheck(h);
    ADD_FAILURE() << "a folder was taken for a history";
  } catch (const KelvakError& e) {
    EXPECT_EQ(std::string(e.what()), std::string(kCheckNotRemoved) + ": not a regular file");
  }
  fs::remove(file);
  if (test_platform::makeFifo(file.string())) {
    EXPECT_THROW(removeLastCheck(h), KelvakError);
    fs::remove(file);
  }
}

struct StepBackCase {
  const char* name;
  TextSource checked;
  std::int64_t checkTime;
  std::vector<CourseStep> steps;  // letters reach the last step's lesson of letters
  bool takenBack;
  int lettersAfter;
};

class StepBack : public testing::TestWithParam<StepBackCase> {};

TEST_P(StepBack, OnlyTheStepTheCheckMadeGoesBack) {
  const auto& p = GetParam();
  CourseProgress progress;
  progress.on = true;
  progress.steps = p.steps;
  for (const CourseStep& step : p.steps)
    progress.lessons[static_cast<std::size_t>(step.set)] = step.lesson;
  CheckRecord check;
  check.time = p.checkTime;
  check.settings.source = p.checked;
  EXPECT_EQ(takeBackStepOf(progress, check), p.takenBack);
  EXPECT_EQ(progress.lesson(CourseSet::Letters), p.lettersAfter);
  EXPECT_EQ(progress.steps.size(), p.steps.size() - (p.takenBack ? 1 : 0));
}

constexpr std::int64_t kCheckAt = 1'795'000'000;

INSTANTIATE_TEST_SUITE_P(
    Rows, StepBack,
    testing::Values(
        StepBackCase{"MadeByTheCheck",
                     TextSource::Letters,
                     kCheckAt,
                     {{kCheckAt - 99, CourseSet::Letters, 3}, {kCheckAt, CourseSet::Letters, 4}},
                     true,
                     3},
        StepBackCase{"AnEarlierStep",
                     TextSource::Letters,
                     kCheckAt + 5,
                     {{kCheckAt, CourseSet::Letters, 4}},
                     false,
                     4},
        StepBackCase{"ChosenByHandSince",
                     TextSource::Letters,
                     kCheckAt,
                     {{kCheckAt, CourseSet::Letters, 4}, {kCheckAt + 9, CourseSet::Letters, 2}},
                     false,
                     2},
        StepBackCase{"AnotherSetsStep",
                     TextSource::Digits,
                     kCheckAt,
                     {{kCheckAt, CourseSet::Letters, 4}},
                     false,
                     4},
        StepBackCase{"AFileCheck",
                     TextSource::File,
                     kCheckAt,
                     {{kCheckAt, CourseSet::Letters, 4}},
                     false,
                     4},
        StepBackCase{"MadeByAMixtureCheck",
                     TextSource::Mixture,
                     kCheckAt,
                     {{kCheckAt, CourseSet::Mixture, 5}},
                     true,
                     1},
        StepBackCase{"NoSteps", TextSource::Letters, kCheckAt, {}, false, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// The window's settings come back as they were kept, the help window's size too; a file of a
// missing field, a wrong kind or a value beyond its control is damaged, never half read.
TEST(KeptSettingsJson, ComeBackAsKeptAndRefuseWhatNoControlHolds) {
  KeptSettings s;
  s.textKind = 2;
  s.speed = 0;  // the slider reaches 0; Play then reports it
  s.frequency = 5000;
  s.signalPosition = 127;
  s.noisePosition = 0;
  s.groups = 999;
  s.charPause = 5;
  s.groupPause = 1;
  s.longZero = s.specialSigns = s.hideText = s.weakCharacters = true;
  s.helpWidth = 2560;  // a large screen
  s.helpHeight = 700;
  EXPECT_EQ(keptSettingsFromJson(toJson(s)), s);
  EXPECT_EQ(keptSettingsFromJson(toJson(KeptSettings{})), KeptSettings{});  // no help size
  // Each switch by itself, so that none is read from another's field.
  for (bool KeptSettings::*on : {&KeptSettings::longZero, &KeptSettings::specialSigns,
                                 &KeptSettings::hideText, &KeptSettings::weakCharacters}) {
    KeptSettings one;
    one.*on = !(one.*on);
    EXPECT_EQ(keptSettingsFromJson(toJson(one)), one);
  }

  const std::string whole = toJson(s);
  auto with = [&](const std::string& from, const std::string& to) {
    std::string text = whole;
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
  };
  for (const std::string& damaged :
       {std::string(), std::string("{"), whole.substr(0, whole.size() / 2),
        with("\"speed\": 0", "\"speed\": 31"), with("\"frequency\": 5000", "\"frequency\": 99"),
        with("\"signal\": 127", "\"signal\": 128"), with("\"noise\": 0", "\"noise\": -1"),
        with("\"textKind\": 2", "\"textKind\": 3"), with("\"groups\": 999", "\"groups\": 1000"),
        with("\"charPause\": 5", "\"charPause\": 0"), with("\"longZero\": true", "\"longZero\": 1"),
        with("\"speed\": 0,", ""), with("2560", "0"), with("2560", "\"2560\""),
        with("2560", "16385")}) {
    EXPECT_THROW(keptSettingsFromJson(damaged), KelvakError) << damaged;
  }
}

}  // namespace
}  // namespace kelvak
