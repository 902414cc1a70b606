#include "analysis/decimal_format.h"

#include <charconv>
#include <cmath>

namespace korvane {

std::string formatFixed(double value, int decimals) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";

  // Shortest round-trip digits in scientific form: d.ddddde±xx.
  char buffer[64];
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific);
  std::string digits;
  const char* p = buffer;
  for (; p < written.ptr && *p != 'e'; ++p) {
    if (*p != '.') digits += *p;
  }
  // The exponent after 'e': "+05" or "-01" (from_chars takes no '+'). The text is not
  // terminated, so it is read only up to where to_chars wrote.
  int exponent = 0;
  const char* exponentText = p + 1;
  if (exponentText < written.ptr && *exponentText == '+') ++exponentText;
  std::from_chars(exponentText, written.ptr, exponent);

  // The number is 0.<digits> × 10^(exponent + 1). Place the digits on a fixed grid: `point`
  // digits before the decimal point, padded with zeros on both sides as needed.
  int point = exponent + 1;
  if (point < 0) {
    digits.insert(0, static_cast<size_t>(-point), '0');
    point = 0;
  }
  if (static_cast<int>(digits.size()) < point) digits.append(static_cast<size_t>(point) - digits.size(), '0');
  const size_t kept = static_cast<size_t>(point + decimals);
  if (digits.size() <= kept) {
    digits.append(kept - digits.size(), '0');
  } else {
    const bool roundUp = digits[kept] >= '5';
    digits.resize(kept);
    if (roundUp) {
      int i = static_cast<int>(kept) - 1;
      for (; i >= 0 && digits[static_cast<size_t>(i)] == '9'; --i) digits[static_cast<size_t>(i)] = '0';
      if (i >= 0) {
        ++digits[static_cast<size_t>(i)];
      } else {
        digits.insert(digits.begin(), '1');
        ++point;
      }
    }
  }

  std::string integral = digits.substr(0, static_cast<size_t>(point));
  const size_t firstNonZero = integral.find_first_not_of('0');
  integral = firstNonZero == std::string::npos ? "0" : integral.substr(firstNonZero);
  std::string text = value < 0 ? "-" : "";
  text += integral;
  if (decimals > 0) text += '.' + digits.substr(static_cast<size_t>(point));
  return text;
}

}  // namespace korvane
