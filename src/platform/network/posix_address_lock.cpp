#include "platform/network/address_lock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/serial/port_holder.h"

namespace korvane {

QString AddressLock::lockPath(const NetAddress& address) {
  QString name = QStringLiteral("korvane-%1-%2").arg(address.host).arg(address.port);
  for (QChar& c : name)
    if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('.')) c = QLatin1Char('_');
  const QFileInfo runLock(QStringLiteral("/run/lock"));
  const QString folder = runLock.isDir() && runLock.isWritable() ? runLock.filePath() : QDir::tempPath();
  return QDir(folder).filePath(name + QStringLiteral(".lock"));
}

bool AddressLock::acquire(const NetAddress& address, QString* holder) {
  release();
  const QString path = lockPath(address);
  const QByteArray name = QFile::encodeName(path);
  int fd = -1;
  do {
    fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return true;
  // Made by one user, the file must stay usable by the next (the service and a machinist's
  // window); the umask would take that away.
  ::fchmod(fd, 0666);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool busy = errno == EWOULDBLOCK;
    ::close(fd);
    if (!busy) return true;
    if (holder) *holder = portHolder(path);
    return false;
  }
  fd_ = fd;
  return true;
}

void AddressLock::release() {
  if (fd_ >= 0) ::close(fd_);  // also drops the lock; the file stays for the next one
  fd_ = -1;
}

}  // namespace korvane
