#include "transfer/service/program_shelf.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <mutex>

#include "platform/desktop/file_system.h"
#include "transfer/durable_line_file.h"
#include "transfer/receive_engine.h"

namespace korvane {

namespace {

QString dateText(const QDateTime& now) { return now.toString(QStringLiteral("yyyyMMdd-HHmmss")); }

bool isFrame(const QString& line) { return line.trimmed() == QLatin1String("%"); }

bool anythingAt(const QString& path) {
  const QFileInfo info(path);
  return info.exists() || info.isSymLink();
}

// A rename that fails because something took the backup's name in the meantime is tried again
// with the next number, this many times.
constexpr int kBackupAttempts = 10;

}  // namespace

const ShelfDisk& ShelfDisk::system() {
  static const ShelfDisk disk;
  return disk;
}

QString ShelfDisk::writeFile(const QString& path, const QByteArray& bytes) const { return writeWholeFile(path, bytes); }

QString ShelfDisk::rename(const QString& from, const QString& to) const { return renameFile(from, to, false); }

bool ShelfDisk::exists(const QString& path) const { return anythingAt(path); }

void ShelfDisk::remove(const QString& path) const { QFile::remove(path); }

QString nextBackupPath(const QString& path) {
  const QFileInfo info(path);
  const QRegularExpression numbered(QStringLiteral("^") + QRegularExpression::escape(info.fileName()) +
                                    QStringLiteral("\\.(\\d{1,18})$"));
  qint64 highest = 0;
  for (const QString& name : info.dir().entryList(QDir::AllEntries | QDir::Hidden | QDir::System)) {
    if (const auto match = numbered.match(name); match.hasMatch())
      highest = std::max(highest, match.captured(1).toLongLong());
  }
  // Whatever holds the next number (a folder, a link that leads nowhere) keeps it.
  qint64 next = highest + 1;
  while (anythingAt(path + QLatin1Char('.') + QString::number(next))) ++next;
  return path + QLatin1Char('.') + QString::number(next);
}

ProgramShelf::ProgramShelf(QString folder, QString extension, const ShelfDisk& disk)
    : folder_(std::move(folder)), extension_(std::move(extension)), disk_(disk) {}

QString ProgramShelf::receivingPath(int slot) const {
  return QDir(folder_).filePath(QStringLiteral("receiving-com%1.part").arg(slot));
}

QString ProgramShelf::freeReceivingPath(int slot) const {
  QString path = receivingPath(slot);
  for (int n = 2; disk_.exists(path); ++n)
    path = QDir(folder_).filePath(QStringLiteral("receiving-com%1-%2.part").arg(slot).arg(n));
  return path;
}

QStringList ProgramShelf::leftoverReceivingPaths(int slot) const {
  const QRegularExpression mine(QStringLiteral("^receiving-com%1(-\\d+)?\\.part$").arg(slot));
  QStringList paths;
  for (const QString& name : QDir(folder_).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name)) {
    if (mine.match(name).hasMatch()) paths << QDir(folder_).filePath(name);
  }
  return paths;
}

QString ProgramShelf::firstProgramNumber(const QStringList& lines) {
  for (const QString& line : lines) {
    if (startsWithProgramNumber(line)) return programFileName(line, QString());
  }
  return QString();
}

QString ProgramShelf::freeName(const QString& stem) const {
  const QDir dir(folder_);
  QString name = stem + extension_;
  for (int n = 2; disk_.exists(dir.filePath(name)); ++n) name = stem + QStringLiteral("-%1").arg(n) + extension_;
  return name;
}

