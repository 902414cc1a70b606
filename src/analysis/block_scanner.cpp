#include "analysis/block_scanner.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "analysis/nc_character.h"

namespace korvane {

namespace {

// What a character means between words.
enum Kind : std::uint8_t { kIgnored, kLetter, kDigit, kPoint, kSign, kBlank, kOpen, kClose, kSemicolon, kStop, kMacroSign };

constexpr std::array<std::uint8_t, 256> kKind = [] {
  std::array<std::uint8_t, 256> table{};
  for (int c = 'A'; c <= 'Z'; ++c) table[static_cast<size_t>(c)] = kLetter;
  for (int c = 'a'; c <= 'z'; ++c) table[static_cast<size_t>(c)] = kLetter;
  table[':'] = kLetter;  // a program number label, read as O
  for (int c = '0'; c <= '9'; ++c) table[static_cast<size_t>(c)] = kDigit;
  table['.'] = kPoint;
  table['+'] = kSign;
  table['-'] = kSign;
  table[' '] = kBlank;
  table['\t'] = kBlank;
  table['('] = kOpen;
  table[')'] = kClose;
  table[';'] = kSemicolon;
  // A variable or an expression: the block's values are not what they seem.
  table['#'] = kMacroSign;
  table['['] = kMacroSign;
  table['\r'] = kStop;
  table['\n'] = kStop;
  for (int c = 0x80; c < 0x100; ++c) table[static_cast<size_t>(c)] = kStop;
  return table;
}();

// What a word's letter writes: an Address, a G or an M code, or nothing the estimate reads.
constexpr std::uint8_t kGWord = kAddressCount;
constexpr std::uint8_t kMWord = kAddressCount + 1;
constexpr std::uint8_t kOtherWord = kAddressCount + 2;
// P and T: addresses whose digits as written count too, rare enough to be read aside.
constexpr std::uint8_t kCountedWord = kAddressCount + 3;

constexpr std::array<std::uint8_t, 256> kWordOf = [] {
  std::array<std::uint8_t, 256> table{};
  table.fill(kOtherWord);
  const auto put = [&table](char upper, std::uint8_t word) {
    table[static_cast<unsigned char>(upper)] = word;
    table[static_cast<unsigned char>(upper - 'A' + 'a')] = word;
  };
  const auto address = [](Address a) { return static_cast<std::uint8_t>(a); };
  put('O', address(Address::O));
  put('X', address(Address::X));
  put('Y', address(Address::Y));
  put('Z', address(Address::Z));
  put('I', address(Address::I));
  put('J', address(Address::J));
  put('K', address(Address::K));
  put('R', address(Address::R));
  put('F', address(Address::F));
  put('P', kCountedWord);
  put('Q', address(Address::Q));
  put('L', address(Address::L));
  put('S', address(Address::S));
  put('U', address(Address::U));
  put('W', address(Address::W));
  put('T', kCountedWord);
  put('D', address(Address::D));
  put('H', address(Address::H));
  put('N', address(Address::N));
  put('G', kGWord);
  put('M', kMWord);
  table[':'] = address(Address::O);
  return table;
}();

// The group of each G code the estimate follows; kGroupCount (the spare entry) for the others.
constexpr std::array<std::uint8_t, 256> kGroupOf = [] {
  std::array<std::uint8_t, 256> table{};
  table.fill(kGroupCount);
  const auto put = [&table](Group g, std::initializer_list<int> codes) {
    for (int code : codes) table[static_cast<size_t>(code)] = static_cast<std::uint8_t>(g);
  };
  put(Group::Motion, {0, 1, 2, 3, 32, 70, 71, 72, 73, 74, 75, 76, 80, 81, 82, 83, 84, 85, 86, 87, 88, 89});
  put(Group::Plane, {17, 18, 19});
  put(Group::Distance, {90, 91});
  put(Group::Units, {20, 21});
  put(Group::FeedMode, {94, 95});
  put(Group::Retract, {98, 99});
  // One-shot codes; G10, G52, G65 and G66 carry axis words as data, not as a move, and so does G50
  // (a lathe's coordinate system or spindle limit; a mill's scaling off).
  put(Group::OneShot, {4, 10, 28, 30, 50, 52, 53, 65, 66, 92});
  put(Group::WorkOffset, {54, 55, 56, 57, 58, 59, kExtraWorkOffsetCode});
  put(Group::CutterComp, {40, 41, 42});
  put(Group::LengthComp, {43, 44, 49});
  put(Group::SpindleMode, {96, 97});
  return table;
}();

// What an M code tells of the program's end and of calls.
constexpr std::array<std::uint8_t, 256> kFlagsOfM = [] {
  std::array<std::uint8_t, 256> table{};
  table[2] = BlockWords::kProgramEnd;
  table[30] = BlockWords::kProgramEnd;
  table[99] = BlockWords::kProgramEnd | BlockWords::kSubprogramEnd;
  table[98] = BlockWords::kCall;
  return table;
}();

// What an M code switches: the spindle, the tool, the coolant.
constexpr std::array<std::uint16_t, 16> kMCodeBits = {0, 0, 0, kSpindleForward, kSpindleReverse, kSpindleStop,
                                                      kToolChange, kMistCoolant, kFloodCoolant, kCoolantOff};

constexpr std::array<double, 23> kPowersOfTen = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                                 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

inline double powerOfTen(int n) {
  if (n < static_cast<int>(kPowersOfTen.size())) [[likely]] return kPowersOfTen[static_cast<size_t>(n)];
  double p = kPowersOfTen.back();
  for (int i = static_cast<int>(kPowersOfTen.size()) - 1; i < n; ++i) p *= 10;
  return p;
}

constexpr std::uint64_t kMantissaLimit = 100'000'000'000'000'000ULL;  // 1e17: one more digit still fits

constexpr std::array<std::uint64_t, 9> kWholePowersOfTen = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// The digits from q on, eight characters at a time: their count, with q moved past them and
// their value appended to `mantissa`. Reads up to eight bytes past the last digit. How many
// digits a number has is read from a mask rather than found by a loop that stops at a branch
// no processor can foresee.
inline int readDigits(const unsigned char*& q, std::uint64_t& mantissa) {
  int count = 0;
  for (;;) {
    std::uint64_t x;
    std::memcpy(&x, q, sizeof x);
    const std::uint64_t t = x - 0x3030303030303030ULL;  // a digit's byte becomes its value
    const std::uint64_t notDigit = (t | (t + 0x7676767676767676ULL)) & 0x8080808080808080ULL;
    const int n = notDigit == 0 ? 8 : std::countr_zero(notDigit) / 8;
    if (n == 0) return count;
    // The n digits at the top, zeros before them; then pairs, fours and eights are combined,
    // each by one multiplication that adds the higher part times its weight to the lower.
    std::uint64_t v = t << (8 * (8 - n));
    v = (v * (1 + (10 << 8))) >> 8;
    v = ((v & 0x00FF00FF00FF00FFULL) * (1 + (100 << 16))) >> 16;
    v = ((v & 0x0000FFFF0000FFFFULL) * (1 + (10000ULL << 32))) >> 32;
    mantissa = mantissa * kWholePowersOfTen[static_cast<size_t>(n)] + v;
    q += n;
    count += n;
    if (n < 8 || count > 17) return count;
  }
}

// The value of the n digits (at most eight) whose values are the low bytes of t: they are moved
// to the top, zeros before them, then pairs, fours and eights are combined, each by one
// multiplication that adds the higher part times its weight to the lower.
inline std::uint64_t digitsValue(std::uint64_t t, int n) {
  std::uint64_t v = (t << ((8 * (8 - n)) & 63)) & (0 - static_cast<std::uint64_t>(n != 0));
  v = (v * (1 + (10 << 8))) >> 8;
  v = ((v & 0x00FF00FF00FF00FFULL) * (1 + (100 << 16))) >> 16;
  return ((v & 0x0000FFFF0000FFFFULL) * (1 + (10000ULL << 32))) >> 32;
}

// Where a byte of t (a character less '0') is no digit, its top bit.
inline std::uint64_t notDigits(std::uint64_t t) { return (t | (t + 0x7676767676767676ULL)) & 0x8080808080808080ULL; }

// A number of at most seven characters besides its sign, digits and perhaps a point, with a
// character that is neither after it, from the eight bytes from q on at once: true, with q moved
// past it. False, with nothing changed, for a longer number.
inline bool shortNumber(const unsigned char*& q, std::uint64_t& mantissa, int& digits, bool& point,
                        int& fractionDigits) {
  std::uint64_t x;
  std::memcpy(&x, q, sizeof x);
  const std::uint64_t t = x - 0x3030303030303030ULL;  // a digit's byte becomes its value
  const int whole = std::countr_zero(notDigits(t)) / 8;  // 8 when all are digits
  if (whole == 8) return false;
  if (q[whole] != '.') {
    mantissa = digitsValue(t, whole);
    digits = whole;
    point = false;
    fractionDigits = 0;
    q += whole;
    return true;
  }
  // The characters after the point moved down over it (before the subtraction, whose borrow
  // from the point would take one off the next digit); the top byte, left empty, made no digit.
  const std::uint64_t below = (std::uint64_t{1} << (8 * whole)) - 1;  // whole is at most 7
  const std::uint64_t joined = ((x & below) | ((x >> 8) & ~below) | 0xFF00000000000000ULL) - 0x3030303030303030ULL;
  const int all = std::countr_zero(notDigits(joined)) / 8;
  if (all == 7) return false;  // the eighth byte is a digit too: more may follow
  mantissa = digitsValue(joined, all);
  digits = all;
  point = true;
  fractionDigits = all - whole;
  q += all + 1;
  return true;
}

// A double with its sign turned when `negative`, without a branch on a sign that is as often
// one as the other.
inline double withSign(double value, bool negative) {
  return std::bit_cast<double>(std::bit_cast<std::uint64_t>(value) ^ (static_cast<std::uint64_t>(negative) << 63));
}

}  // namespace

void BlockScanner::endWord() {
  state_ = State::Between;
  const Number& n = number_;
  const int index = wordCount_++;
  if (n.digits == 0) return;  // a letter without a number ("X", "X#1", "X[...]") writes nothing
  putWord(n.letter, n.value, n.digits, index);
}

void BlockScanner::takeCode(bool gCode, const WordNumber& n) {
  // Read as a whole number: a code with a fraction (G43.4, G81.1) is none of those the estimate
  // follows, and a G or M word needs no division.
  if ((n.negative && n.mantissa != 0) || n.droppedIntegerDigits > 0 || n.fractionDigits > 18) return;
  std::uint64_t whole = n.mantissa;
  if (n.fractionDigits > 0) [[unlikely]] {
    const auto unit = static_cast<std::uint64_t>(kPowersOfTen[static_cast<size_t>(n.fractionDigits)]);
    if (whole % unit != 0) {
      if (gCode && n.fractionDigits == 1 && whole == 541) words_->codes[static_cast<size_t>(Group::WorkOffset)] = kExtraWorkOffsetCode;
      return;
    }
    whole /= unit;
  }
  if (whole > 255) return;
  // A G code of no group goes to the spare entry; an M code that tells nothing adds no flag.
  if (gCode) {
    words_->codes[kGroupOf[whole]] = static_cast<std::uint8_t>(whole);
  } else {
    words_->flags |= kFlagsOfM[whole];
    if (whole < kMCodeBits.size() && kMCodeBits[whole] != 0) {
      words_->mCodes = static_cast<std::uint16_t>(words_->mCodes | kMCodeBits[whole]);
      words_->flags |= BlockWords::kRareWords;
    }
  }
}

// Inlined into the loop over a line's words, which it would otherwise cost a call a word.
[[gnu::always_inline]] inline bool BlockScanner::keepNumber(unsigned word, const WordNumber& n) {
  const std::uint32_t bit = 1u << word;
  if (words_->found & bit) [[unlikely]] return false;  // the first word of an address counts
  words_->found |= bit;
  words_->points |= static_cast<std::uint32_t>(n.point) << word;
  // Only the words kept are worked out: a division takes about as long as reading the digits.
  // The mantissa stays below 2^63: converted as a signed number, with no test for the top bit.
  double value = static_cast<double>(static_cast<std::int64_t>(n.mantissa));
  if (n.droppedIntegerDigits > 0) [[unlikely]] value *= powerOfTen(n.droppedIntegerDigits);
  if (n.fractionDigits > 0) value /= powerOfTen(n.fractionDigits);
  words_->numbers[word] = withSign(value, n.negative);
  return true;
}

void BlockScanner::takeRareWord(unsigned char letter, const WordNumber& n, int digits) {
  const unsigned lower = letter | 0x20u;
  if (lower == 'p' || lower == 't') {
    // The digits as written tell a call's count from its number (P) and a tool from its offset (T).
    const unsigned word = static_cast<unsigned>(lower == 'p' ? Address::P : Address::T);
    if (!keepNumber(word, n)) return;
    (lower == 'p' ? words_->pDigits : words_->tDigits) = static_cast<std::uint8_t>(std::min(digits, 255));
    if (lower == 't') words_->flags |= BlockWords::kRareWords;
  } else if (lower >= 'a' && lower <= 'c') {
    words_->flags |= BlockWords::kRotaryAxis;
  }
}

[[gnu::always_inline]] inline void BlockScanner::putWord(unsigned char letter, const WordNumber& n, int digits,
                                                         int index) {
  const unsigned word = kWordOf[letter];
  if (word >= kAddressCount) {
    if (word <= kMWord) {
      takeCode(word == kGWord, n);
    } else [[unlikely]] {
      takeRareWord(letter, n, digits);
    }
    return;
  }
  if (word == static_cast<unsigned>(Address::O) && index == 0) words_->flags |= BlockWords::kNumbered;
  keepNumber(word, n);
}

bool BlockScanner::readPlainLine(const unsigned char* start, int length) {
  const unsigned char* p = start;
  const unsigned char* const e = start + length;
  int index = 0;
  while (p < e) {
    const std::uint8_t kind = kKind[*p++];
    if (kind == kLetter) [[likely]] {
      const unsigned char letter = p[-1];
      // The line ends at a CR or LF, which no number reads past.
      const unsigned char* q = p;
      const bool negative = *q == '-';
      q += *q == '-' || *q == '+';
      std::uint64_t mantissa = 0;
      int digits;
      bool point;
      int fractionDigits = 0;
      if (!shortNumber(q, mantissa, digits, point, fractionDigits)) [[unlikely]] {
        digits = readDigits(q, mantissa);
        point = *q == '.';
        if (point) {
          ++q;
          fractionDigits = readDigits(q, mantissa);
          digits += fractionDigits;
        }
        if (digits > 17) {
          reset(words_);  // fresh again, where it is
          return false;
        }
      }
      // A blank may still lead on to more of the number: that is the other reading's to take.
      // Otherwise the blanks after the word are passed over once, here.
      // (The CR or LF that ends the line is no blank, and no part of a number.)
      const unsigned char* next = q;
      while (kKind[*next] == kBlank) ++next;
      if (next != q) {
        const std::uint8_t after = kKind[*next];
        if (after == kDigit || after == kPoint || (after == kSign && q == p)) {
          reset(words_);  // fresh again, where it is
          return false;
        }
      }
      if (digits > 0) putWord(letter, {negative, point, fractionDigits, 0, mantissa}, digits, index);
      ++index;
      p = next;
    } else if (kind == kOpen) {
      while (p < e && *p != ')') ++p;
      p += p < e;
    } else if (kind == kSemicolon) {
      p = e;
    } else if (kind == kMacroSign) {
      words_->flags |= BlockWords::kMacro | BlockWords::kRareWords;
    }
  }
  words_->length = length;
  if (length == 1 && *start == '%') words_->flags |= BlockWords::kPercentOnly;
  return true;
}

void BlockScanner::finish() {
  if (state_ == State::Number) endWord();
  state_ = State::Between;
}

void BlockScanner::add(unsigned char c) {
  if (c == kOtherCharacter) {
    ++words_->length;
    words_->flags &= static_cast<std::uint8_t>(~BlockWords::kPercentOnly);
    // Inside a comment it is comment text; elsewhere it ends a word and starts none.
    if (state_ == State::Number) endWord();
    return;
  }
  add(&c, &c + 1);
}

const unsigned char* BlockScanner::add(const unsigned char* p, const unsigned char* end) {
  const unsigned char* const start = p;
  State state = state_;
  while (p < end) {
    const unsigned char c = *p;
    const std::uint8_t kind = kKind[c];
    if (kind == kStop) break;
    switch (state) {
      case State::Between:
        if (kind == kLetter) {
          number_ = Number{};
          number_.letter = c;
          state = State::Number;
        } else if (kind == kOpen) {
          state = State::Comment;
        } else if (kind == kSemicolon) {
          state = State::LineComment;
        } else if (kind == kMacroSign) {
          words_->flags |= BlockWords::kMacro | BlockWords::kRareWords;
        }
        ++p;
        break;
      case State::Number: {
        Number& n = number_;
        WordNumber& v = n.value;
        if (kind == kDigit) {
          if (v.mantissa < kMantissaLimit) {
            v.mantissa = v.mantissa * 10 + static_cast<unsigned>(c - '0');
            v.fractionDigits += v.point;
          } else if (!v.point) {
            ++v.droppedIntegerDigits;  // past 18 digits only the magnitude is kept
          }
          ++n.digits;
          n.signOrDigitSeen = true;
          ++p;
        } else if (kind == kBlank) {
          ++p;
        } else if (kind == kPoint && !v.point) {
          v.point = true;
          n.signOrDigitSeen = true;
          ++p;
        } else if (kind == kSign && !n.signOrDigitSeen) {
          v.negative = c == '-';
          n.signOrDigitSeen = true;
          ++p;
        } else {
          state_ = state;
          endWord();  // the character is read again between words
          state = State::Between;
        }
        break;
      }
      case State::Comment:
        if (kind == kClose) state = State::Between;
        ++p;
        break;
      case State::LineComment:
        ++p;
        break;
    }
  }
  state_ = state;
  if (p != start) {
    if (words_->length == 0) {
      if (*start == '%') words_->flags |= BlockWords::kPercentOnly;
    }
    words_->length += p - start;
    if (words_->length != 1) words_->flags &= static_cast<std::uint8_t>(~BlockWords::kPercentOnly);
  }
  return p;
}

BlockWords readBlockWords(QByteArrayView line) {
  BlockScanner scanner;
  const auto* p = reinterpret_cast<const unsigned char*>(line.data());
  const auto* const end = p + line.size();
  while (p < end) {
    p = scanner.add(p, end);
    if (p == end) break;
    // A character outside ASCII is one character, whatever bytes it takes; a CR or LF is taken
    // as the blank it is to the words.
    if (*p < 0x80) {
      scanner.add(static_cast<unsigned char>(' '));
      ++p;
    } else {
      p += ncCharacterLength(p, end - p);
      scanner.add(kOtherCharacter);
    }
  }
  scanner.finish();
  return scanner.words();
}

}  // namespace korvane
