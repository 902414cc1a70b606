#include "transfer/program_reader.h"

#include "platform/desktop/regular_file.h"

#include <algorithm>

#include "settings/ini_file.h"

namespace korvane {

namespace {

constexpr qint64 kChunk = 64 * 1024;
constexpr int kLongestCharacter = 4;

bool isHalfWidthKatakana(uchar b) { return b >= 0xA1 && b <= 0xDF; }

}  // namespace

int programCharacterLength(const uchar* p, qsizetype available) {
  if (available <= 0) return 0;
  if (p[0] < 0x80) return 1;
  if (const int u = utf8SequenceLength(p, available); u > 0) return u;
  if (isCp932DoubleByte(p, available)) return 2;
  return isHalfWidthKatakana(p[0]) ? 1 : 0;
}

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
  fill(kLongestCharacter);
  const auto* p = reinterpret_cast<const uchar*>(buffer_.constData() + offset_);
  const qsizetype available = buffer_.size() - offset_;
  const int length = std::max(programCharacterLength(p, available), 1);
  if (p[0] < 0x80) {
    character = QChar(p[0]);
  } else if (length > 1 && utf8SequenceLength(p, available) == length) {
    character = QString::fromUtf8(reinterpret_cast<const char*>(p), length);
  } else {
    character = decodeCp932(QByteArray(reinterpret_cast<const char*>(p), length));
  }
  offset_ += length;
  position_ += length;
  return true;
}

bool ProgramReader::open() {
  refusal_ = regularFileProblem(file_.fileName());
  return refusal_.isEmpty() && file_.open(QIODevice::ReadOnly);
}

bool ProgramReader::findInvalidByte(std::optional<InvalidByte>* found) {
  found->reset();
  if (!file_.seek(0)) return false;
  QByteArray data;
  qint64 base = 0;  // file offset of data[0]
  for (;;) {
    const QByteArray chunk = file_.read(kChunk);
    if (chunk.isEmpty() && file_.error() != QFileDevice::NoError) return false;
    const bool atEnd = chunk.isEmpty() || file_.atEnd();
    data += chunk;
    // Short of the end, the last bytes wait for the next chunk, so no character is judged cut.
    const qsizetype decided = atEnd ? data.size() : data.size() - (kLongestCharacter - 1);
    const auto* p = reinterpret_cast<const uchar*>(data.constData());
    qsizetype i = 0;
    while (i < decided) {
      const int length = programCharacterLength(p + i, data.size() - i);
      if (length == 0) {
        *found = InvalidByte{base + i, p[i]};
        break;
      }
      i += length;
    }
    if (*found || atEnd) break;
    data.remove(0, i);
    base += i;
  }
  file_.seek(0);
  buffer_.clear();
  offset_ = 0;
  position_ = 0;
  return true;
}

}  // namespace korvane
