#include "platform/serial_port_factory.h"

#include <QFileInfo>

#include "platform/posix_serial_port.h"

namespace korvane {

QString portDevicePath(int number, const QString& iniPath) {
  if (number < 1) return {};
  const QString link = QFileInfo(iniPath).absolutePath() + QStringLiteral("/korvane-ports/com") + QString::number(number);
  const QFileInfo info(link);
  // The link's own target, not the end of a chain of links: a stable name such as
  // /dev/serial/by-id/... is what the operator chose and what an error message should show.
  if (info.isSymLink()) return info.symLinkTarget();
  return QStringLiteral("/dev/ttyS") + QString::number(number - 1);
}

std::unique_ptr<SerialPort> makeSerialPort(const QString& iniPath) {
  return std::make_unique<PosixSerialPort>([iniPath](int number) { return portDevicePath(number, iniPath); });
}

}  // namespace korvane
