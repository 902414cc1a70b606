#pragma once
// Reads a program file one character at a time without loading it whole. A character is one
// byte, or one multi-byte character: a UTF-8 sequence, or a Shift-JIS (CP932) double-byte
// character, as files written on a Japanese Windows PC hold them.

#include <QFile>
#include <QString>

namespace korvane {

class ProgramReader {
 public:
  explicit ProgramReader(const QString& path) : file_(path) {}

  bool open() { return file_.open(QIODevice::ReadOnly); }
  QString errorString() const { return file_.errorString(); }
  qint64 size() const { return file_.size(); }
  qint64 position() const { return position_; }

  // The next character as text (empty for a byte that is no character at all) and how many
  // bytes it took; false at the end of the file.
  bool next(QString& character);

 private:
  bool fill(int wanted);

  QFile file_;
  QByteArray buffer_;
  qsizetype offset_ = 0;
  qint64 position_ = 0;
};

}  // namespace korvane
