// The history's summary against the records it sums, counted plainly here, and the keeper that
// reads it off the window's thread and keeps it up to date.
#include "training/history_summary.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "tests/fakes/window_thread.h"
#include "training/history_keeper.h"

namespace kelvak {
namespace {

namespace fs = std::filesystem;

// Checks over `days` days of random copies of digits and letters, some of nothing.
std::vector<CheckRecord> randomChecks(int count, int days, unsigned seed) {
  std::mt19937 gen(seed);
  const std::u32string alphabet = U"0123456789абвгдежзшщ";
  std::vector<CheckRecord> out;
  for (int i = 0; i < count; ++i) {
    std::u32string sent, copy;
    const int length = static_cast<int>(gen() % 40);
    for (int k = 0; k < length; ++k) {
      const char32_t c = alphabet[gen() % alphabet.size()];
      sent += c;
      const unsigned roll = gen() % 10;
      if (roll < 7) copy += c;
      if (roll == 7) copy += alphabet[gen() % alphabet.size()];
      if (roll == 8) copy += U"ш";
    }
    RecordSettings s;
    s.source = static_cast<TextSource>(gen() % 3);
    s.speed = 5 + static_cast<int>(gen() % 20);
    s.groups = length / 5;
    out.push_back(makeRecord(checkCopy(sent, copy), s,
                             1'790'000'000 + static_cast<std::int64_t>(gen() % days) * 86400 +
                                 static_cast<std::int64_t>(gen() % 86400)));
  }
  return out;
}

HistorySummary summaryOf(const std::vector<CheckRecord>& records) {
  HistorySummary s;
  std::int32_t line = 0;
  for (const CheckRecord& r : records) s.add(r, ++line);
  return s;
}

void expectSame(const Progress& a, const Progress& b) {
  ASSERT_EQ(a.checks.size(), b.checks.size());
  for (std::size_t k = 0; k < a.checks.size(); ++k) {
    EXPECT_EQ(a.checks[k].time, b.checks[k].time);
    EXPECT_EQ(a.checks[k].accuracy, b.checks[k].accuracy);
  }
  ASSERT_EQ(a.chars.size(), b.chars.size());
  for (std::size_t k = 0; k < a.chars.size(); ++k) {
    EXPECT_EQ(a.chars[k].ch, b.chars[k].ch);
    EXPECT_EQ(a.chars[k].sent, b.chars[k].sent);
    EXPECT_EQ(a.chars[k].correct, b.chars[k].correct);
  }
  ASSERT_EQ(a.confusions.size(), b.confusions.size());
  for (std::size_t k = 0; k < a.confusions.size(); ++k) {
    EXPECT_EQ(a.confusions[k].sent, b.confusions[k].sent);
    EXPECT_EQ(a.confusions[k].takenFor, b.confusions[k].takenFor);
    EXPECT_EQ(a.confusions[k].count, b.confusions[k].count);
  }
  ASSERT_EQ(a.days.size(), b.days.size());
  for (std::size_t k = 0; k < a.days.size(); ++k) {
    EXPECT_EQ(a.days[k].day, b.days[k].day);
    EXPECT_EQ(a.days[k].checks, b.days[k].checks);
    EXPECT_EQ(a.days[k].chars, b.days[k].chars);
    EXPECT_EQ(a.days[k].seconds, b.days[k].seconds);
  }
}

// Under every filter the summary's sums are the plain sums of the checks that pass it, and its
// weak characters' tallies are those counted from the records.
TEST(HistorySummary, SumsWhatThePlainCountOfTheRecordsSums) {
  const std::vector<CheckRecord> records = randomChecks(400, 30, 5);
  const HistorySummary summary = summaryOf(records);
  const std::int64_t firstDay = 1'790'000'000 / 86400;
  for (const std::optional<TextSource> source :
       {std::optional<TextSource>{}, std::optional{TextSource::Letters}}) {
    for (const std::int64_t since : {firstDay - 1, firstDay + 10, firstDay + 29, firstDay + 40}) {
      const Progress p = summary.progress({source, since});
      std::map<char32_t, std::pair<std::int64_t, std::int64_t>> chars;
      std::map<std::pair<char32_t, char32_t>, std::int64_t> confusions;
      std::size_t checks = 0;
      for (const CheckRecord& r : records) {
        if (r.sent == 0 || (source && r.settings.source != *source) || r.time / 86400 < since) {
          continue;
        }
        ++checks;
        for (const CharTally& t : r.chars) {
          chars[t.ch].first += t.sent;
          chars[t.ch].second += t.correct;
          for (const auto& [w, n] : t.takenFor) confusions[{t.ch, w}] += n;
        }
      }
      ASSERT_EQ(p.checks.size(), checks);
      ASSERT_EQ(p.chars.size(), chars.size());
      for (const CharShare& c : p.chars) {
        EXPECT_EQ(c.sent, chars[c.ch].first);
        EXPECT_EQ(c.correct, chars[c.ch].second);
      }
      for (const Confusion& c : p.confusions) {
        EXPECT_EQ(c.count, (confusions[{c.sent, c.takenFor}]));
      }
      EXPECT_EQ(p.confusions.size(), std::min(kMaxConfusions, confusions.size()));
    }
  }
  const auto expected = recentTallies(records);
  const auto tallies = summary.recentTallies();
  ASSERT_EQ(tallies.size(), expected.size());
  for (const auto& [ch, t] : expected) {
    EXPECT_DOUBLE_EQ(tallies.at(ch).sent, t.sent);
    EXPECT_DOUBLE_EQ(tallies.at(ch).correct, t.correct);
  }
}

// Kept only as far back as the weak characters count (the command line's reading), the sendings
// give the tallies of the records, also where every character has had far more sendings than count.
TEST(HistorySummary, TheLatestSendingsAloneGiveTheWeakCharactersTallies) {
  for (const int count : {40, 3000}) {
    const std::vector<CheckRecord> records = randomChecks(count, 30, 7);
    LatestSendings latest(kRecentSendings);
    for (const CheckRecord& r : records) latest.add(r);
    const auto expected = recentTallies(records);
    const auto tallies = latest.tallies();
    ASSERT_EQ(tallies.size(), expected.size()) << count;
    for (const auto& [ch, t] : expected) {
      EXPECT_DOUBLE_EQ(tallies.at(ch).sent, t.sent) << count;
      EXPECT_DOUBLE_EQ(tallies.at(ch).correct, t.correct) << count;
    }
    if (count == 3000) {
      EXPECT_EQ(tallies.at(U'0').sent, static_cast<double>(kRecentSendings));
    }
  }
}

// Taken back check by check, the summary is the one of the checks left, weak tallies included.
TEST(HistorySummary, TakingChecksBackLeavesTheSummaryOfTheRest) {
  std::vector<CheckRecord> records = randomChecks(300, 5, 9);
  HistorySummary summary = summaryOf(records);
  summary.damaged(301);
  while (records.size() > 250) {
    EXPECT_TRUE(summary.removeLast(records.back()));
    records.pop_back();
    expectSame(summary.progress(), summaryOf(records).progress());
    const auto expected = recentTallies(records);
    for (const auto& [ch, t] : expected) {
      EXPECT_DOUBLE_EQ(summary.recentTallies().at(ch).sent, t.sent);
    }
  }
  EXPECT_EQ(summary.damagedLines(), std::vector<std::int32_t>{251});
  EXPECT_EQ(summary.checks().size(), 250u);
}

class HistoryKeeperTest : public testing::Test {
 protected:
  fs::path path = fs::temp_directory_path() /
                  ("kelvak_keeper_" + std::to_string(getpid()) + "_" +
                   testing::UnitTest::GetInstance()->current_test_info()->name() + ".jsonl");
  History history{path.string()};
  FakeWindowThread window;
  HistoryKeeper keeper{history, window.post()};
  void TearDown() override { fs::remove(path); }
  void write(const std::vector<CheckRecord>& records) {
    std::ofstream out(path, std::ios::binary);
    for (const CheckRecord& r : records) out << toJsonLine(r);
  }
};

// A long history is read on a thread of its own and comes in through the window's thread; then
// appended checks are read on the window's thread, a removed one is taken out of the summary, and
// a file replaced by another program is read whole again off the window's thread.
TEST_F(HistoryKeeperTest, ReadsALongHistoryOffTheWindowsThreadAndThenOnlyWhatChanged) {
  std::vector<CheckRecord> records = randomChecks(3000, 60, 3);
  write(records);
  ASSERT_GT(fs::file_size(path), static_cast<std::uintmax_t>(kHistoryReadInPlaceBytes));
  int changes = 0;
  keeper.changed = [&] { ++changes; };
  keeper.start();
  EXPECT_FALSE(keeper.ready());
  EXPECT_TRUE(keeper.summary().checks().empty());
  keeper.update();  // nothing yet, and no waiting
  window.runUntil([&] { return keeper.ready(); });
  EXPECT_EQ(changes, 1);
  expectSame(keeper.summary().progress(), summaryOf(records).progress());

  records.push_back(randomChecks(1, 1, 4).front());
  history.append(records.back());
  keeper.update();
  ASSERT_TRUE(keeper.ready());
  expectSame(keeper.summary().progress(), summaryOf(records).progress());

  const std::optional<CheckRecord> removed = keeper.removeLastCheck();
  ASSERT_TRUE(removed.has_value());
  EXPECT_EQ(removed->time, records.back().time);
  records.pop_back();
  EXPECT_TRUE(keeper.ready());  // taken out of the summary, not read again
  expectSame(keeper.summary().progress(), summaryOf(records).progress());
  records.push_back(randomChecks(1, 1, 6).front());
  history.append(records.back());
  keeper.update();
  expectSame(keeper.summary().progress(), summaryOf(records).progress());

  records.resize(2900);
  const fs::path other = path.string() + ".new";
  {
    std::ofstream out(other, std::ios::binary);
    for (const CheckRecord& r : records) out << toJsonLine(r);
  }
  fs::rename(other, path);
  keeper.update();
  EXPECT_FALSE(keeper.ready());
  EXPECT_EQ(keeper.summary().checks().size(), 3001u);  // what was read stays until the new comes
  window.runUntil([&] { return keeper.ready(); });
  expectSame(keeper.summary().progress(), summaryOf(records).progress());

  // A check another program appended since, taken back: the file is not the one read, so it is
  // read anew.
  records.push_back(randomChecks(1, 1, 7).front());
  history.append(records.back());
  ASSERT_TRUE(keeper.removeLastCheck().has_value());
  records.pop_back();
  window.runUntil([&] { return keeper.ready(); });
  expectSame(keeper.summary().progress(), summaryOf(records).progress());
}

// A check taken back while the history is still being read is gone from the file and from what
// the reading shows.
TEST_F(HistoryKeeperTest, ACheckTakenBackWhileReadingIsGoneFromWhatIsRead) {
  std::vector<CheckRecord> records = randomChecks(3000, 60, 3);
  write(records);
  keeper.start();
  const std::optional<CheckRecord> removed = keeper.removeLastCheck();
  ASSERT_TRUE(removed.has_value());
  EXPECT_EQ(removed->time, records.back().time);
  records.pop_back();
  window.runUntil([&] { return keeper.ready(); });
  expectSame(keeper.summary().progress(), summaryOf(records).progress());
}

TEST_F(HistoryKeeperTest, AShortHistoryIsReadAtOnceAndAFailureIsSaidWithThePath) {
  write(randomChecks(5, 2, 1));
  keeper.start();
  EXPECT_TRUE(keeper.ready());
  EXPECT_EQ(keeper.summary().checks().size(), 5u);
  fs::remove(path);
  fs::create_directories(path);
  keeper.update();
  EXPECT_TRUE(keeper.error().starts_with(kHistoryReadFailed)) << keeper.error();
  EXPECT_NE(keeper.error().find(path.string()), std::string::npos);
  fs::remove(path);
  keeper.update();
  EXPECT_TRUE(keeper.error().empty());
  EXPECT_TRUE(keeper.summary().checks().empty());
}

}  // namespace
}  // namespace kelvak
