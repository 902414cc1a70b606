#pragma once
// The combined work data of a DNC conversion: every file of the list, record by record, each
// record ended by CR LF. It lives in a private temporary file in TMPDIR (readable only by the
// user; where the system allows, a file without a name that vanishes with the process; otherwise
// removed with this object), so a huge list costs no memory and no user file is touched. For
// reading it is mapped into memory, which gives the expansion cheap jumps back to a
// subprogram's start.

#include <QByteArrayView>
#include <QStringList>
#include <QTemporaryFile>
#include <memory>

namespace korvane {

class DncWorkData {
 public:
  DncWorkData();
  ~DncWorkData();
  DncWorkData(const DncWorkData&) = delete;
  DncWorkData& operator=(const DncWorkData&) = delete;

  // Builds the data from the files in list order. On failure (a list file that cannot be read,
  // the work file that cannot be written) returns false with a message for the operator and
  // keeps no work file.
  bool build(const QStringList& files, QString* error);

  QByteArrayView bytes() const { return bytes_; }

 private:
  bool appendFile(const QString& path, QString* error);
  bool writeOut(QByteArrayView chunk);
  QString workWriteFailure() const;
  void discard();

  std::unique_ptr<QTemporaryFile> file_;
  QString writeError_;  // the system's reason when writing the work file failed
  QByteArray pending_;
  QByteArrayView bytes_;
  uchar* mapped_ = nullptr;
  QByteArray fallback_;
};

// Cuts a file's bytes into records the way the list files are read: a record ends at CR LF or
// at a lone CR; a bare LF stays inside its record; a last record without a line end counts when
// it is not empty. Appends each record followed by CR LF to out. Feed the file in pieces; call
// finish() after the last piece.
class RecordJoiner {
 public:
  void feed(QByteArrayView piece, QByteArray& out);
  void finish(QByteArray& out);

 private:
  bool afterCr_ = false;
  bool recordOpen_ = false;
};

}  // namespace korvane
