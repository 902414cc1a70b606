#include "analysis/decimal_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace korvane {

std::string formatFixed(double value, int decimals) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";

  // Shortest round-trip digits in scientific form: d.ddddde±xx.
  char scientific[48];
  const auto written =
      std::to_chars(scientific, scientific + sizeof scientific, std::fabs(value), std::chars_format::scientific);
  char significant[24];
  int count = 0;
  const char* p = scientific;
  for (; p < written.ptr && *p != 'e'; ++p) {
    if (*p != '.') significant[count++] = *p;
  }
  // The exponent after 'e': "+05" or "-01" (from_chars takes no '+'). The text is not
  // terminated, so it is read only up to where to_chars wrote.
  int exponent = 0;
  const char* exponentText = p + 1;
  if (exponentText < written.ptr && *exponentText == '+') ++exponentText;
  std::from_chars(exponentText, written.ptr, exponent);

  // The number is 0.<digits> × 10^(exponent + 1). Place the digits on a fixed grid: `point`
  // digits before the decimal point, padded with zeros on both sides as needed. The grid is
  // one text filled with zeros, with room in front for a carry into a new first digit; a
  // result row's figures fit in the string's own room, with nothing to allocate.
  int point = exponent + 1;
  const int leadingZeros = std::max(-point, 0);
  point = std::max(point, 0);
  const int kept = point + decimals;
  const int placed = std::max(leadingZeros + count, point);
  std::string grid(static_cast<size_t>(1 + std::max(placed, kept)), '0');
  std::copy_n(significant, count, grid.begin() + 1 + leadingZeros);
  int first = 1;  // where the digits start: 0 once a carry made a new one
  if (placed > kept) {
    const bool roundUp = grid[static_cast<size_t>(1 + kept)] >= '5';
    if (roundUp) {
      int i = kept;  // the last kept digit, in the grid
      for (; i >= 1 && grid[static_cast<size_t>(i)] == '9'; --i) grid[static_cast<size_t>(i)] = '0';
      if (i >= 1) {
        ++grid[static_cast<size_t>(i)];
      } else {
        grid[0] = '1';
        first = 0;
        ++point;
      }
    }
  }

  // Leading zeros of the whole part dropped, one kept.
  const char* const digits = grid.data() + first;
  int integralStart = 0;
  while (integralStart < point && digits[integralStart] == '0') ++integralStart;
  std::string text;
  text.reserve(static_cast<size_t>(2 + point - integralStart + 1 + std::max(decimals, 0)));
  if (value < 0) text += '-';
  if (integralStart == point) {
    text += '0';
  } else {
    text.append(digits + integralStart, static_cast<size_t>(point - integralStart));
  }
  if (decimals > 0) {
    text += '.';
    text.append(digits + point, static_cast<size_t>(decimals));
  }
  return text;
}

}  // namespace korvane
