#include "platform/serial/serial_port_factory.h"

#include "platform/serial/port_entry.h"
#include "platform/serial/switching_serial_port.h"

namespace korvane {

QString portDevicePath(int number, const QString& iniPath) { return resolvePortEntry(number, iniPath).target(); }

bool portHasEntry(int number, const QString& iniPath) { return !resolvePortEntry(number, iniPath).entryPath.isEmpty(); }

std::unique_ptr<SerialPort> makeSerialPort(const QString& iniPath) {
  return std::make_unique<SwitchingSerialPort>(iniPath);
}

}  // namespace korvane
