#pragma once
#include <QString>
#include <memory>

#include "platform/serial/serial_port.h"

namespace korvane {

// What "Com n" is, for listings and messages: the device the symbolic link korvane-ports/com<n>
// beside the settings file points to, the device-server address that file holds, the entry
// itself when it is neither, or /dev/ttyS<n-1> when there is no entry.
QString portDevicePath(int number, const QString& iniPath);

// True when "Com n" was named by the operator (an entry in korvane-ports), whether or not what
// it names is there now: an adapter unplugged or a device server switched off is still a port.
bool portHasEntry(int number, const QString& iniPath);

// The port of this platform: a serial device or a device server, as korvane-ports says at each open.
std::unique_ptr<SerialPort> makeSerialPort(const QString& iniPath);

}  // namespace korvane
