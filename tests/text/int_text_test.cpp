// Reading a field's text as an integer.
#include "text/int_text.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "tests/case_name.h"

namespace kelvak {
namespace {

struct Valid {
  const char* text;
  std::int32_t value;
};

class FieldIntegerValid : public testing::TestWithParam<Valid> {};

TEST_P(FieldIntegerValid, Converts) { EXPECT_EQ(fieldInteger(GetParam().text), GetParam().value); }

INSTANTIATE_TEST_SUITE_P(
    Texts, FieldIntegerValid,
    testing::Values(Valid{"30", 30}, Valid{"0", 0}, Valid{"  7", 7}, Valid{"+5", 5},
                    Valid{"-1", -1}, Valid{"007", 7}, Valid{"2147483647", 2147483647},
                    Valid{"-2147483648", INT32_MIN}, Valid{"00000000002147483647", 2147483647},
                    Valid{"$10", 16}, Valid{"x1f", 31}, Valid{"X1F", 31}, Valid{"0x1F", 31},
                    Valid{"0XaB", 171}, Valid{"$FFFFFFFF", -1}, Valid{"  $7fffffff", INT32_MAX},
                    Valid{"$80000000", INT32_MIN}, Valid{"0x00000001", 1}, Valid{"1989", 1989}),
    [](const auto& info) { return testing_names::textName(info.param.text); });

class FieldIntegerInvalid : public testing::TestWithParam<const char*> {};

TEST_P(FieldIntegerInvalid, RaisesTheMessageWithTheText) {
  const std::string text = GetParam();
  try {
    fieldInteger(text);
    FAIL() << "accepted '" << text << "'";
  } catch (const KelvakError& e) {
    EXPECT_EQ(std::string(e.what()), "'" + text + "' is not a valid integer value");
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, FieldIntegerInvalid,
                         testing::Values("", "   ", "abc", "1 ", "1a", "+", "-", "--1", "+-1",
                                         "2147483648", "-2147483649", "99999999999999999999", "$",
                                         "x", "0x", "$123456789", "-$10", "+0x1", "$1G", "\t5",
                                         "1.5", "1e3", "٣"),
                         [](const auto& info) { return testing_names::textName(info.param); });

}  // namespace
}  // namespace kelvak
