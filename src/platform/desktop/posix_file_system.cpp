#include <QFile>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/desktop/file_system.h"

namespace korvane {

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

}  // namespace korvane
