#pragma once
// A received program on disk. Each line goes to the disk as soon as it is complete, so a crash
// or a power cut in the middle of a reception loses at most the line still arriving.

#include <QFile>
#include <QString>

namespace korvane {

class DurableLineFile {
 public:
  // Creates the file, or empties it if it exists. False with errorText() when that fails.
  bool open(const QString& path);
  bool isOpen() const { return file_.isOpen(); }
  // Writes the line and CR LF and flushes both to the disk. False with errorText() on failure.
  bool writeLine(const QString& line);
  void close();
  // The platform's description of the last failure, followed by CR LF and the path.
  QString errorText() const;

 private:
  QFile file_;
  QString syncError_;
};

}  // namespace korvane
