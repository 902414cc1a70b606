// Code page 932 text: the byte structure here, the table of the platform behind it
// (cp932_table.h). ASCII stays ASCII: the table of ICU's Shift_JIS swaps 0x1A, 0x1C and 0x7F
// (an IBM host convention) where Windows does not.
#include "settings/cp932_table.h"
#include "settings/ini_file.h"

namespace korvane {

namespace {

bool isLead(uchar c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool isTrail(uchar c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }
bool isHalfWidthKatakana(uchar c) { return c >= 0xA1 && c <= 0xDF; }

// What a byte that starts no character reads as: the substitute control character, so the
// fault stays visible where it was.
constexpr char16_t kSubstitute = 0x1A;
// What a character without a code is written as, besides the refusal: the code page's own
// substitute, as the ICU converter writes it.
constexpr char kUnmappable[] = "\xFC\xFC";

}  // namespace

QByteArray encodeCp932(const QString& text, bool* ok) {
  QByteArray bytes;
  bytes.reserve(text.size() * 2);
  bool all = true;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (c < 0x80) {
      bytes.append(static_cast<char>(c));
      continue;
    }
    char32_t codePoint = c;
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      codePoint = QChar::surrogateToUcs4(c, text[i + 1].unicode());
      ++i;
    } else if (QChar::isSurrogate(c)) {
      codePoint = 0;  // a lone half of a pair has no code anywhere
    }
    const QByteArray code = codePoint != 0 ? cp932::encodeCharacter(codePoint) : QByteArray();
    if (code.isEmpty()) {
      all = false;
      bytes.append(kUnmappable, 2);
    } else {
      bytes.append(code);
    }
  }
  if (ok) *ok = all;
  return bytes;
}

QString decodeCp932(const QByteArray& bytes) {
  QString text;
  text.reserve(bytes.size());
  const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
  const qsizetype size = bytes.size();
  for (qsizetype i = 0; i < size; ++i) {
    const uchar b = p[i];
    if (b < 0x80) {
      text.append(QChar(b));
    } else if (isHalfWidthKatakana(b)) {
      text.append(QChar(char16_t(0xFF61 + (b - 0xA1))));
    } else if (isLead(b)) {
      // A lead byte at the very end is half a character: it is left out, not guessed.
      if (i + 1 >= size) break;
      if (isTrail(p[i + 1])) {
        text.append(QChar(cp932::decodePair(b, p[i + 1])));
        ++i;
      } else {
        text.append(QChar(kSubstitute));  // the byte after it is read on its own
      }
    } else {
      text.append(QChar(kSubstitute));
    }
  }
  return text;
}

}  // namespace korvane
