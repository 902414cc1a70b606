#include "transfer/machine/program_store.h"

#include <QDir>

namespace korvane {

namespace {
constexpr char kDc2 = 0x12;
constexpr char kDc4 = 0x14;
}  // namespace

bool ProgramStore::prepare(QString* error) {
  if (QDir().mkpath(folder_)) return true;
  if (error) *error = QStringLiteral("cannot create %1").arg(folder_);
  return false;
}

std::optional<QString> ProgramStore::store(const ReceivedProgram& program, QString* error) {
  QString base = program.fileName();
  base.chop(3);  // ".nc"
  if (!program.complete) base += QStringLiteral("-incomplete");
  QString name = base + QStringLiteral(".nc");
  for (int n = 2; used_.contains(name); ++n) name = QStringLiteral("%1-%2.nc").arg(base).arg(n);
  used_.insert(name);
  const QString path = QDir(folder_).filePath(name);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(program.text().toLatin1()) < 0) {
    if (error) *error = QStringLiteral("%1: %2").arg(path, file.errorString());
    return std::nullopt;
  }
  return path;
}

void RawCapture::feed(const QByteArray& bytes) {
  QByteArray piece;
  for (const char c : bytes) {
    if (c == kDc2 && filled_) {
      if (!piece.isEmpty()) sink_(index_, piece);
      piece.clear();
      ++index_;
      filled_ = false;
    }
    piece += c;
    filled_ = true;
    if (c == kDc4) {
      sink_(index_, piece);
      piece.clear();
      ++index_;
      filled_ = false;
    }
  }
  if (!piece.isEmpty()) sink_(index_, piece);
}

QString RawFileWriter::pathOf(int index) const {
  return QDir(folder_).filePath(QStringLiteral("raw-%1.bin").arg(index));
}

void RawFileWriter::append(int index, const QByteArray& bytes) {
  if (index != openIndex_ || !file_) {
    file_ = std::make_unique<QFile>(pathOf(index));
    // A new session starts its transmissions afresh; the bytes of one transmission accumulate.
    if (!file_->open(QIODevice::WriteOnly | (index == openIndex_ ? QIODevice::Append : QIODevice::Truncate))) {
      file_.reset();
      return;
    }
    openIndex_ = index;
  }
  file_->write(bytes);
  file_->flush();
}

}  // namespace korvane
