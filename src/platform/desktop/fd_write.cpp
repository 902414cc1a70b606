#include "platform/desktop/fd_write.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace korvane {

bool writeAllToFd(int fd, const char* data, qint64 size, QString* reason) {
  qint64 done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, static_cast<size_t>(size - done));
    if (n > 0) {
      done += n;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    // A write of nothing without an error: the device takes no more.
    const int error = n < 0 ? errno : ENOSPC;
    if (reason) *reason = QString::fromLocal8Bit(std::strerror(error));
    return false;
  }
  return true;
}

}  // namespace korvane
