#include "platform/serial_port_factory.h"

#include "platform/port_entry.h"
#include "platform/switching_serial_port.h"

namespace korvane {

QString portDevicePath(int number, const QString& iniPath) { return resolvePortEntry(number, iniPath).target(); }

bool portHasEntry(int number, const QString& iniPath) { return !resolvePortEntry(number, iniPath).entryPath.isEmpty(); }

std::unique_ptr<SerialPort> makeSerialPort(const QString& iniPath) {
  return std::make_unique<SwitchingSerialPort>(iniPath);
}

}  // namespace korvane
