// korvane-cli send [--profile N] FILE...: the send engine of the window on the terminal.
// Exit status 0 when every file went out, 1 aborted (Ctrl-C), 2 failed or not started.

#include "app/cli/cli_command.h"
#include "app/cli/cli_transfer.h"
#include "platform/desktop/mailer.h"
#include "platform/desktop/power_off.h"
#include "transfer/completion_actions.h"
#include "transfer/send_engine.h"

namespace korvane::cli {
namespace {

void defineSend(QCommandLineParser& parser) {
  parser.addOption(profileOption());
  parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("A program to send, in the order given."),
                               QStringLiteral("FILE..."));
}

int runSend(const QCommandLineParser& parser) {
  const std::optional<int> profileSlot = chosenProfile(parser, "send");
  if (!profileSlot) return kUsageStatus;
  const QStringList files = parser.positionalArguments();
  if (files.isEmpty()) return fail(QStringLiteral("send: no file given"));

  CliTransfer t(*profileSlot);
  if (!t.store.loadProblem().isEmpty()) return refuseUnreadableSettings(t.store);
  const std::unique_ptr<Mailer> mailer = makeSystemMailer();
  const std::unique_ptr<PowerOff> powerOff = makeSystemPowerOff();
  CompletionActions completion(t.store, *mailer, *powerOff, t.view);
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

const Registrar registrar({"send", "[--profile N] FILE...",
                           "send the files to the machine of the profile\n"
                           "(exit status 0 sent, 1 aborted with Ctrl-C, 2 failed)",
                           defineSend, runSend});

}  // namespace
}  // namespace korvane::cli
