// "Com n" on Windows is the system's COMn. Device servers (korvane-ports entries) are a POSIX
// feature for now; on Windows a vendor's virtual COM port driver serves instead.
#include "platform/serial/serial_port_factory.h"
#include "platform/serial/win32_serial_port.h"

namespace korvane {

QString portDevicePath(int number, const QString&) { return QStringLiteral("COM%1").arg(number); }

bool portHasEntry(int, const QString&) { return false; }

std::unique_ptr<SerialPort> makeSerialPort(const QString&) { return std::make_unique<Win32SerialPort>(); }

}  // namespace korvane
