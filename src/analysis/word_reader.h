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
#include <cstring>
#include <cstdint>
#include <optional>
#include <string_view>

namespace korvane {

// Units of 0.001 mm per millimetre: the factor applied to a value written with a decimal point.
inline constexpr double kInputScale = 1000;

// Characters are given as bytes; every character outside ASCII is passed as kOtherCharacter.
inline constexpr unsigned char kOtherCharacter = 0x80;

// One word as read from the characters after its address.
struct WordReading {
  double number = 0;          // the leading number as written
  bool decimalPoint = false;  // the digits carried a decimal point
  double scaled() const { return decimalPoint ? number * kInputScale : number; }
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

// Where the leading number is, and (lowest bit) whether the decimal point scan goes on.
enum Phase : std::uint8_t { kStart, kSigned, kInteger, kFraction, kDone };
enum Kind : std::uint8_t { kDigit, kBlank, kOther, kMinus, kPlus, kPoint };
constexpr std::uint8_t at(Phase phase, bool scanning) { return static_cast<std::uint8_t>(phase * 2 + scanning); }
constexpr Phase phaseOf(std::uint8_t at) { return static_cast<Phase>(at / 2); }
constexpr bool scanning(std::uint8_t at) { return at & 1; }
inline constexpr std::uint8_t kEnded = at(kDone, false);

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
      // With room to look ahead, eight characters at a time: no branch on each digit.
      if (end - p >= kLookAhead) return readCommonEightAtATime(p, end, reading);
    }
    const bool negative = p < end && *p == '-';
    p += negative;
    std::uint64_t mantissa = 0;
    int digits = 0;
    if (!appendDigits(p, end, mantissa, digits)) return nullptr;
    const int integerDigits = digits;
    const bool point = p < end && *p == '.';
    if (point && !appendDigits(++p, end, mantissa, digits)) return nullptr;
    while (p < end && *p == ' ') ++p;
    if (p == end || word_scan::kKindOf[*p] != word_scan::kOther) return nullptr;
    const double magnitude = static_cast<double>(mantissa);
    reading = {negative ? -magnitude : magnitude, digits - integerDigits, point};
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

  // readCommon() reads up to two runs of eight characters past the sign and the point.
  static constexpr std::ptrdiff_t kLookAhead = 24;

