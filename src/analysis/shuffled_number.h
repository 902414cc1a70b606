#pragma once
// The common number after an address read with byte shuffles: sixteen characters are classed at
// once, the digits moved into place around the point by one shuffle, and their value formed by
// two multiply-adds. Used where the words of a line are read independently of one another, so
// the number of steps per word, not their chain, is what counts.
//
// The shuffle and the byte multiply-add are SSSE3 instructions, beyond what every x86-64
// processor has: they are written as assembly, so that the rest of the build keeps to the base
// instruction set, and only run when inUse() says so.

#if defined(__x86_64__)
#define KORVANE_SHUFFLED_NUMBER 1

#include <array>
#include <atomic>
#include <bit>
#include <cstdint>
#include <emmintrin.h>

#include "analysis/common_number.h"

namespace korvane::shuffled_number {

// At most this many digits, and one point among them, are read by shuffling.
inline constexpr int kMostDigits = 8;

// For `length` characters of digits and point with the point at `point` (or none when point ==
// length): picks the digits, the last at byte 7, zeros before them.
struct ShuffleTable {
  alignas(16) std::array<std::array<std::array<std::uint8_t, 16>, kMostDigits + 2>, kMostDigits + 2> control{};
  constexpr ShuffleTable() {
    for (int length = 0; length <= kMostDigits + 1; ++length) {
      for (int point = 0; point <= length; ++point) {
        auto& c = control[static_cast<size_t>(length)][static_cast<size_t>(point)];
        for (auto& b : c) b = 0x80;  // a zero byte
        const int digits = length - (point < length);
        if (digits > kMostDigits) continue;
        for (int k = 0; k < digits; ++k) {
          c[static_cast<size_t>(kMostDigits - digits + k)] = static_cast<std::uint8_t>(k < point ? k : k + 1);
        }
      }
    }
  }
};
inline constexpr ShuffleTable kShuffle{};

// Whether numbers are read this way: when the processor has the instructions. Tests turn it off
// to check the other way on the same machine.
inline std::atomic<bool>& inUse() {
  static std::atomic<bool> use{__builtin_cpu_supports("ssse3") != 0};
  return use;
}

// pshufb: byte i of the result is byte control[i] of v, or 0 where control[i] has its top bit.
[[gnu::always_inline]] inline __m128i shuffleBytes(__m128i v, __m128i control) {
  asm("pshufb %1, %0" : "+x"(v) : "xm"(control));
  return v;
}

// pmaddubsw: each pair of unsigned bytes of v times the pair of signed bytes of `weights`, summed
// into 16 bits.
[[gnu::always_inline]] inline __m128i multiplyAddBytes(__m128i v, __m128i weights) {
  asm("pmaddubsw %1, %0" : "+x"(v) : "xm"(weights));
  return v;
}

// As WordScan::readCommon(), for numbers of at most kMostDigits digits and a point; nullptr also
// for a longer number, which readCommon() then reads. The 17 characters from p on are read.
[[gnu::always_inline]] inline const unsigned char* read(const unsigned char* p, const unsigned char* end,
                                                        WordDigits& reading) {
  const bool negative = *p == '-';
  const unsigned char* const digitsAt = p + negative;
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(digitsAt));
  const __m128i isDigit = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('0' - 1)), _mm_cmplt_epi8(v, _mm_set1_epi8('9' + 1)));
  const __m128i isPoint = _mm_cmpeq_epi8(v, _mm_set1_epi8('.'));
  const auto taken = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(isDigit, isPoint)));
  const int length = std::countr_zero(~taken);  // digits and points
  const unsigned points = static_cast<unsigned>(_mm_movemask_epi8(isPoint)) & ((1u << length) - 1);
  const bool hasPoint = points != 0;
  if ((points & (points - 1)) != 0 || length - hasPoint > kMostDigits) return nullptr;  // "1.2.3", or long
  const int point = std::countr_zero(points | (1u << length));  // `length` when there is none
  // The blank that usually follows is stepped over without a branch: whether there is one
  // changes from word to word.
  const unsigned char* const after =
      common_number::pastBlanksToWordEnd(digitsAt + length + (digitsAt[length] == ' '), end);
  const __m128i control =
      _mm_load_si128(reinterpret_cast<const __m128i*>(kShuffle.control[static_cast<size_t>(length)][static_cast<size_t>(point)].data()));
  __m128i digits = shuffleBytes(_mm_sub_epi8(v, _mm_set1_epi8('0')), control);
  digits = multiplyAddBytes(digits, _mm_set_epi8(1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10));
  digits = _mm_madd_epi16(digits, _mm_set_epi16(1, 100, 1, 100, 1, 100, 1, 100));
  const auto halves = static_cast<std::uint64_t>(_mm_cvtsi128_si64(digits));
  const std::uint64_t value = (halves & 0xFFFFFFFFu) * 10000 + (halves >> 32);
  // Worked out without a branch on whether there is a point: that changes from word to word too.
  if (after) reading = {common_number::withSign(static_cast<double>(value), negative), length - point - hasPoint, hasPoint};
  return after;
}

}  // namespace korvane::shuffled_number

#endif
