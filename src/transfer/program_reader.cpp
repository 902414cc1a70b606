#include "transfer/program_reader.h"

#include "settings/ini_file.h"

namespace korvane {

namespace {

constexpr qint64 kChunk = 64 * 1024;

int utf8Length(const uchar* p, qsizetype available) {
  const uchar b = p[0];
  int length = 0;
  if (b >= 0xC2 && b <= 0xDF) length = 2;
  else if (b >= 0xE0 && b <= 0xEF) length = 3;
  else if (b >= 0xF0 && b <= 0xF4) length = 4;
  if (length == 0 || length > available) return 0;
  for (int i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
  }
  return length;
}

bool isCp932Lead(uchar b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool isCp932Trail(uchar b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

}  // namespace

bool ProgramReader::fill(int wanted) {
  if (buffer_.size() - offset_ >= wanted) return true;
  buffer_ = buffer_.mid(offset_);
  offset_ = 0;
  const QByteArray more = file_.read(kChunk);
  buffer_ += more;
  return buffer_.size() >= wanted;
}

bool ProgramReader::next(QString& character) {
  if (!fill(1)) return false;
  fill(4);
  const auto* p = reinterpret_cast<const uchar*>(buffer_.constData() + offset_);
  const qsizetype available = buffer_.size() - offset_;
  int length = 1;
  if (p[0] < 0x80) {
    character = QChar(p[0]);
  } else if (const int u = utf8Length(p, available); u > 0) {
    length = u;
    character = QString::fromUtf8(reinterpret_cast<const char*>(p), u);
  } else if (available >= 2 && isCp932Lead(p[0]) && isCp932Trail(p[1])) {
    length = 2;
    character = decodeCp932(QByteArray(reinterpret_cast<const char*>(p), 2));
  } else {
    character = decodeCp932(QByteArray(reinterpret_cast<const char*>(p), 1));
  }
  offset_ += length;
  position_ += length;
  return true;
}

}  // namespace korvane