  static std::uint64_t eightCharacters(const unsigned char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  // How many of the eight characters (first in the lowest byte) are digits before another one.
  static int leadingDigits(std::uint64_t v) {
    // A byte below "0" borrows and one above "9" carries, but only into later bytes: the first
    // byte that is no digit is always flagged, and nothing before it is.
    const std::uint64_t t = v - 0x3030303030303030u;
    const std::uint64_t notDigit = (t | (t + 0x7676767676767676u)) & 0x8080808080808080u;
    return notDigit == 0 ? 8 : std::countr_zero(notDigit) / 8;
  }
  // The value of the first n (0 to 7) digits of the eight characters.
  static std::uint64_t digitsValue(std::uint64_t v, int n) {
    v = (v << (8 * (7 - n))) << 8;  // the digits to the top, zeros ahead of them (all zeros for none)
    v = ((v & 0x0F0F0F0F0F0F0F0Fu) * 2561) >> 8;
    v = ((v & 0x00FF00FF00FF00FFu) * 6553601) >> 16;
    return ((v & 0x0000FFFF0000FFFFu) * 42949672960001u) >> 32;
  }

  // Bit 7 of each byte that is a digit / equal to c; no carry crosses from one byte to the next.
  static std::uint64_t digitBytes(std::uint64_t v) {
    const std::uint64_t low = v & 0x7F7F7F7F7F7F7F7Fu;
    const std::uint64_t atLeastZero = low + 0x5050505050505050u;  // bit 7 set from "0" (0x30) on
    const std::uint64_t pastNine = low + 0x4646464646464646u;     // bit 7 set from ":" (0x3A) on
    return atLeastZero & ~pastNine & ~v & 0x8080808080808080u;
  }
  static std::uint64_t bytesEqualTo(std::uint64_t v, unsigned char c) {
    const std::uint64_t x = v ^ (0x0101010101010101u * c);
    return ~(((x & 0x7F7F7F7F7F7F7F7Fu) + 0x7F7F7F7F7F7F7F7Fu) | x) & 0x8080808080808080u;
  }

  // The usual number, at most seven digits and point after the sign, read from eight characters
  // at once. Scanning goes on from where the number ends, so that place is worked out from the
  // characters with as few steps as can be; the value is not needed to go on and is worked out
  // meanwhile. Few branches depend on the number's shape: it changes from word to word, and a
  // wrong guess costs about as much as reading the number.
  [[gnu::always_inline]] static const unsigned char* readCommonEightAtATime(const unsigned char* p, const unsigned char* end,
                                                     WordDigits& reading) {
    const std::uint64_t atSign = eightCharacters(p);
    const std::uint64_t pastSign = eightCharacters(p + 1);
    const bool negative = (atSign & 0xFF) == '-';
    const std::uint64_t characters = negative ? pastSign : atSign;
    const std::uint64_t points = bytesEqualTo(characters, '.');
    const std::uint64_t ends = ~digitBytes(characters) & ~points & 0x8080808080808080u;
    if (ends == 0) [[unlikely]] return readCommonInTwoRuns(p, end, reading);
    const int length = std::countr_zero(ends) / 8;  // digits and point
    const std::uint64_t pointsIn = points & ((std::uint64_t{1} << (8 * length)) - 1);
    if ((pointsIn & (pointsIn - 1)) != 0) return nullptr;  // a second point: "1.2.3"
    const bool point = pointsIn != 0;
    const unsigned char terminator = static_cast<unsigned char>(characters >> (8 * length));
    const unsigned char* after = p + negative + length + (terminator == ' ');
    // Taking the point out and moving the digits after it down a place leaves the digits of
    // both sides in a row.
    const std::uint64_t below = (pointsIn >> 7) - 1;  // the bytes before the point; all without one
    const std::uint64_t joined = (characters & below) | ((characters >> 8) & ~below);
    const int digits = length - point;
    const int fractionDigits = point ? length - 1 - std::countr_zero(pointsIn) / 8 : 0;
    while (after < end && *after == ' ') ++after;
    if (after == end || word_scan::kKindOf[*after] != word_scan::kOther) return nullptr;
    // The sign goes in as a bit: the magnitude is not negative.
    const auto sign = static_cast<std::uint64_t>(negative) << 63;
    const auto magnitude = static_cast<double>(digitsValue(joined, digits));
    reading = {std::bit_cast<double>(std::bit_cast<std::uint64_t>(magnitude) | sign), fractionDigits, point};
    return after;
  }

  // readCommon() for a number of eight or more characters: the integer digits, then those after
  // the point, in runs of eight characters.
  [[gnu::noinline]] static const unsigned char* readCommonInTwoRuns(const unsigned char* p, const unsigned char* end,
                                                                    WordDigits& reading) {
    const bool negative = *p == '-';
    p += negative;
    const std::uint64_t characters = eightCharacters(p);
    const int integerDigits = leadingDigits(characters);
    if (integerDigits == 8) return nullptr;
    const bool point = p[integerDigits] == '.';
    // Taking the point out and moving the digits after it down a place reads the digits on both
    // sides at once. The byte moved in at the top is no digit, so at most seven are found; with
    // seven the fraction may go on.
    const std::uint64_t below = ((std::uint64_t{1} << (8 * integerDigits)) - 1) | (std::uint64_t{point} - 1);
    const std::uint64_t joined = (characters & below) | ((characters >> 8) & ~below);
    const int digits = leadingDigits(joined);
    std::uint64_t mantissa;
    int fractionDigits;
    if (point && digits == 7) [[unlikely]] {
      p += integerDigits + 1;
      if (!readLongFraction(p, digitsValue(characters, integerDigits), mantissa, fractionDigits)) return nullptr;
    } else {
      mantissa = digitsValue(joined, digits);
      fractionDigits = point ? digits - integerDigits : 0;
      p += digits + point;
    }
    p += *p == ' ';  // the look-ahead leaves room: p is still short of `end`
    while (p < end && *p == ' ') ++p;
    if (p == end || word_scan::kKindOf[*p] != word_scan::kOther) return nullptr;
    // The sign goes in as a bit: the magnitude is not negative.
    const auto sign = static_cast<std::uint64_t>(negative) << 63;
    reading = {std::bit_cast<double>(std::bit_cast<std::uint64_t>(static_cast<double>(mantissa)) | sign), fractionDigits,
               point};
    return p;
  }

  // The digits after a point, eight characters at a time, appended to the integer digits: false
  // when there are eight or more of them.
  static bool readLongFraction(const unsigned char*& p, std::uint64_t integer, std::uint64_t& mantissa,
                               int& fractionDigits) {
    static constexpr std::uint64_t kPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
    const std::uint64_t fraction = eightCharacters(p);
    fractionDigits = leadingDigits(fraction);
    if (fractionDigits == 8) return false;
    mantissa = integer * kPowers[fractionDigits] + digitsValue(fraction, fractionDigits);
    p += fractionDigits;
    return true;
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
