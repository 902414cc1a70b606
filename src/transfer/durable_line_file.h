#pragma once
// A received program on disk. Each line goes to the disk as soon as it is complete, so a crash
// or a power cut in the middle of a reception loses at most the line still arriving. A write
// that fails part-way (a full disk) is cut back, so the file holds whole lines only.

#include <QByteArray>
#include <QString>

namespace korvane {

class DurableLineFile {
 public:
  DurableLineFile() = default;
  ~DurableLineFile() { close(); }
  DurableLineFile(const DurableLineFile&) = delete;
  DurableLineFile& operator=(const DurableLineFile&) = delete;

  // Creates the file, or empties it if it exists. False with errorText() when that fails.
  bool open(const QString& path);
  bool isOpen() const { return fd_ >= 0; }
  // The file last opened.
  const QString& path() const { return path_; }
  // Writes the line and CR LF and flushes both to the disk. False with errorText() on failure;
  // the file then ends with the last line that was written whole.
  bool writeLine(const QString& line);
  void close();
  // The system's reason for the last failure, followed by CR LF and the path.
  QString errorText() const;

 private:
  bool failed(int error);

  int fd_ = -1;
  QString path_;
  qint64 whole_ = 0;  // bytes of the lines written whole
  QString reason_;
};

// Writes bytes as the whole of the file at path (created, or emptied if it exists) and pushes them
// to the disk. Empty, or the system's reason; a file that could not be written whole is removed.
QString writeWholeFile(const QString& path, const QByteArray& bytes);

}  // namespace korvane
