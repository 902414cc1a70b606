// korvane-cli ports: which of the ports Com 1 to Com 10 can be opened now, and which device or
// device-server address each one maps to, the way the program probes them at start-up (each is
// opened and closed at once; a device server is connected to).
#include "app/cli/cli_command.h"
#include "platform/serial/serial_port_factory.h"
#include "settings/settings_store.h"

namespace korvane::cli {
namespace {

void definePorts(QCommandLineParser&) {}

int runPorts(const QCommandLineParser& parser) {
  if (!parser.positionalArguments().isEmpty())
    return fail(QStringLiteral("ports: unknown argument %1").arg(parser.positionalArguments().first()));
  const QString iniPath = SettingsStore::defaultIniPath();
  const std::unique_ptr<SerialPort> port = makeSerialPort(iniPath);
  for (int number = 1; number <= kProfileSlots; ++number) {
    port->setCommPort(number);
    PortError error;
    QString state = QStringLiteral("ok");
    if (port->open(&error)) {
      port->close();
    } else {
      state = error.description;
    }
    out() << "Com " << number << '\t' << portDevicePath(number, iniPath) << '\t' << state << '\n';
  }
  return 0;
}

const Registrar registrar({"ports", "", "list Com 1..10 with their device or address and whether each opens now",
                           definePorts, runPorts});

}  // namespace
}  // namespace korvane::cli
