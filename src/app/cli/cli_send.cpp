// korvane-cli send [--profile N] FILE...: the send engine of the window on the terminal.
// Exit status 0 when every file went out, 1 aborted (Ctrl-C), 2 failed or not started.

#include "app/cli/cli_command.h"
#include "app/cli/cli_transfer.h"
#include "platform/mailer.h"
#include "platform/power_off.h"
#include "transfer/completion_actions.h"
#include "transfer/send_engine.h"

namespace korvane::cli {
namespace {

int runSend(const QStringList& args) {
  int profileSlot = 0;
  QStringList files;
  for (int i = 0; i < args.size(); ++i) {
    if (args[i] == QLatin1String("--profile")) {
      bool ok = false;
      profileSlot = i + 1 < args.size() ? args[++i].toInt(&ok) : 0;
      if (!ok || profileSlot < 1 || profileSlot > kProfileSlots) return fail(QStringLiteral("send: --profile takes 1..10"));
    } else if (args[i].startsWith(QLatin1String("--"))) {
      return fail(QStringLiteral("send: unknown option %1").arg(args[i]));
    } else {
      files << args[i];
    }
  }
  if (files.isEmpty()) return fail(QStringLiteral("send: no file given"));

  CliTransfer t(profileSlot);
  SendmailMailer mailer;
  SystemdPowerOff powerOff;
  CompletionActions completion(t.store, mailer, powerOff, t.view);
  SendEngine engine(t.store, t.context,
                    {[&](const QStringList& rows) { completion.sendCompletionMail(rows); },
                     [&] { completion.shutDownSystem(); }});
  switch (engine.press(files)) {
    case SendOutcome::Completed: return 0;
    case SendOutcome::Aborted: return 1;
    case SendOutcome::Failed:
    case SendOutcome::NotStarted: return 2;
  }
  return 2;
}

const Registrar registrar({"send", "[--profile N] FILE...  send the files to the machine of the profile", runSend});

}  // namespace
}  // namespace korvane::cli
