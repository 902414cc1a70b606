#pragma once
// How many bytes the character at p takes in NC text: a UTF-8 sequence or a Shift-JIS (CP932)
// double-byte character counts as one character, as the send engine counts them; any other
// byte is one.

#include <cstddef>

namespace korvane {

inline int ncCharacterLength(const unsigned char* p, std::ptrdiff_t available) {
  const unsigned char b = p[0];
  int utf8 = 0;
  if (b >= 0xC2 && b <= 0xDF) utf8 = 2;
  else if (b >= 0xE0 && b <= 0xEF) utf8 = 3;
  else if (b >= 0xF0 && b <= 0xF4) utf8 = 4;
  if (utf8 > 0 && utf8 <= available) {
    int i = 1;
    while (i < utf8 && (p[i] & 0xC0) == 0x80) ++i;
    if (i == utf8) return utf8;
  }
  const bool cp932Lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
  if (cp932Lead && available >= 2 && p[1] >= 0x40 && p[1] <= 0xFC && p[1] != 0x7F) return 2;
  return 1;
}

}  // namespace korvane
