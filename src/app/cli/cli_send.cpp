// korvane-cli send [--profile N] FILE...: the send engine of the window on the terminal.
// With --from BLOCK the program of the first FILE goes restarted from that block instead (the
// other files hold its subprograms). Exit status 0 when every file went out, 1 aborted (Ctrl-C),
// 2 failed, not started or the restart refused.

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include "app/cli/cli_command.h"
#include "app/cli/cli_machine_model.h"
#include "app/cli/cli_restart.h"
#include "app/cli/cli_transfer.h"
#include "platform/desktop/mailer.h"
#include "platform/desktop/power_off.h"
#include "transfer/completion_actions.h"
#include "transfer/send_engine.h"

namespace korvane::cli {
namespace {

void defineSend(QCommandLineParser& parser) {
  addMachineOptions(parser);
  parser.addOption(fromOption());
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
  // The restart program goes as a file of its own, through the same engine as any file.
  QTemporaryFile restartFile;
  QStringList rows = files;
  QStringList mailRows;  // what the completion mail names: the program, not the file sent for it
  if (parser.isSet(fromOption())) {
    const std::optional<MachineModel> machine = chosenMachine(parser, "send", t.store);
    if (!machine) return kUsageStatus;
    const std::optional<RestartProgram> restart = restartOf(
        files, parser.value(fromOption()), *machine, restartOptionsOf(t.store.profile(t.store.selectedSlot())), "send");
    if (!restart) return kUsageStatus;
    restartFile.setFileTemplate(QDir::temp().filePath(QFileInfo(files.first()).completeBaseName() +
                                                      QStringLiteral("-restart-XXXXXX.nc")));
    if (!restartFile.open() || restartFile.write(restart->text) != restart->text.size() || !restartFile.flush()) {
      return fail(QStringLiteral("send: %1: %2").arg(restartFile.fileName(), restartFile.errorString()));
    }
    rows = QStringList{restartFile.fileName()};
    mailRows = QStringList{files.first() + QStringLiteral("（%1 から）").arg(restart->block.describe())};
  } else if (parser.isSet(latheOption()) || parser.isSet(millOption())) {
    return fail(QStringLiteral("send: --lathe and --mill go with --from"));
  }
  const std::unique_ptr<Mailer> mailer = makeSystemMailer();
  const std::unique_ptr<PowerOff> powerOff = makeSystemPowerOff();
  CompletionActions completion(t.store, *mailer, *powerOff, t.view);
  SendEngine engine(t.store, t.context,
                    {[&](const QStringList& sent) { completion.sendCompletionMail(mailRows.isEmpty() ? sent : mailRows); },
                     [&] { completion.shutDownSystem(); }});
  switch (engine.press(rows)) {
    case SendOutcome::Completed: return 0;
    case SendOutcome::Aborted: return 1;
    case SendOutcome::Failed:
    case SendOutcome::NotStarted: return 2;
  }
  return 2;
}

const Registrar registrar({"send", "[--profile N] [--from BLOCK [--lathe|--mill]] FILE...",
                           "send the files to the machine of the profile; with --from the program of the\n"
                           "first file restarted from BLOCK, as `restart` writes it\n"
                           "(exit status 0 sent, 1 aborted with Ctrl-C, 2 failed or the restart refused)",
                           defineSend, runSend});

}  // namespace
}  // namespace korvane::cli
