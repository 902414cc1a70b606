#include "analysis/block_scanner.h"

#include <bit>
#include <cstring>
#include <optional>

#include "analysis/shuffled_number.h"

namespace korvane {

namespace {

// What a character means to a block outside of a word being read. Digits pass: only a "G"
// makes the "0", "90" or "91" after it matter, so the scan stops at the "G" and looks ahead.
enum Role : std::uint8_t { kPass, kEnd, kG, kWordLetter };

constexpr std::array<std::uint8_t, 256> kRole = [] {
  std::array<std::uint8_t, 256> table{};
  for (int c = 0x80; c < 0x100; ++c) table[static_cast<size_t>(c)] = kEnd;
  table['\r'] = kEnd;
  table['\n'] = kEnd;
  table['G'] = kG;
  for (unsigned char c : {'O', 'X', 'Y', 'Z', 'I', 'J', 'R', 'F'}) table[c] = kWordLetter;
  return table;
}();

constexpr std::array<std::int8_t, 256> kLetterWord = [] {
  std::array<std::int8_t, 256> table{};
  table.fill(-1);
  table['O'] = static_cast<std::int8_t>(BlockWord::O);
  table['X'] = static_cast<std::int8_t>(BlockWord::X);
  table['Y'] = static_cast<std::int8_t>(BlockWord::Y);
  table['Z'] = static_cast<std::int8_t>(BlockWord::Z);
  table['I'] = static_cast<std::int8_t>(BlockWord::I);
  table['J'] = static_cast<std::int8_t>(BlockWord::J);
  table['R'] = static_cast<std::int8_t>(BlockWord::R);
  table['F'] = static_cast<std::int8_t>(BlockWord::F);
  return table;
}();

constexpr int kG0 = static_cast<int>(BlockWord::G0);

#ifdef KORVANE_SHUFFLED_NUMBER
// A number that the shuffling reader leaves: read by WordScan::readCommon(), or nothing for a
// shape that only the character-by-character reading takes. Out of line, so that the common
// path keeps its reading in registers.
[[gnu::noinline]] std::optional<WordReading> readLessCommonNumber(const unsigned char* p, const unsigned char* end) {
  WordDigits digits;
  if (!WordScan::readCommon(p, end, digits)) return std::nullopt;
  return digits.reading();
}
#endif

// Reads the number at p into `reading`; false for a shape that only the character-by-character
// reading takes.
template <bool kShuffled>
[[gnu::always_inline]] inline bool readNumber(const unsigned char* p, const unsigned char* end, WordReading& reading) {
#ifdef KORVANE_SHUFFLED_NUMBER
  if constexpr (kShuffled) {
    WordDigits digits;
    if (shuffled_number::read(p, end, digits)) [[likely]] {
      reading = digits.reading();
      return true;
    }
    const auto other = readLessCommonNumber(p, end);
    if (other) reading = *other;
    return other.has_value();
  }
#endif
  WordDigits digits;
  if (!WordScan::readCommon(p, end, digits)) return false;
  reading = digits.reading();
  return true;
}

}  // namespace

void BlockScanner::keepHead(const unsigned char* p, const unsigned char* end) {
  for (std::int64_t i = words_.length; i < static_cast<std::int64_t>(words_.head.size()) && p < end; ++i) {
    words_.head[static_cast<size_t>(i)] = *p++;
  }
}

void BlockScanner::add(unsigned char c) {
  if (c == kOtherCharacter) {
    // Not part of any word, and no address or "G90" goes through it.
    keepHead(&c, &c + 1);
    ++words_.length;
    finish();
    beforePrevious_ = previous_;
    previous_ = c;
    return;
  }
  add(&c, &c + 1);
}

// Inlined into the scan: most words are read here, and a call per word costs about as much as
// reading its number.
[[gnu::always_inline]] inline const unsigned char* BlockScanner::readWordAt(int word, const unsigned char* p,
                                                                            const unsigned char* end) {
  const auto bit = static_cast<std::uint16_t>(1u << word);
  if (words_.found & bit) return p;
  words_.found = static_cast<std::uint16_t>(words_.found | bit);
  WordDigits reading;
  if (const unsigned char* after = WordScan::readCommon(p, end, reading)) [[likely]] {
    words_.set(word, reading);
    return after;
  }
  return readUncommonWord(word, p, end);
}

[[gnu::noinline]] const unsigned char* BlockScanner::readUncommonWord(int word, const unsigned char* p,
                                                                      const unsigned char* end) {
  WordScan scan;  // a local scan stays in registers
  p = scan.feed(p, end);
  if (p == end) {
    scan_ = scan;
    active_ = word;
  } else {
    words_.set(word, scan.reading());
  }
  return p;
}

const unsigned char* BlockScanner::continueAfterG(const unsigned char* p, const unsigned char* end) {
  if (previous_ == 'G') {
    if (*p == '0') return readWordAt(kG0, p, end);  // the number of "G0" starts at its "0"
    if (*p == '9' && end - p >= 2) {
      if (p[1] == '0') words_.g90 = true;
      if (p[1] == '1') words_.g91 = true;
    }
  } else if (beforePrevious_ == 'G' && previous_ == '9') {
    if (*p == '0') words_.g90 = true;
    if (*p == '1') words_.g91 = true;
  }
  return p;
}

const unsigned char* BlockScanner::add(const unsigned char* p, const unsigned char* end) {
  const unsigned char* const start = p;
  if (active_ >= 0) {
    p = scan_.feed(p, end);
    if (p != end) {
      words_.set(active_, scan_.reading());
      active_ = -1;
    }
  } else if ((previous_ == 'G' || previous_ == '9') && p < end && kRole[*p] != kEnd) {
    // Characters that a word took are digits, blanks, signs and points, never a "G"; so a "G"
    // or "G9" at the end of the block so far is only ever waiting for this span's first ones.
    p = continueAfterG(p, end);
  }
  while (p < end) {
    while (p < end && kRole[*p] == kPass) ++p;
    if (p == end) break;
    const unsigned char c = *p;
    const std::uint8_t role = kRole[c];
    if (role == kEnd) break;
    ++p;
    if (role == kWordLetter) {
      p = readWordAt(kLetterWord[c], p, end);  // the number starts after the letter
      continue;
    }
    // A "G": what follows may lie in the next span, which continueAfterG() then completes.
    if (p == end) break;
    if (*p == '0') {
      p = readWordAt(kG0, p, end);
    } else if (*p == '9' && end - p >= 2) {
      if (p[1] == '0') words_.g90 = true;
      if (p[1] == '1') words_.g91 = true;
    }
  }
  if (p != start) {
    // The two characters before p: from the span itself, or from the block before the span.
    const auto before = [&](std::ptrdiff_t back) -> unsigned char {
      const std::ptrdiff_t inSpan = p - start;
      if (back <= inSpan) return p[-back];
      return back - inSpan == 1 ? previous_ : beforePrevious_;
    };
    beforePrevious_ = before(2);
    previous_ = before(1);
    // Only the first characters of a block are kept; bytes past its end mean nothing there.
    if (words_.length == 0 && end - start >= static_cast<std::ptrdiff_t>(words_.head.size())) {
      std::memcpy(words_.head.data(), start, words_.head.size());
    } else if (words_.length < static_cast<std::int64_t>(words_.head.size())) {
      keepHead(start, p);
    }
    words_.length += p - start;
  }
  return p;
}

template <bool kShuffled>
[[gnu::always_inline]] inline bool BlockScanner::readPlainLineWith(const unsigned char* start, int length,
                                                                   std::uint64_t letters, const unsigned char* end) {
  // The letters come from the flags, not from where the number before them ended: each word is
  // read on its own. A number of the common shape never holds a letter, so no flagged letter
  // lies inside one, just as the character-by-character scan never meets one there.
  std::uint16_t found = 0;
  std::uint16_t points = 0;
  bool g90 = false;
  bool g91 = false;
  while (letters != 0) {
    const unsigned char* const at = start + std::countr_zero(letters);
    letters &= letters - 1;
    const unsigned char c = *at;
    int word = kLetterWord[c];
    if (c == 'G') {
      g90 |= at[1] == '9' && at[2] == '0';
      g91 |= at[1] == '9' && at[2] == '1';
      if (at[1] != '0') continue;
      word = kG0;  // its number starts at the "0"
    }
    const auto bit = static_cast<std::uint16_t>(1u << word);
    if (found & bit) continue;
    found = static_cast<std::uint16_t>(found | bit);
    WordReading reading;
    if (!readNumber<kShuffled>(at + 1, end, reading)) [[unlikely]] {
      reset();
      return false;
    }
    words_.numbers[static_cast<size_t>(word)] = reading.number;
    points = static_cast<std::uint16_t>(points | (unsigned{reading.decimalPoint} << word));
  }
  words_.found = found;
  words_.points = points;
  words_.g90 = g90;
  words_.g91 = g91;
  // As add() does: an empty line keeps the head it had.
  if (length > 0) std::memcpy(words_.head.data(), start, words_.head.size());
  words_.length = length;
  return true;
}

bool BlockScanner::readPlainLine(const unsigned char* start, int length, std::uint64_t letters,
                                 const unsigned char* end) {
#ifdef KORVANE_SHUFFLED_NUMBER
  if (shuffled_number::inUse().load(std::memory_order_relaxed)) return readPlainLineWith<true>(start, length, letters, end);
#endif
  return readPlainLineWith<false>(start, length, letters, end);
}

}  // namespace korvane
