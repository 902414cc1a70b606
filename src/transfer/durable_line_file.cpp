#include "transfer/durable_line_file.h"

#include <QFile>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/clock.h"
#include "platform/desktop/file_system.h"

namespace korvane {

namespace {
constexpr qint64 kSyncIntervalMs = 100;

qint64 nowMs() { return SteadyClock().nowMs(); }
}  // namespace

bool DurableLineFile::open(const QString& path) {
  close();
  path_ = path;
  reason_.clear();
  whole_ = 0;
  pending_ = false;
  syncedAtMs_ = nowMs();
  fd_ = openFileForWriting(path);
  if (fd_ < 0) {
    reason_ = QString::fromLocal8Bit(std::strerror(errno));
    return false;
  }
  return true;
}

bool DurableLineFile::failed(int error) {
  reason_ = QString::fromLocal8Bit(std::strerror(error));
  // A part of the line may have reached the file before the disk was full: the line is lost
  // either way, and a cut line would read as a different block.
  if (::ftruncate(fd_, whole_) == 0) ::lseek(fd_, whole_, SEEK_SET);
  return false;
}

bool DurableLineFile::writeLine(const QString& line) {
  if (fd_ < 0) {
    if (reason_.isEmpty()) reason_ = QString::fromLocal8Bit(std::strerror(EBADF));
    return false;
  }
  // Received characters are single bytes (7-bit tape code, or bytes passed through unchanged).
  const QByteArray bytes = line.toLatin1() + "\r\n";
  qsizetype done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
    if (n > 0) {
      done += n;
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      return failed(n < 0 ? errno : ENOSPC);
    }
  }
  whole_ += bytes.size();
  pending_ = true;
  return nowMs() - syncedAtMs_ < kSyncIntervalMs || syncPending();
}

bool DurableLineFile::syncPending() {
  if (fd_ < 0 || !pending_) return true;
  pending_ = false;
  syncedAtMs_ = nowMs();
  if (const int e = syncFileData(fd_)) {
    reason_ = QString::fromLocal8Bit(std::strerror(e));
    return false;
  }
  return true;
}

bool DurableLineFile::close() {
  if (fd_ < 0) return true;
  const bool synced = syncPending();
  const bool closed = ::close(fd_) == 0 || errno == EINTR;  // NFS reports a full disk here
  if (!closed && synced) reason_ = QString::fromLocal8Bit(std::strerror(errno));
  fd_ = -1;
  return synced && closed;
}

QString DurableLineFile::errorText() const { return reason_ + QStringLiteral("\r\n") + path_; }

QString writeWholeFile(const QString& path, const QByteArray& bytes) {
  const int fd = openFileForWriting(path);
  if (fd < 0) return QString::fromLocal8Bit(std::strerror(errno));
  int error = 0;
  qsizetype done = 0;
  while (done < bytes.size() && error == 0) {
    const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
    if (n > 0) {
      done += n;
    } else if (n == 0 || errno != EINTR) {
      error = n < 0 ? errno : ENOSPC;
    }
  }
  if (error == 0) error = syncFileData(fd);
  if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;  // NFS reports a full disk here
  if (error == 0) return QString();
  QFile::remove(path);
  return QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace korvane
