#include "transfer/program_reader.h"

#include "settings/ini_file.h"

namespace korvane {

namespace {

constexpr qint64 kChunk = 64 * 1024;

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
  } else if (const int u = utf8SequenceLength(p, available); u > 0) {
    length = u;
    character = QString::fromUtf8(reinterpret_cast<const char*>(p), u);
  } else if (isCp932DoubleByte(p, available)) {
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
