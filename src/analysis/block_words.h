#pragma once
// What one NC block holds for the reading of a program: every word outside comments, G codes
// sorted into their modal groups, the M codes that end a program, call one, change the tool or
// switch the spindle and coolant. Small and of fixed size, so that blocks can be handed between
// threads in bulk.

#include <array>
#include <cstddef>
#include <cstdint>

namespace korvane {

// The addresses whose values the reading uses; other letters are read and passed over.
enum class Address : int { O, X, Y, Z, I, J, K, R, F, P, Q, L, S, U, W, T, D, H, N };
inline constexpr int kAddressCount = 19;

// A G code group with nothing written in the block.
inline constexpr std::uint8_t kNoCode = 0xFF;
// G54.1 (and Haas' G154): the extra work offsets, numbered by P.
inline constexpr std::uint8_t kExtraWorkOffsetCode = 154;

// The modal and one-shot G code groups the reading follows, and the codes of each. A lathe
// reads some of them as codes of its own (G90, G92 and G94 are its single cycles, G98 and G99
// its feed per minute and per revolution).
// The groups that set a mode come first, so that one look at eight bytes tells whether a block
// sets any: most set none.
enum class Group : int {
  Plane,        // 17-19
  Distance,     // 90, 91
  Units,        // 20, 21
  FeedMode,     // 94, 95
  Retract,      // 98, 99
  WorkOffset,   // 54-59, and 154 for G54.1 (and Haas' G154) with its P
  CutterComp,   // 40-42
  LengthComp,   // 43, 44, 49
  Motion,       // 0-3, 32, 70-76, 80-89
  OneShot,      // 4, 10, 28, 30, 50, 52, 53, 65, 66, 92
  SpindleMode,  // 96, 97
};
inline constexpr int kGroupCount = 11;

// The M codes a block may carry that change what the machine does next, one bit each.
enum MCode : std::uint16_t {
  kSpindleForward = 1,   // M03
  kSpindleReverse = 2,   // M04
  kSpindleStop = 4,      // M05
  kToolChange = 8,       // M06
  kMistCoolant = 16,     // M07
  kFloodCoolant = 32,    // M08
  kCoolantOff = 64,      // M09
};

struct alignas(16) BlockWords {
  enum Flag : std::uint8_t {
    kPercentOnly = 1,    // the block is exactly "%"
    kProgramEnd = 2,     // M30, M02 or M99 written
    kNumbered = 4,       // an O word (or a ":" label) begins the block
    kSubprogramEnd = 8,  // M99 written
    kCall = 16,          // M98 written
    kMacro = 32,         // "#" or "[" outside comments: a variable or an expression
    kRareWords = 64,     // a T word, an M code of MCode or a macro: one test finds them all
    kRotaryAxis = 128,   // an A, B or C word: an axis the reading does not follow
  };

  std::int64_t length = 0;   // characters, comments included
  std::uint32_t found = 0;   // bit per Address
  std::uint32_t points = 0;  // bit per Address: written with a decimal point
  std::uint8_t flags = 0;
  std::uint8_t pDigits = 0;  // digits written in the P word (a call's count and number share them)
  std::uint8_t tDigits = 0;  // digits written in the T word (which of them name the tool)
  std::uint8_t unused = 0;
  std::uint16_t mCodes = 0;  // MCode bits
  // The last code of each group written in the block, kNoCode where none was; one more entry
  // takes the G codes of no group, so that a code is put without asking which group it is in.
  std::array<std::uint8_t, 16> codes = {kNoCode, kNoCode, kNoCode, kNoCode, kNoCode, kNoCode, kNoCode, kNoCode,
                                        kNoCode, kNoCode, kNoCode, kNoCode, kNoCode, kNoCode, kNoCode, kNoCode};
  std::array<double, kAddressCount> numbers{};  // as written (X10. holds 10); the first one of an address counts

  bool has(Address a) const { return (found >> static_cast<int>(a)) & 1u; }
  bool hasPoint(Address a) const { return (points >> static_cast<int>(a)) & 1u; }
  double number(Address a) const { return numbers[static_cast<size_t>(a)]; }
  bool is(Flag f) const { return (flags & f) != 0; }
  bool hasM(MCode m) const { return (mCodes & m) != 0; }
  std::uint8_t code(Group g) const { return codes[static_cast<size_t>(g)]; }
};
static_assert(kGroupCount + 1 <= 16);

// The bit of an address in BlockWords::found and points.
constexpr std::uint32_t bitOf(Address a) { return 1u << static_cast<int>(a); }

}  // namespace korvane
