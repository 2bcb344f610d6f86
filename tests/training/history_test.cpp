// The history file: records survive a round trip, damage stays on its line, an unwritable place is
// reported, and two programs writing at once never mix their records.
#include "training/history.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "base/error.h"
#include "tests/case_name.h"
#include "tests/platform/system.h"
#include "training/progress.h"

namespace kelvak {
namespace {

namespace fs = std::filesystem;

CheckRecord sampleRecord(std::int64_t time = 1'796'000'000, int speed = 12) {
  RecordSettings s;
  s.source = TextSource::File;
  s.file = "урок \"1\".txt";
  s.speed = speed;
  s.frequency = 700;
  s.noise = 20;
  s.groups = 2;
  return makeRecord(checkCopy(U"шщ0?№ 12", U"щщ0№ 12x"), s, time);
}

class HistoryTest : public testing::Test {
 protected:
  fs::path dir;
  void SetUp() override {
    dir =
        fs::temp_directory_path() / ("kelvak_history_" + std::to_string(getpid()) + "_" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
  }
  void TearDown() override {
    if (fs::exists(dir)) fs::permissions(dir, fs::perms::owner_all);
    fs::remove_all(dir);
  }
  std::string file() const { return (dir / "sub" / "history.jsonl").string(); }
  void appendRaw(const std::string& bytes) const {
    std::ofstream(file(), std::ios::binary | std::ios::app) << bytes;
  }
};

TEST_F(HistoryTest, ARecordComesBackAsItWasWritten) {
  const History h(file());
  const CheckRecord written = sampleRecord();
  h.append(written);  // also makes the missing folders
  const HistoryContents read = h.load();
  ASSERT_EQ(read.records.size(), 1u);
  EXPECT_TRUE(read.damagedLines.empty());
  const CheckRecord& r = read.records[0];
  EXPECT_EQ(r.time, written.time);
  EXPECT_EQ(r.settings.source, TextSource::File);
  EXPECT_EQ(r.settings.file, written.settings.file);
  EXPECT_EQ(r.settings.speed, 12);
  EXPECT_EQ(r.settings.frequency, 700);
  EXPECT_EQ(r.settings.noise, 20);
  EXPECT_EQ(r.settings.groups, 2);
  EXPECT_EQ(std::tie(r.sent, r.correct, r.wrong, r.missed, r.extra),
            std::tie(written.sent, written.correct, written.wrong, written.missed, written.extra));
  ASSERT_NE(r.tally(U'ш'), nullptr);
  EXPECT_EQ(r.tally(U'ш')->takenForCount(U'щ'), 1);
  ASSERT_NE(r.tally(U'?'), nullptr);
  EXPECT_EQ(r.tally(U'?')->missed, 1);
  ASSERT_NE(r.tally(U'№'), nullptr);
  EXPECT_EQ(r.tally(U'№')->correct, 1);
  EXPECT_EQ(r.chars.size(), written.chars.size());
}

TEST_F(HistoryTest, AMissingFileIsAnEmptyHistory) {
  const HistoryContents read = History(file()).load();
  EXPECT_TRUE(read.records.empty());
  EXPECT_TRUE(read.damagedLines.empty());
}

TEST_F(HistoryTest, ADamagedLineIsSkippedAndTheRestStays) {
  const History h(file());
  h.append(sampleRecord(1'796'000'000));
  const std::string good = toJsonLine(sampleRecord(1'796'000'100));
  appendRaw(good.substr(0, good.size() / 2) + "\n");  // cut in half
  appendRaw("\n");                                    // blank lines are no damage
  h.append(sampleRecord(1'796'000'200));
  const HistoryContents read = h.load();
  ASSERT_EQ(read.records.size(), 2u);
  EXPECT_EQ(read.records[1].time, 1'796'000'200);
  EXPECT_EQ(read.damagedLines, std::vector<std::int32_t>{2});
}

TEST_F(HistoryTest, DamagedLinesAreNumberedAsTheFileCountsItsLinesBlankOnesIncluded) {
  const History h(file());
  const std::string good = toJsonLine(sampleRecord(1'796'000'000));
  std::filesystem::create_directories(std::filesystem::path(file()).parent_path());
  // Lines 1 to 10: good, blank, damaged, blank, blank, good, damaged, blank, damaged, a damaged
  // drill.
  appendRaw(good + "\n" + "{\"time\":1}\n" + "\n \t\n" + good + "not json\n" + "\r\n" + "{\n" +
            "{\"kind\":\"drill\"}");
  const HistoryContents read = h.load();
  EXPECT_EQ(read.records.size(), 2u);
  EXPECT_EQ(read.damagedLines, (std::vector<std::int32_t>{3, 7, 9, 10}));
  // Read for the weak characters only (the command line's), the same lines, the last one without
  // its line end included.
  const HistoryTallies latest = h.latestSendings();
  EXPECT_EQ(latest.checks, 2);
  EXPECT_EQ(latest.damaged, 4);
  EXPECT_EQ(latest.latest.tallies().at(U'0').sent, 2.0);
}

TEST_F(HistoryTest, ALineLeftOpenByACrashDoesNotSwallowTheNextRecord) {
  const History h(file());
  h.append(sampleRecord(1'796'000'000));
  const std::string good = toJsonLine(sampleRecord());
  appendRaw(good.substr(0, 40));  // the writer died here, without a line end
  h.append(sampleRecord(1'796'000'300));
  const HistoryContents read = h.load();
  ASSERT_EQ(read.records.size(), 2u);
  EXPECT_EQ(read.records[1].time, 1'796'000'300);
  EXPECT_EQ(read.damagedLines, std::vector<std::int32_t>{2});
}

// Lines a damaged or hand-edited file may hold.
struct Damaged {
  const char* name;
  std::string line;
};
void PrintTo(const Damaged& c, std::ostream* os) { *os << c.name; }

class DamagedLine : public testing::TestWithParam<Damaged> {};

TEST_P(DamagedLine, IsRefused) { EXPECT_FALSE(fromJsonLine(GetParam().line).has_value()); }

std::string replaced(std::string s, const std::string& from, const std::string& to) {
  s.replace(s.find(from), from.size(), to);
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DamagedLine,
    testing::Values(
        Damaged{"NotJson", "not json"}, Damaged{"Array", "[1,2]"}, Damaged{"EmptyObject", "{}"},
        Damaged{"DeepNesting",
                "{\"x\":" + std::string(100000, '[') + std::string(100000, ']') + "}"},
        Damaged{"NegativeCount", replaced(toJsonLine(sampleRecord()), "\"sent\":7", "\"sent\":-7")},
        Damaged{"CountsDoNotAddUp",
                replaced(toJsonLine(sampleRecord()), "\"sent\":7", "\"sent\":8")},
        Damaged{"NumberAsText",
                replaced(toJsonLine(sampleRecord()), "\"speed\":12", "\"speed\":\"12\"")},
        Damaged{"UnknownSource", replaced(toJsonLine(sampleRecord()), "\"source\":\"file\"",
                                          "\"source\":\"radio\"")},
        Damaged{"LowerCaseTime", replaced(toJsonLine(sampleRecord()), "T", "t")},
        Damaged{"Hour24", replaced(toJsonLine(sampleRecord()), "T00:", "T24:")},
        Damaged{"TwoCharactersAsKey", replaced(toJsonLine(sampleRecord()), "\"ш\":{", "\"шщ\":{")},
        Damaged{"CutCharacterAsKey", replaced(toJsonLine(sampleRecord()), "\"ш\":{", "\"\xD1\":{")},
        Damaged{"TrailingBrace", toJsonLine(sampleRecord()) + "}"},
        // What the JSON library alone would let pass:
        Damaged{"ByteOrderMark", "\xEF\xBB\xBF" + toJsonLine(sampleRecord())},
        Damaged{"CharacterTwice",
                replaced(toJsonLine(sampleRecord()), "\"0\":{",
                         "\"0\":{\"sent\":0,\"correct\":0,\"missed\":0,\"as\":{}},\"0\":{")},
        Damaged{"FractionalSetting",
                replaced(toJsonLine(sampleRecord()), "\"tone\":700", "\"tone\":700.5")},
        Damaged{"HugeSetting",
                replaced(toJsonLine(sampleRecord()), "\"tone\":700", "\"tone\":7e9")},
        Damaged{"YearBefore1970",
                replaced(toJsonLine(sampleRecord()), "\"time\":\"20", "\"time\":\"19")},
        Damaged{"FractionalCount",
                replaced(toJsonLine(sampleRecord()), "\"extra\":1", "\"extra\":1.5")},
        Damaged{"TallyDoesNotAddUp",
                replaced(toJsonLine(sampleRecord()), "\"ш\":{\"sent\":1", "\"ш\":{\"sent\":2")},
        Damaged{"NoTone", replaced(toJsonLine(sampleRecord()), "\"tone\":700,", "")},
        Damaged{"TallyWithoutMissed",
                replaced(toJsonLine(sampleRecord()), ",\"missed\":0,\"as\"", ",\"as\"")},
        Damaged{"TallyOfNoConfusionDoesNotAddUp",
                replaced(toJsonLine(sampleRecord()), "\"0\":{\"sent\":1", "\"0\":{\"sent\":2")},
        // Taken for another character 0 times: no record writes that.
        Damaged{"TakenForZeroTimes",
                replaced(toJsonLine(sampleRecord()), "\"as\":{}}", "\"as\":{\"5\":0}}")},
        // ш sent twice and taken for щ twice, but written as one key twice.
        Damaged{"TakenForTheSameCharacterTwice",
                replaced(replaced(replaced(replaced(toJsonLine(sampleRecord()), "\"sent\":7",
                                                    "\"sent\":8"),
                                           "\"wrong\":1", "\"wrong\":2"),
                                  "\"ш\":{\"sent\":1", "\"ш\":{\"sent\":2"),
                         "\"as\":{\"щ\":1}", "\"as\":{\"щ\":1,\"щ\":1}")},
        // The same, where the count the library keeps would add up.
        Damaged{
            "TakenForTheSameCharacterTwiceAddingUp",
            replaced(toJsonLine(sampleRecord()), "\"as\":{\"щ\":1}", "\"as\":{\"щ\":5,\"щ\":1}")}),
    [](const auto& info) { return std::string(info.param.name); });

// Other JSON forms of a record's values read as the same values, and write back as the history
// writes them.
struct OtherForm {
  const char* name;
  const char* from;     // as written
  const char* other;    // in the line read
  const char* written;  // when written back
};
void PrintTo(const OtherForm& c, std::ostream* os) { *os << c.name; }

class HistoryLineForm : public testing::TestWithParam<OtherForm> {};

TEST_P(HistoryLineForm, ReadsAsTheSameValue) {
  const std::string line = toJsonLine(sampleRecord());
  const std::optional<CheckRecord> r =
      fromJsonLine(replaced(line, GetParam().from, GetParam().other));
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(toJsonLine(*r), replaced(line, GetParam().from, GetParam().written));
}

INSTANTIATE_TEST_SUITE_P(
    Forms, HistoryLineForm,
    testing::Values(OtherForm{"Fraction", "\"tone\":700", "\"tone\":700.0", "\"tone\":700"},
                    OtherForm{"Exponent", "\"tone\":700", "\"tone\":0.7E+3", "\"tone\":700"},
                    OtherForm{"NegativeZero", "\"noise\":20", "\"noise\":-0", "\"noise\":0"},
                    OtherForm{"NegativeNoise", "\"noise\":20", "\"noise\":-20", "\"noise\":-20"},
                    OtherForm{"EscapedKey", "\"ш\":{", "\"\\u0448\":{", "\"ш\":{"},
                    OtherForm{"SurrogatePair", "урок", "\\ud83d\\ude00", "\xF0\x9F\x98\x80"},
                    OtherForm{"ControlCharacters", "урок", "\\b\\f\\n\\r\\t\\/\x7F",
                              "\\u0008\\u000c\\u000a\\u000d\\u0009/\\u007f"},
                    OtherForm{"Nul", "урок", "\\u0000", "\\u0000"},
                    OtherForm{"FourByteCharacterTakenFor", "\"as\":{\"щ\":1}",
                              "\"as\":{\"\xF0\x9F\x98\x80\":1}", "\"as\":{\"\xF0\x9F\x98\x80\":1}"},
                    OtherForm{"NotUtf8", "урок", "\xFF\xD1", "\xFF\xD1"},
                    // A private-use character of that range given as an escape, beside such a byte.
                    OtherForm{"NotUtf8WithEscapedPrivateUse", "урок", "\xFF\\udbff\\udf01",
                              "\xFF\xF4\x8F\xBC\x81"},
                    // The private-use characters this program stands in for bytes that are not
                    // UTF-8 with, beside such a byte, as real characters.
                    OtherForm{"NotUtf8WithPrivateUse", "урок",
                              "\xFF\xF4\x8F\xBE\x80\xF4\x8F\xBC\x80\x80",
                              "\xFF\xF4\x8F\xBE\x80\xF4\x8F\xBC\x80\x80"}),
    [](const auto& info) { return std::string(info.param.name); });

// Lines as earlier versions wrote them read as their records and are written back byte for byte.
TEST(HistoryLine, EarlierLinesReadAndWriteBackTheSame) {
  const std::string lines[] = {
      "{\"time\":\"2026-12-09T12:40:00Z\",\"source\":\"digits\",\"speed\":12,\"tone\":500,"
      "\"noise\":0,\"groups\":1,\"sent\":5,\"correct\":3,\"wrong\":1,\"missed\":1,\"extra\":0,"
      "\"chars\":{\"1\":{\"sent\":3,\"correct\":2,\"missed\":0,\"as\":{\"7\":1}},"
      "\"9\":{\"sent\":2,\"correct\":1,\"missed\":1,\"as\":{}}}}\n",
      "{\"time\":\"2000-02-29T23:59:59Z\",\"source\":\"file\",\"file\":\"a\\\"b\\\\\\u0009\\u007f"
      "\xFF\xD1.txt\",\"speed\":-3,\"tone\":700,\"noise\":20,\"groups\":0,\"sent\":1,"
      "\"correct\":0,\"wrong\":1,\"missed\":0,\"extra\":2,"
      "\"chars\":{\"\xE2\x84\x96\":{\"sent\":1,\"correct\":0,\"missed\":0,\"as\":{\"\xD1\x8F\":1}}}"
      "}\n"};
  for (const std::string& line : lines) {
    const std::optional<CheckRecord> r = fromJsonLine(line);
    ASSERT_TRUE(r.has_value()) << line;
    EXPECT_EQ(toJsonLine(*r), line);
  }
  const CheckRecord r = *fromJsonLine(lines[1]);
  EXPECT_EQ(r.time, 951'868'799);
  EXPECT_EQ(r.settings.file, "a\"b\\\t\x7F\xFF\xD1.txt");
  EXPECT_EQ(r.settings.speed, -3);
  ASSERT_EQ(r.chars.size(), 1u);
  EXPECT_EQ(r.chars[0].ch, U'№');
  EXPECT_EQ(r.chars[0].takenForCount(U'я'), 1);
}

TEST(HistoryLine, WhatACharacterWasTakenForComesInAscendingOrder) {
  const CheckRecord r = makeRecord(checkCopy(U"шшш", U"яащ"), RecordSettings{}, 0);
  ASSERT_EQ(r.chars.size(), 1u);
  EXPECT_EQ(r.chars[0].takenFor,
            (std::vector<std::pair<char32_t, std::int32_t>>{{U'а', 1}, {U'щ', 1}, {U'я', 1}}));
}

TEST(HistoryLine, TimesComeBackToTheSecond) {
  // The start, a leap day, the day after a century's missing leap day, a far date and the last
  // second of a year.
  for (std::int64_t t : {0LL, 1'835'395'199LL, 1'835'395'200LL, 4'107'542'400LL, 32'503'680'000LL,
                         1'798'761'599LL}) {
    EXPECT_EQ(parseUtc(formatUtc(t)), t) << formatUtc(t);
  }
  EXPECT_EQ(formatUtc(1'835'395'200), "2028-02-29T00:00:00Z");
  EXPECT_FALSE(parseUtc("2028-02-29T00:00:00").has_value());
  EXPECT_FALSE(parseUtc("2028-02-29T00:00:00Z0").has_value());
  EXPECT_FALSE(parseUtc(std::string_view("2028-02-29T00:00:00Z\0", 21)).has_value());  // \u0000
}

TEST(HistoryLine, FieldsALaterVersionAddsAreSkipped) {
  std::string line = toJsonLine(sampleRecord());
  line.insert(1, "\"note\":{\"a\":[1,-2.5e3,true,null,\"\\u0416\\n\"],\"b\":{}},");
  const std::optional<CheckRecord> r = fromJsonLine(line);
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->sent, 7);
}

// A place where no history can be written, and how it is made.
struct Unwritable {
  const char* name;
  std::string (*path)(const fs::path& dir);
  std::optional<test_platform::SystemFeature> needs = std::nullopt;
};

class UnwritableHistory : public testing::TestWithParam<Unwritable> {};

TEST_P(UnwritableHistory, IsReportedAndNothingElseHappens) {
  if (GetParam().needs) {
    if (const char* why = test_platform::missingFeature(*GetParam().needs)) GTEST_SKIP() << why;
  }
  const fs::path dir =
      fs::temp_directory_path() / ("kelvak_unwritable_" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string path = GetParam().path(dir);
  auto attempt = [&]() -> int {
    try {
      History(path).append(sampleRecord());
      return 1;
    } catch (const KelvakError& e) {
      return std::string(e.what()).rfind(kHistoryWriteFailed, 0) == 0 ? 0 : 2;
    }
  };
  int outcome;
  if (test_platform::isSuperuser() && std::string(GetParam().name) == "readOnlyFolder") {
    // The superuser writes anywhere; an ordinary user is who meets a read-only folder.
    outcome = test_platform::waitForChild(test_platform::startChild(attempt, true));
    ASSERT_GE(outcome, 0);
  } else {
    outcome = attempt();
  }
  fs::permissions(dir, fs::perms::owner_all);
  fs::remove_all(dir);
  EXPECT_EQ(outcome, 0) << "1: written anyway, 2: another error, 3: no user to test as";
}

INSTANTIATE_TEST_SUITE_P(
    Places, UnwritableHistory,
    testing::Values(Unwritable{"readOnlyFolder",
                               [](const fs::path& d) {
                                 fs::permissions(
                                     d, fs::perms::owner_read | fs::perms::owner_exec |
                                            fs::perms::group_read | fs::perms::group_exec |
                                            fs::perms::others_read | fs::perms::others_exec);
                                 return (d / "history.jsonl").string();
                               },
                               test_platform::SystemFeature::FolderPermissions},
                    Unwritable{"fullDisk", [](const fs::path&) { return std::string("/dev/full"); },
                               test_platform::SystemFeature::AlwaysFullDevice},
                    // Would take the record and keep nothing.
                    Unwritable{"devNull",
                               [](const fs::path&) { return test_platform::nullDevice(); }},
                    // Would wait for a reader for ever.
                    Unwritable{"fifo",
                               [](const fs::path& d) {
                                 test_platform::makeFifo((d / "history.jsonl").string());
                                 return (d / "history.jsonl").string();
                               },
                               test_platform::SystemFeature::Fifo},
                    Unwritable{"folderIsAFile",
                               [](const fs::path& d) {
                                 std::ofstream(d / "plain") << "x";
                                 return (d / "plain" / "history.jsonl").string();
                               }}),
    [](const testing::TestParamInfo<Unwritable>& info) { return std::string(info.param.name); });

TEST_F(HistoryTest, TwoWritersAtOnceKeepEveryRecordWhole) {
  using test_platform::SystemFeature;
  if (const char* why = test_platform::missingFeature(SystemFeature::Fork)) GTEST_SKIP() << why;
  const History h(file());
  h.append(sampleRecord(1'700'000'000));  // makes the folder
  constexpr int kEach = 300;
  long children[2];
  for (int w = 0; w < 2; ++w) {
    // Each writer's records carry its own speed and a rising time.
    // A record that meets the other's lock is kept and written after, as the window does.
    children[w] = test_platform::startChild([&h, w] {
      for (int k = 0; k < kEach; ++k) {
        try {
          h.append(sampleRecord(1'800'000'000 + k, 20 + w));
        } catch (const HistoryBusyError&) {
        }
      }
      while (!h.appendPending()) {
      }
      return 0;
    });
    ASSERT_GT(children[w], 0);
  }
  for (long c : children) ASSERT_EQ(test_platform::waitForChild(c), 0);
  const HistoryContents read = h.load();
  EXPECT_TRUE(read.damagedLines.empty());
  // Nor a line end put in for a line that only seemed open while the other one wrote.
  std::stringstream bytes;
  bytes << std::ifstream(file(), std::ios::binary).rdbuf();
  EXPECT_EQ(bytes.str().find("\n\n"), std::string::npos);
  ASSERT_EQ(read.records.size(), 1u + 2 * kEach);
  std::int64_t next[2] = {1'800'000'000, 1'800'000'000};
  for (std::size_t i = 1; i < read.records.size(); ++i) {
    const int w = read.records[i].settings.speed - 20;
    ASSERT_TRUE(w == 0 || w == 1);
    EXPECT_EQ(read.records[i].time, next[w]++);  // each writer's records in its own order
  }
}

// A history that cannot be read, and how it is made: it names the reason, and never waits or
// reads without end.
struct Unreadable {
  const char* name;
  void (*make)(const std::string& path);
  std::optional<test_platform::SystemFeature> needs = std::nullopt;
};

class UnreadableHistory : public testing::TestWithParam<Unreadable> {};

TEST_P(UnreadableHistory, IsReportedAtOnce) {
  if (GetParam().needs) {
    if (const char* why = test_platform::missingFeature(*GetParam().needs)) GTEST_SKIP() << why;
  }
  const fs::path dir =
      fs::temp_directory_path() / ("kelvak_unreadable_" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string path = (dir / "history.jsonl").string();
  GetParam().make(path);
  const auto started = std::chrono::steady_clock::now();
  std::string said;
  try {
    History(path).load();
  } catch (const KelvakError& e) {
    said = e.what();
  }
  const auto took = std::chrono::steady_clock::now() - started;
  fs::remove_all(dir);
  EXPECT_EQ(said.rfind(kHistoryReadFailed, 0), 0u) << said;
  EXPECT_LT(took, std::chrono::milliseconds(100));
}

INSTANTIATE_TEST_SUITE_P(
    Files, UnreadableHistory,
    testing::Values(Unreadable{"fifo", [](const std::string& p) { test_platform::makeFifo(p); },
                               test_platform::SystemFeature::Fifo},
                    Unreadable{"endless",
                               [](const std::string& p) { fs::create_symlink("/dev/zero", p); },
                               test_platform::SystemFeature::EndlessDevice},
                    Unreadable{"folder", [](const std::string& p) { fs::create_directory(p); }}),
    [](const testing::TestParamInfo<Unreadable>& info) { return std::string(info.param.name); });

// What stands in the history before a check is recorded, and the name of the checked text file:
// the record comes back whole with its name, nothing that stood before is lost, and only real
// damage counts as such.
struct HistoryCase {
  const char* name;
  std::string before;
  std::string file;
  std::size_t damaged;
};
void PrintTo(const HistoryCase& c, std::ostream* os) { *os << c.name; }

class HistoryRows : public testing::TestWithParam<HistoryCase> {
 protected:
  fs::path dir = fs::temp_directory_path() / ("kelvak_history_rows_" + std::to_string(getpid()));
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override { fs::remove_all(dir); }
};

TEST_P(HistoryRows, AFileNameIsDataAndNothingIsLost) {
  const HistoryCase& c = GetParam();
  const std::string path = (dir / "history.jsonl").string();
  std::ofstream(path, std::ios::binary) << c.before;
  const History h(path);
  CheckRecord record = sampleRecord();
  record.settings.file = c.file;
  h.append(record);
  const HistoryContents read = h.load();
  ASSERT_EQ(read.records.size(), 1u);
  EXPECT_EQ(read.records[0].settings.file, c.file);
  EXPECT_EQ(read.records[0].sent, record.sent);
  EXPECT_TRUE(read.drills.empty());
  EXPECT_EQ(read.damagedLines.size(), c.damaged);
  std::stringstream after;
  after << std::ifstream(path, std::ios::binary).rdbuf();
  EXPECT_EQ(after.str().compare(0, c.before.size(), c.before), 0) << "what stood before changed";
}

std::string blankLines(std::size_t bytes) {
  std::string line(999, ' ');
  line += '\n';
  std::string out;
  while (out.size() < bytes) out += line;
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HistoryRows,
    testing::Values(HistoryCase{"ATextFileNamedKind", "", "kind", 0},
                    HistoryCase{"NamedAsADrillRecord", "", R"({"kind":"drill"})", 0},
                    HistoryCase{"QuotesAndBackslashes", "", R"(a"b\c\"d\\.txt)", 0},
                    HistoryCase{"ANewlineInTheName", "", "урок\n{\"kind\":1}.txt", 0},
                    HistoryCase{"InvalidUtf8", "", "\xff\xfe\xc0\x80 \xed\xa0\x80.txt", 0},
                    HistoryCase{"ALineLongerThanAnyRecord",
                                std::string(kMaxRecordBytes + 1, '{') + "\n", "a.txt", 1},
                    // Thirty-three MiB: the size that once made the history unreadable.
                    HistoryCase{"PastThirtyTwoMiB", blankLines(33u << 20), "a.txt", 0}),
    [](const auto& info) { return std::string(info.param.name); });

// Another program holds the history's lock (as `flock -x history.jsonl sleep 25` does): the
// record is neither waited for nor lost; it is kept, said, and written once the lock is free.
TEST_F(HistoryTest, AHeldLockKeepsTheRecordForLater) {
  const History h(file());
  h.append(sampleRecord(1'796'000'000));
  {
    const std::shared_ptr<void> held = test_platform::holdHistoryLock(file());
    ASSERT_TRUE(held);
    try {
      h.append(sampleRecord(1'796'000'100));
      ADD_FAILURE() << "a held lock was not said";
    } catch (const HistoryBusyError& e) {
      EXPECT_NE(std::string(e.what()).find("ждут дописывания: 1"), std::string::npos) << e.what();
    }
    EXPECT_EQ(h.pending(), 1u);
    EXPECT_EQ(h.load().records.size(), 1u);
    // Given up after its wait, not before; the upper bound is far above it, for a busy machine.
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(h.appendPending());
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_GE(waited, std::chrono::milliseconds(kHistoryLockWaitMs));
    EXPECT_LT(waited, std::chrono::milliseconds(kHistoryLockWaitMs) + std::chrono::seconds(5));
  }
  EXPECT_TRUE(h.appendPending());  // or the retry after the append was in time
  h.append(sampleRecord(1'796'000'200));
  EXPECT_EQ(h.pending(), 0u);
  const HistoryContents read = h.load();
  ASSERT_EQ(read.records.size(), 3u);
  EXPECT_EQ(read.records[1].time, 1'796'000'100);
  EXPECT_EQ(read.records[2].time, 1'796'000'200);
}

// Kept between readings, the history reads only what was appended since; a file replaced or cut
// shorter is read again whole, and a line still without its end waits for it.
TEST_F(HistoryTest, ARefreshReadsOnlyWhatWasAppendedSince) {
  const History h(file());
  EXPECT_TRUE(h.refresh().checks().empty());  // no file yet
  h.append(sampleRecord(1'796'000'000));
  EXPECT_EQ(h.refresh().checks().size(), 1u);
  const std::string line = toJsonLine(sampleRecord(1'796'000'100));
  appendRaw(line.substr(0, 30));  // a record half written
  EXPECT_EQ(h.refresh().checks().size(), 1u);
  EXPECT_TRUE(h.refresh().damagedLines().empty());
  appendRaw(line.substr(30) + "{\n");
  const HistorySummary& grown = h.refresh();
  ASSERT_EQ(grown.checks().size(), 2u);
  EXPECT_EQ(grown.checks()[1].time, 1'796'000'100);
  EXPECT_EQ(grown.damagedLines(), std::vector<std::int32_t>{3});
  // Read again, the same as a reading of the whole file.
  const HistoryContents whole = h.load();
  EXPECT_EQ(whole.records.size(), grown.checks().size());
  EXPECT_EQ(whole.damagedLines, grown.damagedLines());

  // Replaced by another file (as a restored backup is): read whole again, but never when only
  // appended lines may be read (on the window's thread).
  const std::string other = file() + ".new";
  std::ofstream(other, std::ios::binary) << toJsonLine(sampleRecord(1'700'000'000));
  fs::rename(other, file());
  HistoryReading reading;
  EXPECT_FALSE(h.update(reading, false));
  EXPECT_TRUE(h.update(reading));
  EXPECT_EQ(reading.summary.checks().size(), 1u);
  ASSERT_EQ(h.refresh().checks().size(), 1u);
  EXPECT_EQ(h.refresh().checks()[0].time, 1'700'000'000);
  EXPECT_TRUE(h.refresh().damagedLines().empty());
  // Cut shorter in place: read whole again.
  fs::resize_file(file(), 0);
  EXPECT_TRUE(h.refresh().checks().empty());
}

TEST_F(HistoryTest, ARecordCutShortByAFullDiskIsTakenBack) {
  fs::create_directories(dir / "sub");
  std::string why;
  if (!test_platform::mountSmallFileSystem((dir / "sub").string(), "16k", why)) GTEST_SKIP() << why;
  const History h(file());
  int written = 0;
  for (; written < 1000; ++written) {
    try {
      h.append(sampleRecord(1'796'000'000 + written));
    } catch (const KelvakError&) {
      break;
    }
  }
  const HistoryContents read = h.load();
  const auto size = fs::file_size(file());
  test_platform::unmount((dir / "sub").string());
  ASSERT_LT(written, 1000) << "the disk never filled";
  EXPECT_EQ(read.records.size(), static_cast<std::size_t>(written));
  EXPECT_TRUE(read.damagedLines.empty());
  EXPECT_EQ(size % toJsonLine(sampleRecord()).size(), 0u);  // whole records only
}

TEST(Progress, WorstCharactersFirstAndTheMostFrequentConfusions) {
  RecordSettings s;
  std::vector<CheckRecord> records = {
      makeRecord(checkCopy(U"шшшшщ", U"щщшшщ"), s, 200),  // ш 2 of 4, щ 1 of 1
      makeRecord(checkCopy(U"шщ123", U"шш13"), s, 100),   // щ taken for ш, 2 missed
  };
  records[0].settings.speed = 15;
  const Progress p = summarize(records);
  ASSERT_EQ(p.checks.size(), 2u);
  EXPECT_EQ(p.checks[0].time, 100);  // in time order
  EXPECT_EQ(p.checks[1].speed, 15);
  EXPECT_DOUBLE_EQ(p.checks[1].accuracy, 60.0);
  ASSERT_EQ(p.chars.size(), 5u);
  EXPECT_EQ(p.chars[0].ch, U'2');  // 0 of 1
  EXPECT_EQ(p.chars[1].ch, U'щ');  // 1 of 2
  EXPECT_EQ(p.chars[2].ch, U'ш');  // 3 of 5
  EXPECT_DOUBLE_EQ(p.chars[2].share(), 60.0);
  ASSERT_EQ(p.confusions.size(), 2u);
  EXPECT_EQ(p.confusions[0].sent, U'ш');
  EXPECT_EQ(p.confusions[0].takenFor, U'щ');
  EXPECT_EQ(p.confusions[0].count, 2);
  EXPECT_EQ(p.confusions[1].sent, U'щ');
  EXPECT_EQ(p.confusions[1].takenFor, U'ш');
}

TEST(Progress, FiltersByTextKindAndTimeAndTotalsEachDay) {
  RecordSettings digits, letters;
  digits.groups = 30;
  digits.speed = 12;  // 150 s
  letters.source = TextSource::Letters;
  letters.groups = 10;
  letters.speed = 8;  // 75 s
  const std::int64_t day = 86400;
  const std::vector<CheckRecord> records = {
      makeRecord(checkCopy(U"12345", U"12345"), digits, 20 * day + 100),
      makeRecord(checkCopy(U"абвгд", U"абв"), letters, 20 * day + 200),
      makeRecord(checkCopy(U"1234512", U"1234"), digits, 22 * day + 5),
      makeRecord(checkCopy(U"", U""), digits, 22 * day + 6),  // nothing sent: not a check
  };
  const Progress all = summarize(records);
  ASSERT_EQ(all.days.size(), 2u);
  EXPECT_EQ(all.days[0].day, 20);
  EXPECT_EQ(all.days[0].checks, 2);
  EXPECT_EQ(all.days[0].chars, 10);
  EXPECT_EQ(all.days[0].seconds, 150 + 75);
  EXPECT_EQ(all.days[1].day, 22);
  EXPECT_EQ(all.days[1].chars, 7);

  ProgressFilter f;
  f.source = TextSource::Digits;
  EXPECT_EQ(summarize(records, f).checks.size(), 2u);
  f.sinceDay = 21;
  const Progress late = summarize(records, f);
  ASSERT_EQ(late.checks.size(), 1u);
  ASSERT_EQ(late.chars.size(), 5u);
  for (const CharShare& c : late.chars) EXPECT_EQ(c.sent, c.ch <= U'2' ? 2 : 1);  // that check only
  f.source.reset();
  f.sinceDay = 20;  // from that day on
  EXPECT_EQ(summarize(records, f).checks.size(), 3u);
  // Days as the caller counts them: here they begin at 06:00.
  EXPECT_EQ(summarize(records, {}, [](std::int64_t t) { return (t - 6 * 3600) / 86400; })
                .days.front()
                .day,
            19);
  // A day before 1970 in UTC, whole.
  EXPECT_EQ(summarize({makeRecord(checkCopy(U"1", U"1"), digits, -day)}).days.front().day, -1);
}

TEST(Progress, EqualPlacesGoByCountThenByCharacterAndConfusionsStopAtTwenty) {
  RecordSettings s;
  // Equal shares: the more often sent first, then in the characters' order.
  Progress p = summarize({makeRecord(checkCopy(U"гвбаа", U"гвбаа"), s, 1)});
  std::u32string order;
  for (const CharShare& c : p.chars) order += c.ch;
  EXPECT_EQ(order, U"абвг");
  // Equal counts: by the character sent, then the one written.
  p = summarize({makeRecord(checkCopy(U"ба", U"ав"), s, 1)});
  ASSERT_EQ(p.confusions.size(), 2u);
  EXPECT_EQ(p.confusions[0].sent, U'а');
  // 22 confusions once each and one of them twice: the 20 most frequent.
  p = summarize({makeRecord(checkCopy(U"абвгдежзийклмнопрстуфх", U"0123456789щыьэюя?/-№цч"), s, 1),
                 makeRecord(checkCopy(U"х", U"ч"), s, 2)});
  ASSERT_EQ(p.confusions.size(), 20u);
  EXPECT_EQ(p.confusions[0].sent, U'х');
  EXPECT_EQ(p.confusions[0].count, 2);
  EXPECT_EQ(p.confusions[19].sent, U'т');
}

// Whole seconds, to the nearest, half a second up.
TEST(Progress, SendingTimeIsRoundedToTheSecond) {
  for (int groups = 0; groups <= 60; ++groups) {
    for (int speed = 1; speed <= 30; ++speed) {
      EXPECT_EQ(sendingSeconds(groups, speed),
                static_cast<std::int64_t>(std::floor(groups * 60.0 / speed + 0.5)))
          << groups << " groups at " << speed;
    }
  }
  EXPECT_EQ(sendingSeconds(5, 0), 0);
}

TEST(Progress, ARecordHasTheAccuracyOfItsCheck) {
  // Extra characters count against both alike: one measure, whatever the copy.
  for (const auto& [sent, copy] : std::vector<std::pair<std::u32string, std::u32string>>{
           {U"12345", U"12345"}, {U"12345", U"1234599"}, {U"абвгд", U"аб"}, {U"12", U"3456"}}) {
    const CheckResult r = checkCopy(sent, copy);
    const Progress p = summarize({makeRecord(r, {}, 1)});
    ASSERT_EQ(p.checks.size(), 1u);
    EXPECT_DOUBLE_EQ(p.checks[0].accuracy, r.accuracyPercent());
  }
}

}  // namespace
}  // namespace kelvak
