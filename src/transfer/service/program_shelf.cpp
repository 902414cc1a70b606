#include "transfer/service/program_shelf.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QRegularExpression>
#include <mutex>

#include "transfer/receive_engine.h"

namespace korvane {

namespace {

QString dateText(const QDateTime& now) { return now.toString(QStringLiteral("yyyyMMdd-HHmmss")); }

bool isFrame(const QString& line) { return line.trimmed() == QLatin1String("%"); }

}  // namespace

QString nextBackupPath(const QString& path) {
  const QFileInfo info(path);
  const QRegularExpression numbered(QStringLiteral("^") + QRegularExpression::escape(info.fileName()) +
                                    QStringLiteral("\\.(\\d{1,9})$"));
  int highest = 0;
  for (const QString& name : info.dir().entryList(QDir::Files | QDir::Hidden | QDir::System)) {
    if (const auto match = numbered.match(name); match.hasMatch()) highest = std::max(highest, match.captured(1).toInt());
  }
  return path + QLatin1Char('.') + QString::number(highest + 1);
}

ProgramShelf::ProgramShelf(QString folder, QString extension)
    : folder_(std::move(folder)), extension_(std::move(extension)) {}

QString ProgramShelf::receivingPath(int slot) const {
  return QDir(folder_).filePath(QStringLiteral("receiving-com%1.part").arg(slot));
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
  for (int n = 2; QFileInfo::exists(dir.filePath(name)); ++n) name = stem + QStringLiteral("-%1").arg(n) + extension_;
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
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
    *failure = file.errorString() + QStringLiteral("\r\n") + path;
    return false;
  }
  if (QFileInfo::exists(path)) {
    const QString backup = nextBackupPath(path);
    if (!QFile::rename(path, backup)) {
      file.cancelWriting();
      *failure = QStringLiteral("前のプログラムを控えに改名できません\r\n%1 -> %2").arg(path, backup);
      return false;
    }
    shelved->backup = backup;
  }
  if (!file.commit()) {
    // The new program is not there; the old one goes back under its name.
    if (!shelved->backup.isEmpty()) QFile::rename(shelved->backup, path);
    shelved->backup.clear();
    *failure = file.errorString() + QStringLiteral("\r\n") + path;
    return false;
  }
  shelved->path = path;
  shelved->bytes = bytes.size();
  return true;
}

QList<ShelvedProgram> ProgramShelf::storeTape(const QStringList& lines, const QDateTime& now, QString* failure) const {
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
    if (!writeProgram(program, name, &shelved, failure)) return stored;
    stored.append(shelved);
  }
  return stored;
}

QString ProgramShelf::keepIncomplete(const QString& receivingPath, const QString& program, const QDateTime& now,
                                     QString* failure) const {
  const QString stem = (program.isEmpty() ? QStringLiteral("unnumbered") : program) + QStringLiteral("-incomplete-") +
                       dateText(now);
  const QString path = QDir(folder_).filePath(freeName(stem));
  if (QFile::rename(receivingPath, path)) return path;
  *failure = QStringLiteral("受信途中のファイルを改名できません\r\n%1 -> %2").arg(receivingPath, path);
  return QString();
}

}  // namespace korvane
