#pragma once
// Machining time, cutting length and tape length of NC programs, one result row per program end.
// Files are streamed through a fixed buffer: memory stays the same whatever their size.

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "analysis/block_scanner.h"
#include "analysis/machining_state.h"

namespace korvane {

class MachiningTimeCalculator {
 public:
  static constexpr qsizetype kDefaultBufferSize = 256 * 1024;
  static constexpr qsizetype kMinimumBufferSize = 8;  // room for a whole multi-byte character

  explicit MachiningTimeCalculator(MachiningState::RowHandler onRow, qsizetype bufferSize = kDefaultBufferSize);

  // Measures one file, shown under its last path component. False when it cannot be opened or
  // read; `error` then holds the system's description (rows of programs that ended before a
  // read error have been handed on already).
  bool computeFile(const QString& path, QString* error);

  // Measures a program held in memory as if it were a file called `displayName`.
  void computeBytes(const QString& displayName, QByteArrayView program);

 private:
  void startFile(const QString& displayName);
  // Reads through `read` (bytes read, 0 at the end, negative on an error) to the end; the
  // negative status of a failed read, else 0.
  qint64 stream(const std::function<qint64(unsigned char*, qint64)>& read);
  // Handles the bytes in [p, end); returns where it stopped: before an incomplete multi-byte
  // character at the end of the buffer, unless `atEnd`.
  const unsigned char* process(const unsigned char* p, const unsigned char* end, bool atEnd);
  void character(unsigned char c);
  void endRecord();
  void endBlock();

  MachiningState state_;
  BlockScanner block_;
  std::vector<unsigned char> buffer_;

  // Records end at CR LF or a lone CR; an LF inside a record ends a block. After such an LF
  // the rest of the record is only read when it holds more than one character.
  enum class Remainder : unsigned char { None, Empty, OneCharacter };
  bool recordOpen_ = false;
  bool afterCr_ = false;
  Remainder remainder_ = Remainder::None;
  unsigned char heldCharacter_ = 0;
};

// What a run of kakou_time hands on: each row as soon as it exists (the result window appends
// it), and the file that could not be read, which ends the run.
struct MachiningSink {
  std::function<void(const MachiningRow&)> row;
  std::function<void(const QString& displayName, const QString& error)> unreadable;
};

// Measures the files in the given order. Stops at the first file that cannot be opened or read
// and returns false after telling the sink; true when every file was measured.
bool kakou_time(const QStringList& paths, const MachiningSink& sink);

// The message shown for a file that cannot be read: its name, a line break, the reason.
QString unreadableFileMessage(const QString& displayName, const QString& error);

// The name a result row shows for a path: its last component.
QString displayNameOf(const QString& path);

}  // namespace korvane
