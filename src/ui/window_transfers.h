#pragma once
// The engines behind the main window and the services they use, built on the first command that
// needs them, so the services tests put in are the ones used.

#include <functional>
#include <memory>

#include "platform/clock.h"
#include "platform/event_pump.h"
#include "platform/desktop/mailer.h"
#include "platform/desktop/power_off.h"
#include "transfer/completion_actions.h"
#include "transfer/receive_engine.h"
#include "transfer/send_engine.h"
#include "ui/file_dialogs.h"
#include "ui/file_list_editor.h"
#include "ui/window_receive_ui.h"

namespace korvane {

struct WindowTransfers {
  QtEventPump pump;
  SteadyClock steadyClock;
  Clock* clock = &steadyClock;

  std::unique_ptr<QtFileDialogs> qtDialogs;
  FileDialogs* dialogs = nullptr;
  std::unique_ptr<FileListEditor> editor;

  std::unique_ptr<Mailer> systemMailer;
  std::unique_ptr<PowerOff> systemPowerOff;
  Mailer* mailer = nullptr;
  PowerOff* powerOff = nullptr;
  std::function<void()> endProgram = endProgramNow;
  std::unique_ptr<CompletionActions> completion;

  std::unique_ptr<WindowReceiveUi> windowReceiveUi;
  ReceiveUi* receiveUi = nullptr;
  std::unique_ptr<SendEngine> send;
  std::unique_ptr<ReceiveEngine> receive;
};

}  // namespace korvane
