// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace orvane {
namespace {

TEST(BoundedText, EveryAssignmentKeepsAtMostItsLimit) {
  const std::string long300(300, 'x');
  Text t = long300;
  EXPECT_EQ(t.size(), 254u);
  t = "FA";
  t += long300;
  EXPECT_EQ(t.size(), 254u);
  EXPECT_EQ(t.str().substr(0, 3), "FAx");
  ReplyText r = long300;
  EXPECT_EQ(r.size(), 255u);
}

TEST(TextOperations, OneBasedPositionsAndShortTexts) {
  EXPECT_EQ(leftText("FA00014200000", 2), "FA");
  EXPECT_EQ(leftText("FA", 5), "FA");
  EXPECT_EQ(leftText("FA", 0), "");
  EXPECT_EQ(rightText("port 12", 2), "12");
  EXPECT_EQ(rightText("12", 5), "12");
  EXPECT_EQ(rightText("12", -1), "");
  EXPECT_EQ(midText("SM00015;", 6, 2), "15");
  EXPECT_EQ(midText("SM0", 6, 2), "");
  EXPECT_EQ(midText("SM001", 5, 2), "1");
  EXPECT_EQ(midText("abc", 0, 2), "");
  EXPECT_EQ(midText("FA00014200000", 3), "00014200000");
  EXPECT_EQ(findText("00014.200000", "."), 6);
  EXPECT_EQ(findText("abc", ";"), 0);
}

struct NumberCase {
  const char* text;
  std::int32_t cut;
  std::int32_t rounded;
};

class TextToNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(TextToNumber, CutAndRounded) {
  const NumberCase& c = GetParam();
  EXPECT_EQ(textToNumberCut(c.text), c.cut) << '"' << c.text << '"';
  EXPECT_EQ(textToNumberRounded(c.text), c.rounded) << '"' << c.text << '"';
}

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

INSTANTIATE_TEST_SUITE_P(
    Rules, TextToNumber,
    ::testing::Values(
        NumberCase{"", 0, 0}, NumberCase{"abc", 0, 0}, NumberCase{" ", 0, 0},
        NumberCase{"42", 42, 42}, NumberCase{" \t 42x", 42, 42}, NumberCase{"-17", -17, -17},
        NumberCase{"- 17", 0, 0}, NumberCase{"1 2", 1, 1}, NumberCase{".5", 0, 0},
        NumberCase{"9600.9", 9600, 9601}, NumberCase{"0.5", 0, 0}, NumberCase{"1.5", 1, 2},
        NumberCase{"2.5", 2, 2}, NumberCase{"2.50001", 2, 3}, NumberCase{"2.49999", 2, 2},
        NumberCase{"-2.5", -2, -2}, NumberCase{"-3.5", -3, -4}, NumberCase{"7.", 7, 7},
        NumberCase{"00014200000", 14200000, 14200000}, NumberCase{"2147483647", kMax, kMax},
        NumberCase{"2147483647.5", kMax, kMax}, NumberCase{"2147483648", kMax, kMax},
        NumberCase{"99999999999999999999999", kMax, kMax}, NumberCase{"-2147483648", kMin, kMin},
        NumberCase{"-99999999999999999999", kMin, kMin}));

TEST(NumberToText, BlankOrMinusBeforeTheDigits) {
  EXPECT_EQ(numberToText(42), " 42");
  EXPECT_EQ(numberToText(0), " 0");
  EXPECT_EQ(numberToText(-7), "-7");
  EXPECT_EQ(numberToText(kMin), "-2147483648");
  EXPECT_EQ(digitsOf(100), "100");
  EXPECT_EQ(digitsOf(-5), "5");
  EXPECT_EQ(zeroPadded(5, 3), "005");
  EXPECT_EQ(zeroPadded(1234, 3), "1234");
  EXPECT_EQ(zeroPadded(14200000, 11), "00014200000");
  EXPECT_EQ(zeroPadded(-100, 11), "-0000000100");
}

}  // namespace
}  // namespace orvane
