// The check window's behaviour with a fake view: what a check shows and says, which text it is
// against, and what goes into the history.
#include "presenter/check_presenter.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>

#include "tests/platform/system.h"
#include "tests/presenter/fake_views.h"
#include "text/utf8.h"

namespace kelvak {
namespace {

struct FakeCheckView : CheckView {
  std::vector<std::pair<std::string, std::string>> items;  // after the last transmission
  int against = 0;
  std::string copy;
  CheckShown shown;
  std::optional<std::string> keyChosen;  // what the open dialog returns
  std::vector<std::string> foldersOffered;
  int recordedCount = 0;

  void addAgainstItem(const std::string& text, const std::string& detail) override {
    items.emplace_back(text, detail);
  }
  void selectAgainst(int index) override { against = index; }
  std::string copyText() const override { return copy; }
  void showCheck(const CheckShown& s) override { shown = s; }
  std::optional<std::string> chooseKeyFile(const std::string& folder) override {
    foldersOffered.push_back(folder);
    return keyChosen;
  }
  void checkRecorded() override { ++recordedCount; }

  // Every row as two lines, the sent text above and the marks below, as drawn.
  std::vector<std::string> rowTexts() const {
    std::vector<std::string> out;
    for (const auto& row : shown.result.rows) {
      std::string top, bottom;
      for (const ResultCell& c : row) top += utf8Of(c.top), bottom += utf8Of(c.bottom);
      out.push_back(top);
      out.push_back(bottom);
    }
    return out;
  }
  // Everything shown of a result, besides the summary.
  std::string all() const {
    std::string out = shown.notes + shown.historyNote + shown.result.errorsText;
    for (const std::string& r : rowTexts()) out += r;
    return out;
  }
};

class CheckPresenterTest : public testing::PresenterTest {
 protected:
  FakeCheckView view;
  History history{historyPath()};
  CheckSource source = transmission(U"8064826167", 1);
  CheckPresenter presenter{view, history, [this] { return source; }, dispatch()};

