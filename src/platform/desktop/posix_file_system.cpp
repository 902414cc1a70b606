#include <QFile>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/desktop/file_system.h"

namespace korvane {

namespace {

QString systemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// The path with every link and "." or ".." resolved, or empty with errno set.
QByteArray realPath(const QByteArray& path) {
  const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.constData(), nullptr), &std::free);
  return resolved ? QByteArray(resolved.get()) : QByteArray();
}

bool isInside(const QByteArray& real, const QByteArray& realFolder) {
  const QByteArray prefix = realFolder.endsWith('/') ? realFolder : realFolder + '/';
  return real.startsWith(prefix) && real.size() > prefix.size();
}

QString fileKind(mode_t mode) {
  if (S_ISFIFO(mode)) return QStringLiteral("FIFO");
  if (S_ISCHR(mode) || S_ISBLK(mode)) return QStringLiteral("デバイス");
  if (S_ISSOCK(mode)) return QStringLiteral("ソケット");
  if (S_ISDIR(mode)) return QStringLiteral("フォルダ");
  return QStringLiteral("特殊なファイル");
}

int refuse(FolderFileRefusal* refusal, FolderFileRefusal::Kind kind, const QString& detail, int fd = -1) {
  if (fd >= 0) ::close(fd);
  if (refusal) *refusal = FolderFileRefusal{kind, detail};
  return -1;
}

}  // namespace

bool fileNameFits(const QString& folder, const QString& name) {
  long limit = ::pathconf(QFile::encodeName(folder).constData(), _PC_NAME_MAX);
  if (limit <= 0) limit = 255;
  return QFile::encodeName(name).size() <= limit;
}

int openFileForWriting(const QString& path) {
  int fd = -1;
  do {
    fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

int syncFileData(int fd) {
  if (::fdatasync(fd) == 0 || errno == EINVAL) return 0;  // EINVAL: a device, no sync
  return errno;
}

QString renameFile(const QString& from, const QString& to, bool replace) {
  const QByteArray source = QFile::encodeName(from);
  const QByteArray target = QFile::encodeName(to);
  if (replace) return ::rename(source.constData(), target.constData()) == 0 ? QString() : systemReason(errno);
  if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0) return QString();
  if (errno != EINVAL && errno != ENOSYS) return systemReason(errno);
  // A file system without the flag: looked at first, which leaves a moment in between.
  struct stat st {};
  if (::lstat(target.constData(), &st) == 0) return systemReason(EEXIST);
  return ::rename(source.constData(), target.constData()) == 0 ? QString() : systemReason(errno);
}

int openRegularFileInFolder(const QString& folder, const QString& path, FolderFileRefusal* refusal) {
  using Kind = FolderFileRefusal::Kind;
  const QByteArray realFolder = realPath(QFile::encodeName(folder));
  if (realFolder.isEmpty()) return refuse(refusal, Kind::Unreadable, systemReason(errno));
  const QByteArray real = realPath(QFile::encodeName(path));
  if (real.isEmpty()) return refuse(refusal, Kind::Unreadable, systemReason(errno));
  if (!isInside(real, realFolder)) return refuse(refusal, Kind::OutsideFolder, QFile::decodeName(real));
  // Looked at before it is opened: opening a device can be an act of its own (a port raises DTR).
  struct stat named {};
  if (::stat(real.constData(), &named) != 0) return refuse(refusal, Kind::Unreadable, systemReason(errno));
  if (!S_ISREG(named.st_mode)) return refuse(refusal, Kind::NotRegularFile, fileKind(named.st_mode));

  // Without blocking, should a FIFO have taken the name in the meantime, and without following a
  // link put there since.
  int fd = -1;
  do {
    fd = ::open(real.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return refuse(refusal, errno == ELOOP ? Kind::NotRegularFile : Kind::Unreadable, systemReason(errno));
  struct stat opened {};
  if (::fstat(fd, &opened) != 0) return refuse(refusal, Kind::Unreadable, systemReason(errno), fd);
  if (!S_ISREG(opened.st_mode)) return refuse(refusal, Kind::NotRegularFile, fileKind(opened.st_mode), fd);
  if (opened.st_dev != named.st_dev || opened.st_ino != named.st_ino)
    return refuse(refusal, Kind::Unreadable, systemReason(EAGAIN), fd);  // swapped while it was looked at
  // A folder on the way swapped for a link would have led the open elsewhere: where the file
  // that was opened really is, the system tells.
  char procPath[64];
  std::snprintf(procPath, sizeof procPath, "/proc/self/fd/%d", fd);
  char opensAt[4096];
  const ssize_t n = ::readlink(procPath, opensAt, sizeof opensAt);
  if (n > 0 && n < ssize_t(sizeof opensAt) && !isInside(QByteArray(opensAt, int(n)), realFolder))
    return refuse(refusal, Kind::OutsideFolder, QFile::decodeName(QByteArray(opensAt, int(n))), fd);
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

}  // namespace korvane
