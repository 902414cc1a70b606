#include "transfer/durable_line_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace korvane {

bool DurableLineFile::open(const QString& path) {
  close();
  file_.setFileName(path);
  syncError_.clear();
  return file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
}

bool DurableLineFile::writeLine(const QString& line) {
  // Received characters are single bytes (7-bit tape code, or bytes passed through unchanged).
  const QByteArray bytes = line.toLatin1() + "\r\n";
  if (file_.write(bytes) != bytes.size()) return false;
#ifdef Q_OS_UNIX
  if (::fdatasync(file_.handle()) != 0) {
    syncError_ = QString::fromLocal8Bit(std::strerror(errno));
    return false;
  }
#endif
  return true;
}

void DurableLineFile::close() {
  if (file_.isOpen()) file_.close();
}

QString DurableLineFile::errorText() const {
  const QString why = syncError_.isEmpty() ? file_.errorString() : syncError_;
  return why + QStringLiteral("\r\n") + file_.fileName();
}

}  // namespace korvane
