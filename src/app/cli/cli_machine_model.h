#pragma once
// The machine a program is read for, on every command that reads G-code: the profile named with
// --profile (else the current one), its kind overridden for one run by --lathe or --mill.

#include <optional>

#include "analysis/machine_model.h"
#include "app/cli/cli_command.h"
#include "app/cli/cli_transfer.h"
#include "settings/settings_store.h"

namespace korvane::cli {

inline const QCommandLineOption& latheOption() {
  static const QCommandLineOption option(QStringLiteral("lathe"), QStringLiteral("Read the program as a lathe's (機械種類=1)."));
  return option;
}

inline const QCommandLineOption& millOption() {
  static const QCommandLineOption option(QStringLiteral("mill"),
                                         QStringLiteral("Read the program as a machining centre's (機械種類=0)."));
  return option;
}

inline void addMachineOptions(QCommandLineParser& parser) {
  parser.addOption(profileOption());
  parser.addOption(latheOption());
  parser.addOption(millOption());
}

// Nothing, after a message, when the options contradict each other or name no profile. The
// store must have been loaded; when it could not be read the defaults describe the machine.
inline std::optional<MachineModel> chosenMachine(const QCommandLineParser& parser, const char* command,
                                                 const SettingsStore& store) {
  if (parser.isSet(latheOption()) && parser.isSet(millOption())) {
    fail(QStringLiteral("%1: --lathe and --mill exclude each other").arg(QLatin1String(command)));
    return std::nullopt;
  }
  const std::optional<int> slot = chosenProfile(parser, command);
  if (!slot) return std::nullopt;
  MachineModel machine = machineOf(store.profile(*slot ? *slot : store.selectedSlot()));
  if (parser.isSet(latheOption())) machine.kind = MachineModel::Kind::Lathe;
  if (parser.isSet(millOption())) machine.kind = MachineModel::Kind::MachiningCentre;
  return machine;
}

}  // namespace korvane::cli
