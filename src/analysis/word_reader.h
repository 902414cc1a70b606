#pragma once
// The word reader of NC blocks: finds the first occurrence of an address ("X", "F", or "G0") in
// a block, comments included, and reads the number written after it. A value whose digits carry
// a decimal point is in millimetres and is scaled to input units of 0.001 mm (X10. and X10000
// are the same). WordScan is public so that a streaming reader can feed a block piece by piece
// and still read exactly what readWord() reads.

#include <QLatin1StringView>
#include <QStringView>
#include <array>
#include <bit>
#include <cstdint>
#include <optional>
#include <string_view>

#include "analysis/common_number.h"
#include "analysis/word_digits.h"

namespace korvane {

namespace word_scan {

// Where the leading number is, and (lowest bit) whether the decimal point scan goes on.
enum Phase : std::uint8_t { kStart, kSigned, kInteger, kFraction, kDone };
constexpr std::uint8_t at(Phase phase, bool scanning) { return static_cast<std::uint8_t>(phase * 2 + scanning); }
constexpr Phase phaseOf(std::uint8_t at) { return static_cast<Phase>(at / 2); }
constexpr bool scanning(std::uint8_t at) { return at & 1; }
inline constexpr std::uint8_t kEnded = at(kDone, false);

// The next place for every place and kind of character; kEnded when the character is not
// part of the word.
inline constexpr std::array<std::array<std::uint8_t, 6>, 10> kNext = [] {
  std::array<std::array<std::uint8_t, 6>, 10> next{};
  for (int place = 0; place < 10; ++place) {
    const Phase phase = phaseOf(static_cast<std::uint8_t>(place));
    for (int k = 0; k <= kPoint; ++k) {
      const Kind kind = static_cast<Kind>(k);
      const bool scan = scanning(static_cast<std::uint8_t>(place)) && kind != kOther && kind != kPlus;
      Phase after = kDone;
      if (phase != kDone) {
        if (kind == kBlank) after = phase;
        else if (kind == kDigit) after = phase == kFraction ? kFraction : kInteger;
        else if (kind == kPoint && phase != kFraction) after = kFraction;
        else if ((kind == kMinus || kind == kPlus) && phase == kStart) after = kSigned;
      }
      next[static_cast<size_t>(place)][static_cast<size_t>(k)] = at(after, scan);
    }
  }
  return next;
}();

}  // namespace word_scan

// Reads the characters after an address, two readings at once:
// - the leading number, read the way a decimal parser with a leading sign reads it: blanks are
//   skipped anywhere, one optional sign, digits with at most one decimal point; the first
//   character that cannot continue the number ends it; a text without a number gives 0.
//   Exponents are not read ("1E5" is 1). Digits past the 19th significant one are dropped.
// - whether the run of digits, blanks, "-" and "." that follows the address holds a decimal
//   point. "+" ends that run, so X+10. is read as 10, not 10000.
class WordScan {
 public:
  // Takes characters from p on while the word goes on; returns where it ended (`end` when
  // the word may go on in further characters).
  const unsigned char* feed(const unsigned char* p, const unsigned char* end) {
    using namespace word_scan;
    State s = state_;  // a local copy stays in registers
    std::uint8_t place = s.place;
    while (p < end) {
      const unsigned char c = *p;
      unsigned digit = static_cast<unsigned>(c) - '0';
      if (digit <= 9 && phaseOf(place) != kDone) {
        // The bulk of a program: a run of digits of a number. The decimal point scan takes
        // digits too, so it goes on as it was.
        const int fraction = phaseOf(place) == kFraction;
        if (!fraction) place = at(kInteger, scanning(place));
        std::uint64_t mantissa = s.mantissa;
        int exponent = s.exponent;
        for (;;) {
          if (mantissa < kMantissaLimit) {
            mantissa = mantissa * 10 + digit;
            exponent -= fraction;
          } else {
            exponent += 1 - fraction;  // a dropped digit still moves the point
          }
          if (++p == end || (digit = static_cast<unsigned>(*p) - '0') > 9) break;
        }
        s.mantissa = mantissa;
        s.exponent = exponent;
        continue;
      }
      const std::uint8_t kind = kKindOf[c];
      const std::uint8_t next = kNext[place][kind];
      if (next == kEnded) break;
      if (kind == kMinus && phaseOf(place) == kStart) s.negative = true;
      if (kind == kPoint && scanning(place)) s.point = true;
      place = next;
      ++p;
    }
    s.place = place;
    state_ = s;
    return p;
  }

