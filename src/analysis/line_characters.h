#pragma once
// Flags, for 64 characters at once, the ones a plain line is read by: the letters that may start
// a word the time estimate reads, and the characters that end a plain line (CR, LF, and every
// byte outside ASCII, which the character-by-character splitter then takes). With the flags a
// line's words are found without reading the characters between them.

#include <array>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace korvane::line_characters {

inline constexpr int kWidth = 64;

struct Flags {
  std::uint64_t letters = 0;   // G, O, X, Y, Z, I, J, R, F
  std::uint64_t lineEnds = 0;  // CR, LF, bytes from 0x80 on
};

inline constexpr std::array<bool, 256> kIsLetter = [] {
  std::array<bool, 256> table{};
  for (unsigned char c : {'G', 'O', 'X', 'Y', 'Z', 'I', 'J', 'R', 'F'}) table[c] = true;
  return table;
}();

inline constexpr bool endsPlainLine(unsigned char c) { return c == '\r' || c == '\n' || c >= 0x80; }

// After an LF that ended a block, the next character is held back (a lone last character of a
// record is dropped). When the two characters from p on are of one byte and neither CR nor LF,
// the next block is read just as at the start of a record.
inline bool blockGoesOnAfterLineFeed(const unsigned char* p) { return !endsPlainLine(p[0]) && !endsPlainLine(p[1]); }

// The flags of the 64 characters from p on (bit i for p[i]).
inline Flags flagsOf(const unsigned char* p) {
  Flags flags;
#if defined(__SSE2__)
  const auto is = [](__m128i v, char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
  for (int k = 0; k < kWidth / 16; ++k) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    const __m128i letters = _mm_or_si128(
        _mm_or_si128(_mm_or_si128(is(v, 'G'), is(v, 'X')), _mm_or_si128(is(v, 'Y'), is(v, 'Z'))),
        _mm_or_si128(_mm_or_si128(_mm_or_si128(is(v, 'I'), is(v, 'J')), _mm_or_si128(is(v, 'R'), is(v, 'F'))),
                     is(v, 'O')));
    const __m128i lineEnds = _mm_or_si128(_mm_or_si128(is(v, '\r'), is(v, '\n')), v);  // the top bit: from 0x80 on
    flags.letters |= static_cast<std::uint64_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(letters))) << (16 * k);
    flags.lineEnds |= static_cast<std::uint64_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(lineEnds))) << (16 * k);
  }
#else
  for (int i = 0; i < kWidth; ++i) {
    flags.letters |= static_cast<std::uint64_t>(kIsLetter[p[i]]) << i;
    flags.lineEnds |= static_cast<std::uint64_t>(endsPlainLine(p[i])) << i;
  }
#endif
  return flags;
}

}  // namespace korvane::line_characters
