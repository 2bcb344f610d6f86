// Error reports: the message with a full stop, one box per cause at a time.
#include "presenter/error_gate.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace kelvak {
namespace {

struct RecordingReporter : ErrorReporter {
  std::vector<std::string> shown;
  std::function<void()> whileOpen;
  void showErrorReport(const std::string& text) override {
    shown.push_back(text);
    if (whileOpen) {
      auto f = std::move(whileOpen);
      f();
    }
  }
};

TEST(ErrorGate, AppendsAFullStopEvenAfterOne) {
  RecordingReporter r;
  ErrorGate gate(r);
  EXPECT_FALSE(gate.run([] { throw KelvakError("'abc' is not a valid integer value"); }));
  EXPECT_FALSE(gate.run([] { throw KelvakError("Done."); }));
  EXPECT_TRUE(gate.run([] {}));
  EXPECT_EQ(r.shown, (std::vector<std::string>{"'abc' is not a valid integer value.", "Done.."}));
}

TEST(ErrorGate, TheSameCauseIsNotShownAgainWhileItsBoxIsOpen) {
  RecordingReporter r;
  ErrorGate gate(r);
  auto failingTick = [] { throw KelvakError("'x' is not a valid integer value"); };
  // While the first box is open, ticks keep failing; a different cause still gets its box.
  r.whileOpen = [&] {
    for (int i = 0; i < 5; ++i) gate.run(failingTick);
    gate.run([] { throw KelvakError("Other"); });
    EXPECT_EQ(gate.reportsOnScreen(), 1u);
  };
  gate.run(failingTick);
  EXPECT_EQ(r.shown.size(), 2u);
  EXPECT_EQ(gate.reportsOnScreen(), 0u);
  // Once closed, the same cause may be shown again.
  gate.run(failingTick);
  EXPECT_EQ(r.shown.size(), 3u);
}

}  // namespace
}  // namespace kelvak
