#pragma once
// Lines of the combined work data and the tests the conversion makes on them.
//
// A line runs to the next LF; CR and the end-of-file mark (26) are dropped. The very last byte
// of the data (the LF of its final CR LF) is never read: reaching it ends the data, and the line
// read up to there comes back marked as the last one. So the last real line carries the end
// mark, and a read at the end gives an empty line that carries it too.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

#include "analysis/block_words.h"

namespace korvane {

struct DncLine {
  QByteArrayView bytes;  // the line's text as stored, valid until the next read
  bool last = false;     // the end of the data was reached with this line
};

class DncLineReader {
 public:
  explicit DncLineReader(QByteArrayView data) : data_(data) {}

  // Reads the line that starts at position (a byte offset) and moves position to the next one.
  DncLine read(qint64& position);

  qint64 size() const { return data_.size(); }

 private:
  QByteArrayView data_;
  QByteArray scratch_;
};

// The text of one line as the conversion looks at it: searches and address words go by
// characters, so the second byte of a Shift-JIS character (which can be an ASCII letter or digit)
// never counts as "M", "O" or "P". Pure ASCII lines, the usual case, are searched as bytes.
class DncLineText {
 public:
  explicit DncLineText(QByteArrayView bytes);

  // The line's words as a control reads them: comments hold none, the second byte of a
  // Shift-JIS character is no letter.
  const BlockWords& words() const;
  // The program number of an O word that begins the line, else 0.
  double programNumber() const;
  // The line decoded for showing in a list.
  const QString& text() const;

 private:
  QByteArrayView bytes_;
  bool ascii_ = true;
  mutable bool read_ = false;
  mutable BlockWords words_;
  mutable bool decoded_ = false;
  mutable QString text_;
};

// Decodes NC text byte for byte: ASCII as is, a valid UTF-8 sequence as its character, else a
// Shift-JIS (CP932) double-byte or single-byte character.
QString decodeNcText(QByteArrayView bytes);

}  // namespace korvane
