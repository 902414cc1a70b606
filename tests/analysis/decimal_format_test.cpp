// Result texts round the written decimal value half away from zero, unlike printf, which
// rounds the binary value.
#include <gtest/gtest.h>

#include <cmath>

#include "analysis/decimal_format.h"

using korvane::formatFixed;

TEST(DecimalFormat, RoundsTheWrittenValueHalfAwayFromZero) {
  EXPECT_EQ(formatFixed(1250 * 2.54 / 1000, 2), "3.18");  // 3.17499999999999982236431605997495353221893310546875
  EXPECT_EQ(formatFixed(2.675, 2), "2.68");
  EXPECT_EQ(formatFixed(1.005, 2), "1.01");
  EXPECT_EQ(formatFixed(0.125, 2), "0.13");  // an exact binary tie: printf's even rounding gives 0.12
  EXPECT_EQ(formatFixed(0.005, 2), "0.01");
  EXPECT_EQ(formatFixed(0.00499999, 2), "0.00");
  EXPECT_EQ(formatFixed(0.0635, 2), "0.06");
}

TEST(DecimalFormat, CarriesIntoNewDigits) {
  EXPECT_EQ(formatFixed(9.995, 2), "10.00");
  EXPECT_EQ(formatFixed(99.999, 2), "100.00");
  EXPECT_EQ(formatFixed(0.995, 2), "1.00");
}

TEST(DecimalFormat, PadsAndKeepsOneLeadingZero) {
  EXPECT_EQ(formatFixed(0, 2), "0.00");
  EXPECT_EQ(formatFixed(0.5, 2), "0.50");
  EXPECT_EQ(formatFixed(100, 2), "100.00");
  EXPECT_EQ(formatFixed(1e-9, 2), "0.00");
  EXPECT_EQ(formatFixed(1e20, 2), "100000000000000000000.00");
  EXPECT_EQ(formatFixed(123456789.125, 2), "123456789.13");
}

TEST(DecimalFormat, NoDecimalsForProgramNumbers) {
  EXPECT_EQ(formatFixed(1000, 0), "1000");
  EXPECT_EQ(formatFixed(12, 0), "12");
  EXPECT_EQ(formatFixed(2.5, 0), "3");
  EXPECT_EQ(formatFixed(1234.4, 0), "1234");
  EXPECT_EQ(formatFixed(0.4, 0), "0");
}

TEST(DecimalFormat, NegativeValuesRoundAwayFromZero) {
  EXPECT_EQ(formatFixed(-1.005, 2), "-1.01");
  EXPECT_EQ(formatFixed(-5, 0), "-5");
  EXPECT_EQ(formatFixed(-0.001, 2), "-0.00");
}

TEST(DecimalFormat, NonFiniteValuesAreNamed) {
  EXPECT_EQ(formatFixed(INFINITY, 2), "inf");
  EXPECT_EQ(formatFixed(-INFINITY, 2), "-inf");
  EXPECT_EQ(formatFixed(NAN, 2), "nan");
}
