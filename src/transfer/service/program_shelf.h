#pragma once
// Where the service puts what a machine punches: one file per program, named after its program
// number as a reception into a folder names it. A program already stored under that name is
// never lost: it is kept as a numbered backup, the newest with the highest number, before the
// new one takes the name. A tape that did not end is kept under a name that says so.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace korvane {

struct ShelvedProgram {
  QString program;  // "O1234", or empty for a program without a number
  QString path;
  QString backup;   // where the program that had this name went, if there was one
  qint64 bytes = 0;
};

class ProgramShelf {
 public:
  // extension as programExtension() gives it for the file filter, e.g. ".nc".
  ProgramShelf(QString folder, QString extension);

  const QString& folder() const { return folder_; }
  // The file a tape of this machine is written into, line by line, while it arrives.
  QString receivingPath(int slot) const;

  // Stores the programs of a complete tape: a new one starts at each block that begins with a
  // program number; blocks before the first number belong to the first program, blocks after a
  // program end to that program, so nothing of the tape is left out. The "%" lines are the
  // tape's frame: each file gets its own. On a failure, *failure says why and what was stored
  // before it is in the result.
  QList<ShelvedProgram> storeTape(const QStringList& lines, const QDateTime& now, QString* failure) const;

  // Renames the receiving file of a tape that did not end to "<program>-incomplete-<date>"
  // (program "O1234", or "unnumbered"), never to the program's own name. The new path, or empty
  // with *failure.
  QString keepIncomplete(const QString& receivingPath, const QString& program, const QDateTime& now,
                         QString* failure) const;

  // The program number of the first block that begins with one, as "O1234"; empty if none.
  static QString firstProgramNumber(const QStringList& lines);

 private:
  bool writeProgram(const QStringList& lines, const QString& name, ShelvedProgram* shelved, QString* failure) const;
  // name, or name with "-2", "-3"... before the extension when it is taken.
  QString freeName(const QString& stem) const;

  QString folder_;
  QString extension_;
};

// The backup name the program at path would be kept under: path + ".N", N one more than the
// highest backup there is.
QString nextBackupPath(const QString& path);

}  // namespace korvane
