#pragma once
// The usual number after an address, read several characters at a time: an optional "-", at
// most 15 digits with an optional point among them, blanks, then a character that ends the word
// (a letter, a parenthesis, a line end). Each reader returns where the word ended, or nullptr
// for a number of any other shape, which the character-by-character reader then reads; both
// read a number the same way.
//
// A program is read one number after another, and the place where the next one starts is known
// only once this one has ended. So the readers work out that place from the characters in as few
// steps as they can, and the value alongside, when nothing waits on it. They branch little on
// the number's shape: it changes from word to word, and a wrong guess costs about as much as
// reading the number. They take characters (first in the lowest byte) as little-endian words.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "analysis/word_digits.h"

namespace korvane::common_number {

// The readers look at up to this many characters from where the number starts.
inline constexpr std::ptrdiff_t kLookAhead = 24;

inline std::uint64_t eightCharacters(const unsigned char* p) {
  std::uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Bit 7 of each of the eight bytes that is a digit; no carry crosses from one byte to the next.
inline std::uint64_t digitBytes(std::uint64_t v) {
  const std::uint64_t low = v & 0x7F7F7F7F7F7F7F7Fu;
  const std::uint64_t atLeastZero = low + 0x5050505050505050u;  // bit 7 set from "0" (0x30) on
  const std::uint64_t pastNine = low + 0x4646464646464646u;     // bit 7 set from ":" (0x3A) on
  return atLeastZero & ~pastNine & ~v & 0x8080808080808080u;
}

// Bit 7 of each of the eight bytes that equals c; no carry crosses from one byte to the next.
inline std::uint64_t bytesEqualTo(std::uint64_t v, unsigned char c) {
  const std::uint64_t x = v ^ (0x0101010101010101u * c);
  return ~(((x & 0x7F7F7F7F7F7F7F7Fu) + 0x7F7F7F7F7F7F7F7Fu) | x) & 0x8080808080808080u;
}

// How many of the eight characters are digits before another one.
inline int leadingDigits(std::uint64_t v) {
  // A byte below "0" borrows and one above "9" carries, but only into later bytes: the first
  // byte that is no digit is always flagged, and nothing before it is.
  const std::uint64_t t = v - 0x3030303030303030u;
  const std::uint64_t notDigit = (t | (t + 0x7676767676767676u)) & 0x8080808080808080u;
  return notDigit == 0 ? 8 : std::countr_zero(notDigit) / 8;
}

// The number, negative when `negative`: the sign goes in as a bit (the magnitude is not negative).
inline double withSign(double magnitude, bool negative) {
  return std::bit_cast<double>(std::bit_cast<std::uint64_t>(magnitude) | static_cast<std::uint64_t>(negative) << 63);
}

// Past the blanks from p on when a character that ends the word (a letter, a parenthesis, a line
// end) follows them; else nullptr: the word has another shape, or may go on past `end`.
[[gnu::always_inline]] inline const unsigned char* pastBlanksToWordEnd(const unsigned char* p, const unsigned char* end) {
  while (p < end && *p == ' ') ++p;
  return p < end && word_scan::kKindOf[*p] == word_scan::kOther ? p : nullptr;
}

// The value of the first n (0 to 7) digits of the eight characters.
inline std::uint64_t digitsValue(std::uint64_t v, int n) {
  v = (v << (8 * (7 - n))) << 8;  // the digits to the top, zeros ahead of them (all zeros for none)
  v = ((v & 0x0F0F0F0F0F0F0F0Fu) * 2561) >> 8;
  v = ((v & 0x00FF00FF00FF00FFu) * 6553601) >> 16;
  return ((v & 0x0000FFFF0000FFFFu) * 42949672960001u) >> 32;
}

// The number of digits and point at the start of the eight characters `afterSign`, whose
// point, if any, is flagged in `pointIn` (bit 7 of its byte): its digits in a row, with the
// point taken out and the digits after it moved down a place.
[[gnu::always_inline]] inline WordDigits digitsOf(std::uint64_t afterSign, std::uint64_t pointIn, int characters, bool negative) {
  const std::uint64_t below = (pointIn >> 7) - 1;  // the bytes before the point; all without one
  const std::uint64_t joined = (afterSign & below) | ((afterSign >> 8) & ~below);
  const bool point = pointIn != 0;
  const int fractionDigits = point ? characters - 1 - std::countr_zero(pointIn) / 8 : 0;
  return {withSign(static_cast<double>(digitsValue(joined, characters - point)), negative), fractionDigits, point};
}

// A number of up to 15 digits: the integer digits, then those after the point, in runs of
// eight characters.
[[gnu::noinline]] inline const unsigned char* readInTwoRuns(const unsigned char* p, const unsigned char* end,
                                                            WordDigits& reading) {
  static constexpr std::uint64_t kPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
  const bool negative = *p == '-';
  p += negative;
  const std::uint64_t integer = eightCharacters(p);
  const int integerDigits = leadingDigits(integer);
  if (integerDigits == 8) return nullptr;
  std::uint64_t mantissa = digitsValue(integer, integerDigits);
  p += integerDigits;
  const bool point = *p == '.';
  int fractionDigits = 0;
  if (point) {
    const std::uint64_t fraction = eightCharacters(++p);
    fractionDigits = leadingDigits(fraction);
    if (fractionDigits == 8) return nullptr;
    mantissa = mantissa * kPowers[fractionDigits] + digitsValue(fraction, fractionDigits);
    p += fractionDigits;
  }
  p = pastBlanksToWordEnd(p, end);
  if (p) reading = {withSign(static_cast<double>(mantissa), negative), fractionDigits, point};
  return p;
}

// Up to seven digits and point, from the eight characters after the sign.
[[gnu::always_inline]] inline const unsigned char* readEightAtATime(const unsigned char* p, const unsigned char* end,
                                                                    WordDigits& reading) {
  const std::uint64_t atSign = eightCharacters(p);
  const std::uint64_t pastSign = eightCharacters(p + 1);
  const bool negative = (atSign & 0xFF) == '-';
  const std::uint64_t characters = negative ? pastSign : atSign;
  const std::uint64_t points = bytesEqualTo(characters, '.');
  const std::uint64_t ends = ~digitBytes(characters) & ~points & 0x8080808080808080u;
  if (ends == 0) [[unlikely]] return readInTwoRuns(p, end, reading);
  const int length = std::countr_zero(ends) / 8;  // digits and point
  const std::uint64_t pointsIn = points & ((std::uint64_t{1} << (8 * length)) - 1);
  if ((pointsIn & (pointsIn - 1)) != 0) return nullptr;  // a second point: "1.2.3"
  const auto terminator = static_cast<unsigned char>(characters >> (8 * length));
  // Stepping over a blank right after the number here, rather than in the loop, keeps the loop
  // out of the steps that the next word's start waits on.
  const unsigned char* const after = pastBlanksToWordEnd(p + negative + length + (terminator == ' '), end);
  if (after) reading = digitsOf(characters, pointsIn, length, negative);
  return after;
}

}  // namespace korvane::common_number
