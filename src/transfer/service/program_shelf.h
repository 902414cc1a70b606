#pragma once
// Where the service puts what a machine punches: one file per program, named after its program
// number as a reception into a folder names it. A program already stored under that name is
// never lost: it is kept as a numbered backup, the newest with the highest number, before the
// new one takes the name. A tape that did not end, or that could not be stored, is kept under a
// name that says so.

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

// The file operations of the shelf that a full disk or a name taken by something else can make
// fail, so a test can put such a disk behind them. The real ones by default.
class ShelfDisk {
 public:
  virtual ~ShelfDisk() = default;
  static const ShelfDisk& system();

  // The whole of a new file on the disk, or the system's reason (nothing left at path then).
  virtual QString writeFile(const QString& path, const QByteArray& bytes) const;
  // Renames, never over anything that is at `to`. Empty, or the system's reason.
  virtual QString rename(const QString& from, const QString& to) const;
  // Anything at path: a file, a folder, a link that leads nowhere.
  virtual bool exists(const QString& path) const;
  virtual void remove(const QString& path) const;
};

class ProgramShelf {
 public:
  // extension as programExtension() gives it for the file filter, e.g. ".nc".
  ProgramShelf(QString folder, QString extension, const ShelfDisk& disk = ShelfDisk::system());

  const QString& folder() const { return folder_; }
  // The file a tape of this machine is written into, line by line, while it arrives.
  QString receivingPath(int slot) const;
  // receivingPath, or, while a tape that could not be given its own name still lies there, a
  // name beside it, so that the next tape never overwrites that one.
  QString freeReceivingPath(int slot) const;
  // Every receiving file of this machine there is, as a service that ended without a word left them.
  QStringList leftoverReceivingPaths(int slot) const;

  // Stores the programs of a complete tape: a new one starts at each block that begins with a
  // program number; blocks before the first number belong to the first program, blocks after a
  // program end to that program, so nothing of the tape is left out. The "%" lines are the
  // tape's frame: each file gets its own. On a failure, *failure says why, *unstored names the
  // program that could not be stored ("O1234", or empty), and what was stored before it is in
  // the result.
  QList<ShelvedProgram> storeTape(const QStringList& lines, const QDateTime& now, QString* failure,
                                  QString* unstored = nullptr) const;

  // Renames the receiving file of a tape that did not end to "<program>-incomplete-<date>"
  // (program "O1234", or "unnumbered"), never to the program's own name. The new path, or empty
  // with *failure.
  QString keepIncomplete(const QString& receivingPath, const QString& program, const QDateTime& now,
                         QString* failure) const {
    return keepAside(receivingPath, program, QStringLiteral("incomplete"), now, failure);
  }
  // The same for a complete tape the disk did not take: "<program>-unstored-<date>".
  QString keepUnstored(const QString& receivingPath, const QString& program, const QDateTime& now,
                       QString* failure) const {
    return keepAside(receivingPath, program, QStringLiteral("unstored"), now, failure);
  }

  // The program number of the first block that begins with one, as "O1234"; empty if none.
  static QString firstProgramNumber(const QStringList& lines);

 private:
  bool writeProgram(const QStringList& lines, const QString& name, ShelvedProgram* shelved, QString* failure) const;
  QString keepAside(const QString& receivingPath, const QString& program, const QString& why, const QDateTime& now,
                    QString* failure) const;
  // name, or name with "-2", "-3"... before the extension when it is taken.
  QString freeName(const QString& stem) const;

  QString folder_;
  QString extension_;
  const ShelfDisk& disk_;
};

// The backup name the program at path would be kept under: path + ".N", N one more than the
// highest backup there is, or the next number after it that nothing has taken.
QString nextBackupPath(const QString& path);

}  // namespace korvane
