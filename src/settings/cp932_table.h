#pragma once
// The table of code page 932 beyond ASCII, from the platform: ICU through Qt where Qt has it,
// the system's own code page 932 on Windows (Qt without ICU knows no Shift-JIS there). The byte
// structure (lead and trail bytes, invalid bytes) is read in cp932.cpp, the same everywhere.

#include <QByteArray>
#include <QtGlobal>

namespace korvane::cp932 {

// The character of a double-byte code (a lead byte 0x81-0x9F or 0xE0-0xFC and a trail byte
// 0x40-0x7E or 0x80-0xFC), or U+FFFD when the code page does not assign one.
char16_t decodePair(uchar lead, uchar trail);
// The code of one character outside ASCII (a surrogate pair counts as one), without best-fit
// replacements; empty when the code page has none.
QByteArray encodeCharacter(char32_t codePoint);

}  // namespace korvane::cp932
