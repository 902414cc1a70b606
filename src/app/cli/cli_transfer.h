#pragma once
// What the send and receive commands both set up around their engine: the stored settings with
// the chosen profile, that profile's port, the terminal as the operator's view, and Ctrl-C as
// "中断".

#include <atomic>
#include <memory>
#include <optional>

#include "app/cli/cli_command.h"
#include "app/cli/terminal_view.h"
#include "platform/clock.h"
#include "platform/event_pump.h"
#include "platform/serial/serial_port_factory.h"
#include "settings/settings_store.h"
#include "transfer/line_writer.h"

namespace korvane::cli {

inline const QCommandLineOption& profileOption() {
  static const QCommandLineOption option(QStringLiteral("profile"),
                                         QStringLiteral("Use machine profile N (1..10) instead of the current one."),
                                         QStringLiteral("N"));
  return option;
}

// The profile the command line names, 0 for the stored current one, or nothing after a
// message when the value is no profile.
inline std::optional<int> chosenProfile(const QCommandLineParser& parser, const char* command) {
  if (!parser.isSet(profileOption())) return 0;
  bool ok = false;
  const int slot = parser.value(profileOption()).toInt(&ok);
  if (ok && slot >= 1 && slot <= kProfileSlots) return slot;
  fail(QStringLiteral("%1: --profile takes 1..10").arg(QLatin1String(command)));
  return std::nullopt;
}

// A transfer at the default line settings because the settings file could not be read would
// reach the machine garbled, and a script has no one to ask: the command stops, saying why.
// Why the settings file could not be read, with the terminal's line ends.
inline QString settingsProblemText(const SettingsStore& store) {
  QString message = store.loadProblem();
  return message.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// Says once what loading the settings did besides reading them (an older file taken over).
inline void reportSettingsNotice(const SettingsStore& store) {
  if (!store.loadNotice().isEmpty()) err() << "korvane-cli: " << store.loadNotice() << Qt::endl;
}

inline int refuseUnreadableSettings(const SettingsStore& store) {
  return fail(settingsProblemText(store) + QStringLiteral("\n送受信は行いません"));
}

struct CliTransfer {
  // profileSlot 0 keeps the stored current profile.
  explicit CliTransfer(int profileSlot)
      : store(SettingsStore::defaultIniPath()), port(makeSerialPort(store.iniPath())) {
    store.loadSettings();
    reportSettingsNotice(store);
    if (profileSlot) store.app().currentProfile = profileSlot;
    installAbortSignals(&cancel);
  }

  SettingsStore store;
  std::atomic<bool> cancel{false};
  std::unique_ptr<SerialPort> port;
  TerminalView view;
  NullEventPump pump;
  SteadyClock clock;
  TransferContext context{*port, view, pump, clock, cancel};
};

}  // namespace korvane::cli
