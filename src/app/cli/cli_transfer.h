#pragma once
// What the send and receive commands both set up around their engine: the stored settings with
// the chosen profile, that profile's port, the terminal as the operator's view, and Ctrl-C as
// "中断".

#include <atomic>
#include <memory>

#include "app/cli/terminal_view.h"
#include "platform/clock.h"
#include "platform/event_pump.h"
#include "platform/serial_port_factory.h"
#include "settings/settings_store.h"
#include "transfer/line_writer.h"

namespace korvane::cli {

struct CliTransfer {
  // profileSlot 0 keeps the stored current profile.
  explicit CliTransfer(int profileSlot)
      : store(SettingsStore::defaultIniPath()), port(makeSerialPort(store.iniPath())) {
    store.loadSettings();
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
