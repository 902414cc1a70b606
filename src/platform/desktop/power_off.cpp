#include "platform/desktop/power_off.h"

#include <QProcess>

namespace korvane {

SystemdPowerOff::SystemdPowerOff(QString program, QStringList arguments)
    : program_(std::move(program)), arguments_(std::move(arguments)) {}

void SystemdPowerOff::requestPowerOff() { QProcess::startDetached(program_, arguments_); }

}  // namespace korvane
