#pragma once
// The characters that end a plain line: CR, LF, and every byte outside ASCII, which the
// character-by-character splitter takes one at a time.

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace korvane::line_characters {

inline constexpr int kWidth = 64;

inline constexpr bool endsPlainLine(unsigned char c) { return c == '\r' || c == '\n' || c >= 0x80; }

// After an LF that ended a block, the next character is held back (a lone last character of a
// record is dropped). When the two characters from p on are of one byte and neither CR nor LF,
// the next block is read just as at the start of a record.
inline bool blockGoesOnAfterLineFeed(const unsigned char* p) { return !endsPlainLine(p[0]) && !endsPlainLine(p[1]); }

// Bit i set where p[i] ends a plain line, for the 64 characters from p on.
inline std::uint64_t lineEndsOf(const unsigned char* p) {
  std::uint64_t ends = 0;
#if defined(__SSE2__)
  for (int k = 0; k < kWidth / 16; ++k) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))),
                                      v);  // the top bit: from 0x80 on
    ends |= static_cast<std::uint64_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(hits))) << (16 * k);
  }
#else
  for (int i = 0; i < kWidth; ++i) ends |= static_cast<std::uint64_t>(endsPlainLine(p[i])) << i;
#endif
  return ends;
}

}  // namespace korvane::line_characters
