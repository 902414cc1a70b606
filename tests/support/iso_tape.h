#pragma once
// What a machine puts on the line for plain text in ISO tape code: each character with even
// parity in bit 8.
#include <QByteArray>

namespace korvane::test {

inline QByteArray iso(const QByteArray& text) {
  QByteArray out;
  for (const char c : text) {
    const auto b = quint8(c);
    out.append(char(__builtin_popcount(b) % 2 ? b | 0x80 : b));
  }
  return out;
}

}  // namespace korvane::test