  static CheckSource transmission(std::u32string sent, std::uint32_t number, bool running = false) {
    CheckSource s;
    s.sent = std::move(sent);
    s.number = number;
    s.running = running;
    s.settings.speed = 12;
    s.settings.groups = static_cast<int>((s.sent.size() + 4) / 5);
    return s;
  }
  const CheckResult& check(const std::string& copy) {
    view.copy = copy;
    presenter.checkClicked();
    return presenter.result();
  }
  std::string writeKey(const std::string& name, const std::string& text) {
    const auto path = dir / name;
    std::ofstream(path) << text;
    return path.string();
  }
};

TEST_F(CheckPresenterTest, ACheckShowsTheErrorsAndIsRecordedOncePerTransmission) {
  const CheckResult& r = check("8048 26567ж");
  EXPECT_FALSE(view.shown.historyNote.empty());
  EXPECT_EQ(view.recordedCount, 1);
  EXPECT_EQ(r.sent, 10);
  EXPECT_EQ(r.missed, 1);
  EXPECT_EQ(r.wrong, 1);
  EXPECT_EQ(r.extra, 1);
  EXPECT_NE(view.shown.summary.find("72,7"), std::string::npos) << view.shown.summary;  // 8 of 11
  EXPECT_NE(view.shown.notes.find("6 ×1"), std::string::npos) << view.shown.notes;
  EXPECT_NE(view.shown.notes.find("1 ×1"), std::string::npos) << view.shown.notes;
  // The result reads without colours: beneath each error what was written.
  EXPECT_EQ(view.rowTexts(), (std::vector<std::string>{"80648  26167  +", "  –      5    ж"}));

  const std::string said = view.shown.historyNote;
  check("8048 26567ж");  // checked again: not recorded twice, and said so
  EXPECT_NE(view.shown.historyNote, said);
  EXPECT_EQ(view.recordedCount, 1);
  HistoryContents h = History(historyPath()).load();
  ASSERT_EQ(h.records.size(), 1u);
  EXPECT_EQ(h.records[0].settings.speed, 12);
  EXPECT_EQ(h.records[0].settings.groups, 2);
  ASSERT_NE(h.records[0].tally(U'1'), nullptr);
  EXPECT_EQ(h.records[0].tally(U'1')->takenForCount(U'5'), 1);

  source = transmission(U"80648", 2);  // a new transmission is a new record
  check("80648");
  EXPECT_EQ(History(historyPath()).load().records.size(), 2u);
}

// A result of many groups runs on in rows of eight groups.
TEST_F(CheckPresenterTest, LongResultsRunInRowsOfEightGroups) {
  source = transmission(std::u32string(41, U'5'), 1);
  check(std::string(41, '5'));
  ASSERT_EQ(view.shown.result.rows.size(), 2u);
  std::string eight = "55555";
  for (int g = 1; g < 8; ++g) eight += "  55555";
  EXPECT_EQ(view.rowTexts()[0], eight);
  EXPECT_EQ(view.rowTexts()[2], "5");
}

TEST_F(CheckPresenterTest, TheResultNamesEveryErrorInWordsAndWhatWasExtra) {
  check("8048 26567ЖЖ");
  // Each sent and written character of the errors, in text order.
  const std::string words = view.shown.result.errorsText;
  const auto six = words.find('6'), one = words.find('1', six), five = words.find('5', one);
  EXPECT_TRUE(six != std::string::npos && one != std::string::npos && five != std::string::npos)
      << words;
  std::size_t extras = 0;
  for (auto at = words.find("ж"); at != std::string::npos; at = words.find("ж", at + 1)) ++extras;
  EXPECT_EQ(extras, 2u) << words;
  // Extra characters are said with their count beside the missed ones.
  EXPECT_NE(view.shown.notes.find("ж ×2"), std::string::npos) << view.shown.notes;
  check("80648 26167");
  const std::string allReceived = view.shown.notes;
  EXPECT_NE(view.shown.result.errorsText, words);
  check("80648 26167 333");
  EXPECT_NE(view.shown.notes, allReceived);  // not "all received" with 3 extra beside
  EXPECT_NE(view.shown.notes.find("3 ×3"), std::string::npos) << view.shown.notes;
}

TEST_F(CheckPresenterTest, ALatinCopyCountsAsTheCyrillicLettersOfTheSameCode) {
  source = transmission(U"абвгд", 1);
  // The copy on a Latin layout: each letter by the international code of the same sound.
  std::string latin;
  for (char32_t c : source.sent) {
    for (char l = 'a'; l <= 'z'; ++l) {
      if (cyrillicOfLatin(static_cast<char32_t>(l)) == c) {
        latin += l;
        break;
      }
    }
  }
  ASSERT_EQ(latin.size(), 5u);
  const CheckResult& r = check(latin);
  EXPECT_EQ(r.correct, r.sent);
  EXPECT_FALSE(r.readAsCyrillic.empty());
  EXPECT_NE(view.shown.notes.find(latin.substr(0, 1)), std::string::npos) << view.shown.notes;
}

TEST_F(CheckPresenterTest, NothingIsCheckedBeforeOrDuringATransmission) {
  for (const CheckSource& s : {transmission(U"", 0), transmission(U"80648", 1, true)}) {
    source = s;
    EXPECT_EQ(check("12345").sent, 0);
    EXPECT_FALSE(view.shown.summary.empty());       // says why
    EXPECT_TRUE(view.all().empty()) << view.all();  // the hidden text must not show
  }
  EXPECT_FALSE(std::filesystem::exists(historyPath()));
}

TEST_F(CheckPresenterTest, ANewTransmissionTakesTheOldResultAway) {
  source = transmission(U"80648", 1);
  check("80641");
  ASSERT_EQ(presenter.result().wrong, 1);
  view.against = 1;
  presenter.transmissionStarted();
  EXPECT_EQ(view.against, 0);
  EXPECT_EQ(presenter.result().sent, 0);
  EXPECT_TRUE((view.all() + view.shown.summary).empty()) << view.all();
  // Another text chosen to check against takes it away too.
  check("80641");
  presenter.againstChanged(0);
  EXPECT_TRUE((view.all() + view.shown.summary).empty()) << view.all();
}

TEST_F(CheckPresenterTest, AnUnwritableHistoryIsSaidInTheWindowAndTheResultStays) {
  // A full disk, a device that keeps nothing, and a FIFO no one reads, which must not hold the
  // window.
  std::vector<std::string> paths = {test_platform::nullDevice()};
  if (!test_platform::missingFeature(test_platform::SystemFeature::AlwaysFullDevice)) {
    paths.push_back("/dev/full");
  }
  const std::string fifo = (dir / "fifo.jsonl").string();
  if (!test_platform::missingFeature(test_platform::SystemFeature::Fifo) &&
      test_platform::makeFifo(fifo)) {
    paths.push_back(fifo);
  }
  for (const std::string& path : paths) {
    const History unwritable(path);
    FakeCheckView v;
    CheckPresenter p(
        v, unwritable, [this] { return source; }, dispatch());
    v.copy = "80648";
    p.check();
    EXPECT_EQ(p.result().correct, 5) << path;
    EXPECT_EQ(v.shown.historyNote.rfind(kHistoryWriteFailed, 0), 0u)
        << path << ": " << v.shown.historyNote;
    EXPECT_FALSE(v.shown.result.rows.empty());
  }
}

TEST_F(CheckPresenterTest, AKeyIsCheckedAgainstAndRecordedWithItsSettings) {
  RecordSettings keySettings;
  keySettings.speed = 17;
  keySettings.groups = 1;
  const std::string key =
      writeKey("lesson.key.txt", "\xEF\xBB\xBFшшщ12 \n");  // a byte-order mark first
  presenter.useKey(key, keySettings);
  ASSERT_EQ(view.items.size(), 1u);
  EXPECT_NE(view.items[0].first.find("lesson.key.txt"), std::string::npos);
  EXPECT_EQ(view.items[0].second, std::filesystem::absolute(key).string());
  EXPECT_EQ(view.against, 1);
  EXPECT_EQ(check("шшщ1").missed, 1);
  // Read again, the same key keeps its item and is chosen again.
  presenter.transmissionStarted();
  presenter.useKey(key, keySettings);
  EXPECT_EQ(view.items.size(), 1u);
  EXPECT_EQ(view.against, 1);
  const HistoryContents h = History(historyPath()).load();
  ASSERT_EQ(h.records.size(), 1u);
  EXPECT_EQ(h.records[0].settings.speed, 17);

  // The open dialog starts in the folder of the key read last; the key chosen there is recorded
  // with the settings asked for it.
  presenter.keySettings = [](const std::string& path) {
    RecordSettings s;
    s.source = TextSource::File;
    s.file = std::filesystem::path(path).filename().string();
    return s;
  };
  view.keyChosen = writeKey("other.key.txt", "12345");
  presenter.openKeyClicked();
  EXPECT_EQ(view.foldersOffered.back(), dir.string());
  EXPECT_EQ(view.against, 2);
  check("12345");
  EXPECT_EQ(History(historyPath()).load().records.back().settings.file, "other.key.txt");
  // A dialog cancelled changes nothing.
  view.keyChosen.reset();
  presenter.openKeyClicked();
  EXPECT_EQ(view.items.size(), 2u);
  EXPECT_EQ(view.against, 2);
}

// A key that is missing, a folder, larger than any key (refused whole, not checked in part), or a
// FIFO no one writes to (refused at once, never waited on) is said, and not offered.
TEST_F(CheckPresenterTest, AKeyThatCannotBeReadIsReportedAndNotOffered) {
  std::filesystem::create_directories(dir / "folder.key.txt");
  std::vector<std::string> keys = {(dir / "missing.key.txt").string(),
                                   (dir / "folder.key.txt").string(),
                                   writeKey("huge.key.txt", std::string((4 << 20) + 1, '5'))};
  const std::string fifo = (dir / "fifo.key.txt").string();
  if (!test_platform::missingFeature(test_platform::SystemFeature::Fifo) &&
      test_platform::makeFifo(fifo)) {
    keys.push_back(fifo);
  }
  for (const std::string& key : keys) {
    view.keyChosen = key;
    presenter.openKeyClicked();
    ASSERT_EQ(reports.size(), 1u) << key;
    EXPECT_EQ(reports[0].rfind("Ключ не прочитан: ", 0), 0u) << reports[0];
    EXPECT_NE(reports[0].find(key), std::string::npos) << reports[0];
    reports.clear();
  }
  EXPECT_TRUE(view.items.empty());
  EXPECT_EQ(view.against, 0);
}

}  // namespace
}  // namespace kelvak
