#include "platform/serial/port_holder.h"

#include <QFile>
#include <QStringList>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace korvane {

QString portHolder(const QString& devicePath) {
  struct stat info {};
  if (::stat(QFile::encodeName(devicePath).constData(), &info) != 0) return QString();
  // /proc/locks names a locked file as MAJOR:MINOR:INODE of the file system it is on (in hex,
  // the inode in decimal), with the locking process in the field before.
  const QString id = QStringLiteral("%1:%2:%3")
                         .arg(major(info.st_dev), 2, 16, QLatin1Char('0'))
                         .arg(minor(info.st_dev), 2, 16, QLatin1Char('0'))
                         .arg(quint64(info.st_ino));
  QFile locks(QStringLiteral("/proc/locks"));
  if (!locks.open(QIODevice::ReadOnly)) return QString();
  for (const QByteArray& line : locks.readAll().split('\n')) {
    const QStringList fields = QString::fromLatin1(line).simplified().split(QLatin1Char(' '));
    const qsizetype at = fields.indexOf(id);
    if (at < 1 || !fields.contains(QLatin1String("FLOCK"))) continue;
    const QString pid = fields[at - 1];
    QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!commandLine.open(QIODevice::ReadOnly)) return QStringLiteral("pid %1").arg(pid);
    QList<QByteArray> words = commandLine.readAll().split('\0');
    while (!words.isEmpty() && words.last().isEmpty()) words.removeLast();
    if (words.isEmpty()) return QStringLiteral("pid %1").arg(pid);
    // The program's own name and its command: enough to tell the service from a window.
    QString what = QString::fromLocal8Bit(words.first().mid(words.first().lastIndexOf('/') + 1));
    if (words.size() > 1 && !words[1].startsWith('-')) what += QLatin1Char(' ') + QString::fromLocal8Bit(words[1]);
    return QStringLiteral("%1 (pid %2)").arg(what, pid);
  }
  return QString();
}

}  // namespace korvane