bool ProgramShelf::writeProgram(const QStringList& lines, const QString& name, ShelvedProgram* shelved,
                                QString* failure) const {
  const QString path = QDir(folder_).filePath(name);
  QByteArray bytes = "%\r\n";
  for (const QString& line : lines) bytes += line.toLatin1() + "\r\n";
  bytes += "%\r\n";
  // Written beside the old program first: the old one gives up its name only once the new one
  // is on the disk whole.
  // A short hidden name, so that a name that just fits the file system still can be stored, and
  // one per process: stores in one are one at a time.
  const QString storing =
      QDir(folder_).filePath(QStringLiteral(".korvane-storing-%1").arg(QCoreApplication::applicationPid()));
  disk_.remove(storing);  // left by a store that was cut short; never written through a link
  if (const QString reason = disk_.writeFile(storing, bytes); !reason.isEmpty()) {
    *failure = reason + QStringLiteral("\r\n") + path;
    return false;
  }
  if (disk_.exists(path)) {
    QString backup;
    QString reason;
    for (int attempt = 0; attempt < kBackupAttempts; ++attempt) {
      backup = nextBackupPath(path);
      reason = disk_.rename(path, backup);
      if (reason.isEmpty() || !disk_.exists(backup)) break;
    }
    if (!reason.isEmpty()) {
      disk_.remove(storing);
      *failure = QStringLiteral("前のプログラムを控えに改名できません: %1\r\n%2 -> %3").arg(reason, path, backup);
      return false;
    }
    shelved->backup = backup;
  }
  if (const QString reason = disk_.rename(storing, path); !reason.isEmpty()) {
    // The new program is not there; the old one goes back under its name.
    if (!shelved->backup.isEmpty()) disk_.rename(shelved->backup, path);
    shelved->backup.clear();
    disk_.remove(storing);
    *failure = reason + QStringLiteral("\r\n") + path;
    return false;
  }
  shelved->path = path;
  shelved->bytes = bytes.size();
  return true;
}

QList<ShelvedProgram> ProgramShelf::storeTape(const QStringList& lines, const QDateTime& now, QString* failure,
                                              QString* unstored) const {
  // Machines that share a folder store one at a time, so two copies of one program arriving
  // together each find the backup number the other has not taken.
  static std::mutex storing;
  const std::lock_guard lock(storing);
  // The tape without its frame and the blank lines around it.
  qsizetype first = 0;
  qsizetype last = lines.size();
  while (first < last && (isFrame(lines[first]) || lines[first].trimmed().isEmpty())) ++first;
  while (last > first && (isFrame(lines[last - 1]) || lines[last - 1].trimmed().isEmpty())) --last;

  QList<QStringList> programs;
  bool numbered = false;  // the program being collected has its number already
  for (qsizetype i = first; i < last; ++i) {
    const QString& line = lines[i];
    if (isFrame(line)) continue;
    const bool starts = startsWithProgramNumber(line);
    if (programs.isEmpty() || (starts && numbered)) {
      programs.append(QStringList());
      numbered = false;
    }
    programs.last().append(line);
    numbered = numbered || starts;
  }

  QList<ShelvedProgram> stored;
  for (const QStringList& program : programs) {
    ShelvedProgram shelved;
    shelved.program = firstProgramNumber(program);
    QString name;
    if (shelved.program.isEmpty()) {
      name = freeName(QStringLiteral("unnumbered-") + dateText(now));
    } else {
      const QString wanted = shelved.program + extension_;
      name = fittingProgramFileName(folder_, wanted, now);
    }
    if (!writeProgram(program, name, &shelved, failure)) {
      if (unstored) *unstored = shelved.program;
      return stored;
    }
    stored.append(shelved);
  }
  return stored;
}

QString ProgramShelf::keepAside(const QString& receivingPath, const QString& program, const QString& why,
                                const QDateTime& now, QString* failure) const {
  const QString tail = QStringLiteral("-") + why + QStringLiteral("-") + dateText(now);
  QString number = program.isEmpty() ? QStringLiteral("unnumbered") : program;
  // A number too long for a file name keeps its first digits, as a stored program does.
  if (!fileNameFits(folder_, number + tail + QStringLiteral("-99") + extension_))
    number = number.left(kShortenedProgramDigits + 1);
  const QString path = QDir(folder_).filePath(freeName(number + tail));
  const QString reason = disk_.rename(receivingPath, path);
  if (reason.isEmpty()) return path;
  *failure = QStringLiteral("受信途中のファイルを改名できません: %1\r\n%2 -> %3").arg(reason, receivingPath, path);
  return QString();
}

}  // namespace korvane
