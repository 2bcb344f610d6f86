// The drill window's behaviour with a fake view, a fake sound and a hand-moved clock.
#include "presenter/drill_presenter.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "synth/symbol_table.h"
#include "tests/presenter/fake_views.h"
#include "training/course.h"

namespace kelvak {
namespace {

struct FakeDrillView : DrillView {
  DrillShown shown;
  std::vector<std::pair<int, std::function<void()>>> pending;  // [ms] from when asked

  void showDrill(const DrillShown& s) override { shown = s; }
  void after(int ms, std::function<void()> then) override { pending.emplace_back(ms, then); }
};

class DrillPresenterTest : public testing::PresenterTest {
 protected:
  static constexpr std::int32_t kHeardMs = 300;  // the device's lead and the tone
  FakeDrillView view;
  std::vector<int> sounded;
  std::size_t soundsBeforeGone = 1000;  // then the sound server goes away
  int ends = 0;
  int speed = 12;
  History history{historyPath()};
  DrillPresenter presenter{view,
                           {[this](int symbol) {
                              if (sounded.size() == soundsBeforeGone) {
                                throw KelvakError("Устройство пропало");
                              }
                              sounded.push_back(symbol);
                              return kHeardMs;
                            },
                            [this] { ++ends; }},
                           history,
                           [this] {
                             DrillPresenter::Start s;
                             for (const int symbol : courseOrder(CourseSet::Letters, false)) {
                               s.weights.emplace_back(symbol, 1);
                             }
                             s.speed = speed;
                             return s;
                           },
                           [this](int s) { speed = s; },
                           dispatch()};

  DrillPresenterTest() {
    presenter.steadyMs = [] { return std::int64_t{0}; };  // every answer comes at once
  }
  char32_t current() const { return SymbolTable[presenter.drill()->current()].unicode; }
};

// A drill of 100 characters sounds each, speeds up while the answers are right and fast, replays a
// wrong one before the next, and records its accuracy and median reaction as a drill.
TEST_F(DrillPresenterTest, ADrillOfAHundredCharactersIsRecorded) {
  presenter.startClicked();
  ASSERT_TRUE(presenter.running());
  EXPECT_TRUE(view.shown.running);
  ASSERT_EQ(sounded.size(), 1u);

  presenter.keyTyped(U'ъ');  // no such character: wrong, and it sounds again at the lower speed
  EXPECT_FALSE(view.shown.typedRight);
  EXPECT_EQ(speed, 12 - kSlowDownStep);
  ASSERT_EQ(sounded.size(), 2u);
  EXPECT_EQ(sounded[1], sounded[0]);
  // The next character comes once the replay has been heard, and a key meanwhile is no answer.
  ASSERT_EQ(view.pending.size(), 1u);
  EXPECT_GT(view.pending[0].first, kHeardMs);
  presenter.keyTyped(current());
  EXPECT_EQ(presenter.drill()->answers().size(), 1u);
  view.pending[0].second();
  ASSERT_EQ(sounded.size(), 3u);

  // Every other answer typed in the Latin layout where the letter has a Latin twin of the same
  // code; those count as right too.
  const std::u32string latin = U"abcdefghijklmnopqrstuvwxyz", twins = U"абцдефгхийклмнопщрстужвьыз";
  for (int k = 1; k < 100; ++k) {
    const std::size_t twin = twins.find(current());
    presenter.keyTyped(k % 2 && twin != std::u32string::npos ? latin[twin] : current());
  }
  EXPECT_TRUE(view.shown.typedRight);
  EXPECT_NE(view.shown.latin.find(" как "), std::string::npos) << view.shown.latin;
  EXPECT_EQ(speed, kDrillMaxSpeed);
  presenter.stopClicked();
  EXPECT_FALSE(presenter.running());
  EXPECT_FALSE(view.shown.running);
  EXPECT_EQ(ends, 1);
  EXPECT_FALSE(view.shown.recordNote.empty());

  const HistoryContents h = History(historyPath()).load();
  ASSERT_EQ(h.drills.size(), 1u);
  EXPECT_EQ(h.drills[0].sent, 100);
  EXPECT_EQ(h.drills[0].correct, 99);
  EXPECT_EQ(h.drills[0].source, TextSource::Letters);
  EXPECT_EQ(h.drills[0].medianReactionMs, 0);  // answered before the tone had ended
}

// The reaction is counted from the end of the tone, not from its start.
TEST_F(DrillPresenterTest, TheReactionCountsFromTheEndOfTheTone) {
  std::int64_t now = 1000;
  presenter.steadyMs = [&now] { return now; };
  presenter.startClicked();
  now += kHeardMs + 250;
  presenter.answer(current());
  EXPECT_EQ(presenter.drill()->answers().back().reactionMs, 250);
  EXPECT_NE(view.shown.reaction.find("250"), std::string::npos) << view.shown.reaction;
  presenter.closed();  // closing the window ends the session
  EXPECT_FALSE(presenter.running());
  EXPECT_EQ(History(historyPath()).load().drills.size(), 1u);
}

// The sound server goes away during a drill: the session ends with the device's message, and only
// the characters that sounded and were answered go into the history.
TEST_F(DrillPresenterTest, ADrillWhoseServerWentAwayEndsWithWhatWasHeard) {
  presenter.startClicked();
  for (int k = 0; k < 3; ++k) presenter.keyTyped(current());
  soundsBeforeGone = sounded.size();
  // The fourth character sounded before; its answer asks for a fifth, which cannot sound.
  presenter.keyTyped(current());
  EXPECT_FALSE(presenter.running());
  EXPECT_FALSE(view.shown.running);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].rfind("Устройство пропало", 0), 0u) << reports[0];
  reports.clear();
  const HistoryContents h = History(historyPath()).load();
  ASSERT_EQ(h.drills.size(), 1u);
  EXPECT_EQ(h.drills[0].sent, 4);
  EXPECT_EQ(h.drills[0].correct, 4);
}

}  // namespace
}  // namespace kelvak
