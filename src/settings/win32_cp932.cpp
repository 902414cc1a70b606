#include <windows.h>

#include "settings/cp932_table.h"

namespace korvane::cp932 {

namespace {
constexpr UINT kCodePage = 932;
}  // namespace

char16_t decodePair(uchar lead, uchar trail) {
  const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  wchar_t out[2] = {};
  const int n = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes, 2, out, 2);
  return n == 1 ? static_cast<char16_t>(out[0]) : char16_t(0xFFFD);
}

QByteArray encodeCharacter(char32_t codePoint) {
  wchar_t in[2];
  int length = 1;
  if (codePoint > 0xFFFF) {
    in[0] = static_cast<wchar_t>(0xD800 + ((codePoint - 0x10000) >> 10));
    in[1] = static_cast<wchar_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
    length = 2;
  } else {
    in[0] = static_cast<wchar_t>(codePoint);
  }
  char out[8] = {};
  BOOL usedDefault = FALSE;
  const int n = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, in, length, out, sizeof out, nullptr, &usedDefault);
  if (n <= 0 || usedDefault) return {};
  return QByteArray(out, n);
}

}  // namespace korvane::cp932
