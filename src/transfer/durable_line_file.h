#pragma once
// A received program on disk. Each line is written as soon as it is complete, so a crash of
// korvane (or a kill) in the middle of a reception loses at most the line still arriving. The
// lines are pushed to the disk itself a tenth of a second apart, when a reception pauses and
// when the file is closed, so a power cut loses at most the last moments of the line, while ten
// machines punching at once do not ask the disk for a thousand flushes a second. A write that
// fails part-way (a full disk) is cut back, so the file holds whole lines only.

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
  // Writes the line and CR LF, pushed to the disk with the lines before it when the last push
  // is a tenth of a second old. False with errorText() on failure; the file then ends with the
  // last line that was written whole.
  bool writeLine(const QString& line);
  // Pushes the lines written since the last push to the disk (a reception that pauses calls it).
  bool syncPending();
  // Pushes what is pending and closes. False with errorText() when the disk did not take it.
  bool close();
  // The system's reason for the last failure, followed by CR LF and the path.
  QString errorText() const;

 private:
  bool failed(int error);

  int fd_ = -1;
  QString path_;
  qint64 whole_ = 0;  // bytes of the lines written whole
  bool pending_ = false;  // lines written since the last push
  qint64 syncedAtMs_ = 0;
  QString reason_;
};

// Writes bytes as the whole of the file at path (created, or emptied if it exists) and pushes them
// to the disk. Empty, or the system's reason; a file that could not be written whole is removed.
QString writeWholeFile(const QString& path, const QByteArray& bytes);

}  // namespace korvane
