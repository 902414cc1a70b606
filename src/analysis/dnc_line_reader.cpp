#include "analysis/dnc_line_reader.h"

#include <cstring>
#include <string_view>

#include "analysis/block_scanner.h"
#include "settings/ini_file.h"

namespace korvane {

namespace {

bool isDropped(char c) { return c == '\r' || c == '\x1a'; }


}  // namespace

DncLine DncLineReader::read(qint64& position) {
  // The last byte is never read: a position on it (or beyond) is the end of the data.
  const qint64 limit = data_.size() - 1;
  if (position >= limit) return {QByteArrayView(), true};
  const char* start = data_.data() + position;
  const auto* lf = static_cast<const char*>(std::memchr(start, '\n', static_cast<size_t>(limit - position)));
  const char* stop = lf ? lf : data_.data() + limit;
  position = lf ? (lf - data_.data()) + 1 : limit;

  QByteArrayView raw(start, stop - start);
  // Usually the only byte to drop is the CR just before the LF.
  while (!raw.isEmpty() && isDropped(raw.back())) raw.chop(1);
  if (std::memchr(raw.data(), '\r', static_cast<size_t>(raw.size())) == nullptr &&
      std::memchr(raw.data(), '\x1a', static_cast<size_t>(raw.size())) == nullptr) {
    return {raw, lf == nullptr};
  }
  scratch_.resize(0);
  for (char c : raw) {
    if (!isDropped(c)) scratch_.append(c);
  }
  return {QByteArrayView(scratch_), lf == nullptr};
}

DncLineText::DncLineText(QByteArrayView bytes) : bytes_(bytes) {
  for (char c : bytes) {
    if (static_cast<uchar>(c) >= 0x80) {
      ascii_ = false;
      break;
    }
  }
}

const BlockWords& DncLineText::words() const {
  if (!read_) {
    words_ = readBlockWords(bytes_);
    read_ = true;
  }
  return words_;
}

double DncLineText::programNumber() const {
  const BlockWords& w = words();
  return w.is(BlockWords::kNumbered) && w.has(Address::O) ? w.number(Address::O) : 0.0;
}

const QString& DncLineText::text() const {
  if (!decoded_) {
    text_ = ascii_ ? QString::fromLatin1(bytes_) : decodeNcText(bytes_);
    decoded_ = true;
  }
  return text_;
}

QString decodeNcText(QByteArrayView bytes) {
  QString text;
  text.reserve(bytes.size());
  const auto* p = reinterpret_cast<const uchar*>(bytes.data());
  const auto* const end = p + bytes.size();
  while (p < end) {
    const qsizetype available = end - p;
    if (p[0] < 0x80) {
      text.append(QChar(p[0]));
      ++p;
    } else if (const int u = utf8SequenceLength(p, available); u > 0) {
      text.append(QString::fromUtf8(reinterpret_cast<const char*>(p), u));
      p += u;
    } else if (isCp932DoubleByte(p, available)) {
      text.append(decodeCp932(QByteArray(reinterpret_cast<const char*>(p), 2)));
      p += 2;
    } else {
      text.append(decodeCp932(QByteArray(reinterpret_cast<const char*>(p), 1)));
      ++p;
    }
  }
  return text;
}

}  // namespace korvane