  // The common word read in one go: an optional "-", at most 15 digits with an optional point
  // among them, blanks, then a character that ends both readings (a letter, a parenthesis, a
  // line end). Returns where the word ended, or nullptr for a word of any other shape, or one
  // that may go on past `end`: feed() reads those. Both read a word the same way.
  [[gnu::always_inline]] static const unsigned char* readCommon(const unsigned char* p, const unsigned char* end, WordDigits& reading) {
    if constexpr (std::endian::native == std::endian::little) {
      // With room to look ahead, several characters at a time.
      if (end - p >= common_number::kLookAhead) return common_number::readEightAtATime(p, end, reading);
    }
    const bool negative = p < end && *p == '-';
    p += negative;
    std::uint64_t mantissa = 0;
    int digits = 0;
    if (!appendDigits(p, end, mantissa, digits)) return nullptr;
    const int integerDigits = digits;
    const bool point = p < end && *p == '.';
    if (point && !appendDigits(++p, end, mantissa, digits)) return nullptr;
    p = common_number::pastBlanksToWordEnd(p, end);
    if (p) reading = {common_number::withSign(static_cast<double>(mantissa), negative), digits - integerDigits, point};
    return p;
  }

  // Takes the next character; false once the word has ended before it.
  bool feed(unsigned char c) { return feed(&c, &c + 1) != &c; }

  // Starts a new word.
  void restart() { state_ = State{}; }

  WordReading reading() const { return {numberValue(state_), state_.point}; }

 private:
  // Up to 19 significant digits are kept: below this limit one more digit still fits.
  static constexpr std::uint64_t kMantissaLimit = 1'000'000'000'000'000'000;

  struct State {
    std::uint64_t mantissa = 0;  // the significant digits, at most 19
    int exponent = 0;            // number = mantissa × 10^exponent
    std::uint8_t place = word_scan::at(word_scan::kStart, true);
    bool negative = false;
    bool point = false;  // the decimal point scan met a "."
  };

  static double numberValue(const State& s);

  // Appends the run of digits at p to `mantissa` and moves p past it; false when the number
  // would get more than 15 digits.
  static bool appendDigits(const unsigned char*& p, const unsigned char* end, std::uint64_t& mantissa, int& digits) {
    // Locals: stores through the references could alias the characters and be redone each turn.
    const unsigned char* q = p;
    const unsigned char* const limit = end - q > 15 - digits ? q + (15 - digits) : end;
    std::uint64_t value = mantissa;
    unsigned digit = 0;
    for (; q < limit && (digit = static_cast<unsigned>(*q) - '0') <= 9; ++q) value = value * 10 + digit;
    digits += static_cast<int>(q - p);
    mantissa = value;
    p = q;
    return q == end || static_cast<unsigned>(*q) - '0' > 9;  // a 16th digit is too many
  }

  State state_;
};

// The word after the first occurrence of `address` in `block` (case-sensitive), or nothing when
// the address does not occur. For "G0" the number starts at its "0": G01 gives 1, G04 gives 4.
std::optional<WordReading> findWord(std::string_view block, std::string_view address);
std::optional<WordReading> findWord(QStringView block, QLatin1StringView address);

// The word's value in input units: the number, times 1000 when it was written with a decimal
// point. Nothing when the address does not occur.
std::optional<double> readWord(std::string_view block, std::string_view address);
std::optional<double> readWord(QStringView block, QLatin1StringView address);

}  // namespace korvane
