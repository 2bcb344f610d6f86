// Spin arrows: they write numbers into their field, start from what the field shows, never wrap.
#include "ui/up_down.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include "tests/ui/qt_print.h"

namespace kelvak {
namespace {

struct Spin {
  QLineEdit field;
  UpDown arrows;
  Spin(int min, int max, int position) {
    arrows.setAssociate(&field);
    arrows.setMin(min);
    arrows.setMax(max);
    arrows.setPosition(position);
  }
};

struct StepCase {
  const char* name;
  int min, max, position;
  const char* typed;  // the field's text before the step; null to keep what the arrows wrote
  int delta;
  const char* expected;
};

void PrintTo(const StepCase& c, std::ostream* os) { *os << c.name; }

class UpDownStep : public ::testing::TestWithParam<StepCase> {};

TEST_P(UpDownStep, WritesTheSteppedNumberIntoTheField) {
  const StepCase& c = GetParam();
  Spin spin(c.min, c.max, c.position);
  if (c.typed) spin.field.setText(QString::fromUtf8(c.typed));
  spin.arrows.step(c.delta);
  EXPECT_EQ(spin.field.text().toStdString(), c.expected);
  EXPECT_EQ(QString::number(spin.arrows.position()).toStdString(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UpDownStep,
    ::testing::Values(StepCase{"Up", 0, 999, 30, nullptr, +1, "31"},
                      StepCase{"Down", 0, 999, 30, nullptr, -1, "29"},
                      StepCase{"NoWrapAtTheTop", 1, 5, 5, nullptr, +1, "5"},
                      StepCase{"NoWrapAtTheBottom", 1, 5, 1, nullptr, -1, "1"},
                      StepCase{"StartsFromATypedNumber", 0, 999, 30, "7", +1, "8"},
                      StepCase{"TypedNumberWithSpaces", 0, 999, 30, " 12 ", -1, "11"},
                      StepCase{"TypedNumberAboveTheRangeIsClamped", 1, 5, 2, "9", -1, "4"},
                      StepCase{"TypedTextThatIsNoNumber", 0, 999, 30, "abc", +1, "31"},
                      StepCase{"TypedHexIsNoPlainNumber", 0, 999, 30, "$10", +1, "31"},
                      StepCase{"EmptyField", 1, 5, 3, "", -1, "2"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UpDown, SettingThePositionAlwaysRewritesTheField) {
  Spin spin(0, 999, 4);
  spin.field.setText("abc");
  spin.arrows.setPosition(4);  // unchanged position, the field shows it again
  EXPECT_EQ(spin.field.text(), "4");
  spin.arrows.setPosition(1200);
  EXPECT_EQ(spin.field.text(), "999");
  spin.arrows.setPosition(-3);
  EXPECT_EQ(spin.field.text(), "0");
}

TEST(UpDown, NarrowingTheRangeKeepsThePositionInsideButLeavesTheField) {
  Spin spin(0, 999, 30);
  spin.arrows.setMax(4);
  EXPECT_EQ(spin.arrows.position(), 4);
  EXPECT_EQ(spin.field.text(), "30");
  spin.arrows.step(+1);
  EXPECT_EQ(spin.field.text(), "4");
  spin.arrows.setMax(999);
  spin.arrows.step(+1);
  EXPECT_EQ(spin.field.text(), "5");
}

TEST(UpDown, RangeAndPositionAre16BitSigned) {
  Spin spin(0, 999, 0);
  spin.arrows.setMax(70000);  // 70000 - 65536
  EXPECT_EQ(spin.arrows.max(), 4464);
  spin.arrows.setMax(40000);  // beyond 32767 it turns negative, below the minimum
  EXPECT_LE(spin.arrows.max(), spin.arrows.min());
}

TEST(UpDown, ArrowButtonsAndArrowKeysStep) {
  Spin spin(0, 999, 10);
  spin.arrows.resize(15, 21);
  spin.arrows.show();
  auto* up = spin.arrows.findChild<QToolButton*>("up");
  auto* down = spin.arrows.findChild<QToolButton*>("down");
  ASSERT_TRUE(up && down);
  // The arrows split the height and never take the keyboard focus from the field.
  EXPECT_EQ(up->geometry(), QRect(0, 0, 15, 11));
  EXPECT_EQ(down->geometry(), QRect(0, 11, 15, 10));
  EXPECT_EQ(up->focusPolicy(), Qt::NoFocus);
  EXPECT_EQ(spin.arrows.focusPolicy(), Qt::NoFocus);

  up->click();
  up->click();
  down->click();
  EXPECT_EQ(spin.field.text(), "11");
  QTest::keyClick(&spin.field, Qt::Key_Up);
  EXPECT_EQ(spin.field.text(), "12");
  QTest::keyClick(&spin.field, Qt::Key_Down);
  QTest::keyClick(&spin.field, Qt::Key_Down);
  EXPECT_EQ(spin.field.text(), "10");
  // Other keys type as usual.
  QTest::keyClick(&spin.field, Qt::Key_5);
  EXPECT_EQ(spin.field.text(), "105");
}

}  // namespace
}  // namespace kelvak
