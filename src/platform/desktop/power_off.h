#pragma once
// Asking the operating system to power the computer off. Everything that would do it goes
// through this interface, so tests replace it and never stop the machine they run on.

#include <QString>
#include <QStringList>
#include <memory>

namespace korvane {

class PowerOff {
 public:
  virtual ~PowerOff() = default;
  // Starts the request and returns at once; whether the system accepts it is not reported.
  virtual void requestPowerOff() = 0;
};

// "systemctl poweroff": systemd-logind checks the caller's right to power off (polkit lets the
// user of the active local session do it) and shuts the system down cleanly, asking running
// programs to end. Started as an independent process, not waited for; its result is not looked
// at, so a refused request leaves the computer running.
class SystemdPowerOff final : public PowerOff {
 public:
  explicit SystemdPowerOff(QString program = QStringLiteral("systemctl"),
                           QStringList arguments = {QStringLiteral("poweroff")});
  void requestPowerOff() override;

  const QString& program() const { return program_; }
  const QStringList& arguments() const { return arguments_; }

 private:
  QString program_;
  QStringList arguments_;
};

// The power-off of this computer: systemd on POSIX, ExitWindowsEx with the shutdown privilege
// on Windows.
std::unique_ptr<PowerOff> makeSystemPowerOff();

}  // namespace korvane
