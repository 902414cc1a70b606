#pragma once
// Who holds a serial device: a machinist told "in use" wants to know whether it is the
// shop-floor service, a second window or another program, and which process to look at.

#include <QString>

namespace korvane {

// "korvane-cli serve (pid 1234)" for the process holding the advisory lock on the device, or
// empty when nobody visible holds it (or the system does not tell).
QString portHolder(const QString& devicePath);

}  // namespace korvane
