#pragma once
// A word's number as read after its address, and what each character means to that reading.

#include <array>
#include <cstdint>

namespace korvane {

// Units of 0.001 mm per millimetre: the factor applied to a value written with a decimal point.
inline constexpr double kInputScale = 1000;

// Characters are given as bytes; every character outside ASCII is passed as kOtherCharacter.
inline constexpr unsigned char kOtherCharacter = 0x80;

// One word as read from the characters after its address.
struct WordReading {
  double number = 0;          // the leading number as written
  bool decimalPoint = false;  // the digits carried a decimal point
  // Times 1 or kInputScale, picked from a table: whether a word has a point changes from word to
  // word in no order a processor can guess. (Times 1 is exact.)
  double scaled() const {
    static constexpr double kFactor[] = {1, kInputScale};
    return number * kFactor[decimalPoint];
  }
};

namespace word_scan {
// Powers of ten that a double holds exactly.
inline constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
}  // namespace word_scan

// A word's number as its digits were written, at most 15 of them: mantissa / 10^fractionDigits.
// The one division is left to whoever needs the value; the two numbers are exact doubles, so it
// rounds correctly.
struct WordDigits {
  double mantissa = 0;  // signed
  int fractionDigits = 0;
  bool decimalPoint = false;
  WordReading reading() const {
    // Dividing by 10^0 = 1 is exact: no branch on whether the word has a fraction.
    return {mantissa / word_scan::kExactPowersOfTen[fractionDigits], decimalPoint};
  }
};

namespace word_scan {

enum Kind : std::uint8_t { kDigit, kBlank, kOther, kMinus, kPlus, kPoint };

inline constexpr std::array<std::uint8_t, 256> kKindOf = [] {
  std::array<std::uint8_t, 256> kinds{};
  kinds.fill(kOther);
  for (int c = '0'; c <= '9'; ++c) kinds[static_cast<size_t>(c)] = kDigit;
  kinds[' '] = kBlank;
  kinds['\t'] = kBlank;
  kinds['-'] = kMinus;
  kinds['+'] = kPlus;
  kinds['.'] = kPoint;
  return kinds;
}();

}  // namespace word_scan

}  // namespace korvane
