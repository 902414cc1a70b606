#include <QStringDecoder>
#include <QStringEncoder>

#include "settings/cp932_table.h"

namespace korvane::cp932 {

char16_t decodePair(uchar lead, uchar trail) {
  const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  QStringDecoder decoder("Shift_JIS");
  const QString text = decoder.decode(QByteArrayView(bytes, 2));
  return text.size() == 1 && !decoder.hasError() ? text[0].unicode() : char16_t(0xFFFD);
}

QByteArray encodeCharacter(char32_t codePoint) {
  QStringEncoder encoder("Shift_JIS");
  const QByteArray bytes = encoder.encode(QString::fromUcs4(&codePoint, 1));
  return encoder.isValid() && !encoder.hasError() ? bytes : QByteArray();
}

}  // namespace korvane::cp932
