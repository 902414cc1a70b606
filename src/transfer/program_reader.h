#pragma once
// Reads a program file one character at a time without loading it whole. A character is one
// byte, or one multi-byte character: a UTF-8 sequence, or a Shift-JIS (CP932) double-byte
// character, as files written on a Japanese Windows PC hold them.

#include <QFile>
#include <QString>
#include <optional>

namespace korvane {

// Bytes of the character that starts at p: 1 for ASCII and half-width katakana, 2 to 4 for a
// UTF-8 sequence or a Shift-JIS double-byte character; 0 when the byte starts no character
// (a lead byte without its second byte, 0x80, 0xA0, 0xFD to 0xFF).
int programCharacterLength(const uchar* p, qsizetype available);

struct InvalidByte {
  qint64 offset = 0;
  quint8 value = 0;
};

class ProgramReader {
 public:
  explicit ProgramReader(const QString& path) : file_(path) {}

  // False for a file that cannot be opened, and for one that is no regular file (a FIFO, a
  // device), which is not opened at all.
  bool open();
  QString errorString() const { return refusal_.isEmpty() ? file_.errorString() : refusal_; }
  qint64 size() const { return file_.size(); }
  qint64 position() const { return position_; }

  // The next character as text (empty for a byte that is no character at all) and how many
  // bytes it took; false at the end of the file.
  bool next(QString& character);

  // Reads the whole file from the start: the first byte that starts no character, if any.
  // False (with errorString) when the file cannot be read.
  bool findInvalidByte(std::optional<InvalidByte>* found);

 private:
  bool fill(int wanted);

  QFile file_;
  QString refusal_;
  QByteArray buffer_;
  qsizetype offset_ = 0;
  qint64 position_ = 0;
};

}  // namespace korvane
