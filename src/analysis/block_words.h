#pragma once
// What one NC block holds for the time estimate, read as a numerical control reads it: every
// word outside comments, G codes sorted into their modal groups, the end-of-program M codes.
// Small and of fixed size, so that blocks can be handed between threads in bulk.

#include <array>
#include <cstddef>
#include <cstdint>

namespace korvane {

// The addresses whose values the time estimate uses; other letters are read and passed over.
enum class Address : int { O, X, Y, Z, I, J, K, R, F, P, Q, L, S, U };
inline constexpr int kAddressCount = 14;

// A G code group with nothing written in the block.
inline constexpr std::uint8_t kNoCode = 0xFF;

// The modal and one-shot G code groups the estimate follows, and the codes of each:
enum class Group : int {
  Motion,    // 0-3, 73, 74, 76, 80-89
  Plane,     // 17-19
  Distance,  // 90, 91
  Units,     // 20, 21
  FeedMode,  // 94, 95
  Retract,   // 98, 99
  OneShot,   // 4, 10, 28, 30, 52, 53, 65, 92
};
inline constexpr int kGroupCount = 7;

struct alignas(16) BlockWords {
  enum Flag : std::uint8_t {
    kPercentOnly = 1,    // the block is exactly "%"
    kProgramEnd = 2,     // M30, M02 or M99 written
    kNumbered = 4,       // an O word (or a ":" label) begins the block
    kSubprogramEnd = 8,  // M99 written
    kCall = 16,          // M98 written
  };

  std::int64_t length = 0;   // characters, comments included
  std::uint16_t found = 0;   // bit per Address
  std::uint16_t points = 0;  // bit per Address: written with a decimal point
  std::uint8_t flags = 0;
  std::uint8_t pDigits = 0;  // digits written in the P word (a call's count and number share them)
  // The last code of each group written in the block, kNoCode where none was; one more entry
  // takes the G codes of no group, so that a code is put without asking which group it is in.
  std::array<std::uint8_t, kGroupCount + 1> codes = {kNoCode, kNoCode, kNoCode, kNoCode,
                                                     kNoCode, kNoCode, kNoCode, kNoCode};
  std::array<double, kAddressCount> numbers{};  // as written (X10. holds 10); the first one of an address counts

  bool has(Address a) const { return (found >> static_cast<int>(a)) & 1u; }
  bool hasPoint(Address a) const { return (points >> static_cast<int>(a)) & 1u; }
  double number(Address a) const { return numbers[static_cast<size_t>(a)]; }
  bool is(Flag f) const { return (flags & f) != 0; }
  std::uint8_t code(Group g) const { return codes[static_cast<size_t>(g)]; }
};

}  // namespace korvane
