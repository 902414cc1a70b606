#pragma once
#include <QString>
#include <memory>

#include "platform/serial_port.h"

namespace korvane {

// "Com n" on POSIX: the device the symbolic link korvane-ports/com<n> beside the settings file
// points to; without such a link, /dev/ttyS<n-1>.
QString portDevicePath(int number, const QString& iniPath);

// The serial port of this platform, mapping port numbers through portDevicePath.
std::unique_ptr<SerialPort> makeSerialPort(const QString& iniPath);

}  // namespace korvane
