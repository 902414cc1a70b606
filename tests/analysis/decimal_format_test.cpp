// Result texts round the written decimal value half away from zero, unlike printf, which
// rounds the binary value.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <random>
#include <string>

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

// An independent reading: the shortest round-trip text in fixed notation, rounded half away
// from zero digit by digit.
namespace {

std::string roundedWrittenValue(double value, int decimals) {
  char buffer[512];
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::fixed);
  const std::string text(buffer, written.ptr);
  const size_t point = text.find('.');
  std::string whole = text.substr(0, point);
  std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
  const bool roundUp = fraction.size() > static_cast<size_t>(decimals) && fraction[static_cast<size_t>(decimals)] >= '5';
  fraction.resize(static_cast<size_t>(decimals), '0');
  std::string digits = whole + fraction;
  if (roundUp) {
    int i = static_cast<int>(digits.size()) - 1;
    for (; i >= 0 && digits[static_cast<size_t>(i)] == '9'; --i) digits[static_cast<size_t>(i)] = '0';
    if (i >= 0) ++digits[static_cast<size_t>(i)];
    else digits.insert(digits.begin(), '1');
  }
  whole = digits.substr(0, digits.size() - static_cast<size_t>(decimals));
  whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
  if (whole.empty()) whole = "0";
  std::string result = (value < 0 ? "-" : "") + whole;
  if (decimals > 0) result += '.' + digits.substr(digits.size() - static_cast<size_t>(decimals));
  return result;
}

}  // namespace

TEST(DecimalFormat, AgreesWithTheFixedNotationRoundedByHand) {
  std::mt19937_64 random(20261208);
  // Up to 1e15: beyond 17 digits the fixed notation writes an integer exactly, not shortest.
  std::uniform_real_distribution<double> exponent(-8, 15);
  for (int i = 0; i < 200000; ++i) {
    double value = std::pow(10.0, exponent(random));
    if (i % 3 == 0) value = std::round(value * 1000) / 1000;  // three decimals as written, ties included
    if (i % 5 == 0) value = std::nextafter(std::round(value * 200) / 200, 0.0);  // just below a tie
    if (i % 2 == 0) value = -value;
    for (int decimals : {0, 2}) {
      ASSERT_EQ(formatFixed(value, decimals), roundedWrittenValue(value, decimals)) << value << " " << decimals;
    }
  }
}
