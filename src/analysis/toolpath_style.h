#pragma once
// The colours of a toolpath, the same in the window, the PNG and the SVG: a colour per tool for
// the cuts (tools one after another get colours far apart), one colour for the rapids.

#include <cstdint>

namespace korvane::toolpath {

inline constexpr std::uint32_t kBackground = 0xFFFFFF;
inline constexpr std::uint32_t kRapidColour = 0xD0421B;  // thin and dashed
inline constexpr std::uint32_t kCentreLineColour = 0x6E6E6E;
inline constexpr std::uint32_t kGridColour = 0xE6E6E6;

inline std::uint32_t toolColour(int tool) {
  static constexpr std::uint32_t kColours[] = {0x1F5FBF, 0x1E8C3A, 0x8E3CC8, 0x0B8A93, 0xB8860B,
                                               0xC2185B, 0x3949AB, 0x558B2F, 0x6D4C41, 0x00838F};
  const int count = static_cast<int>(sizeof kColours / sizeof kColours[0]);
  return kColours[((tool % count) + count) % count];
}

}  // namespace korvane::toolpath
