// korvane-cli restart FILE... --from BLOCK [-o OUT] [--profile N] [--lathe|--mill]: the program
// of the first FILE (the others hold its subprograms) restarted from BLOCK, written to OUT or to
// standard output as the bytes it is sent as. Exit status 0 written, 2 refused or failed.
#include "app/cli/cli_restart.h"

#include <QSaveFile>

#include "analysis/block_selector.h"
#include "analysis/restart_source.h"
#include "app/cli/cli_machine_model.h"
#include "app/cli/terminal_view.h"
#include "platform/desktop/fd_write.h"

namespace korvane::cli {

const QCommandLineOption& fromOption() {
  static const QCommandLineOption option(
      QStringLiteral("from"), QStringLiteral("Restart from BLOCK: N500, line:120, tool:3 (after the third tool change) or text:STRING."),
      QStringLiteral("BLOCK"));
  return option;
}

std::optional<RestartProgram> restartOf(const QStringList& files, const QString& from, const MachineModel& machine,
                                        const RestartOptions& options, const char* command) {
  const QString name = QLatin1String(command);
  QString error;
  const std::optional<BlockSelector> selector = BlockSelector::parse(from, &error);
  if (!selector) {
    fail(QStringLiteral("%1: --from %2").arg(name, error));
    return std::nullopt;
  }
  const std::optional<RestartSource> source = loadRestartSource(files, &error);
  if (!source) {
    fail(QStringLiteral("%1: %2").arg(name, error.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))));
    return std::nullopt;
  }
  RestartAt at;
  at.selector = selector;
  RestartProgram restart = buildRestartProgram(source->bytes, source->displayName, at, machine, options);
  if (!restart.ok) {
    QString message = QStringLiteral("%1: %2").arg(name, restart.reason);
    if (restart.offer) {
      message += QStringLiteral("\n%1 から再開できます (--from %2)").arg(restart.offer->describe(), restart.offer->selector());
    }
    fail(message);
    return std::nullopt;
  }
  return restart;
}

namespace {

const QCommandLineOption kOutput(QStringLiteral("o"), QStringLiteral("Write the restart program to OUT."),
                                 QStringLiteral("OUT"));

void defineRestart(QCommandLineParser& parser) {
  parser.addOption(fromOption());
  parser.addOption(kOutput);
  addMachineOptions(parser);
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QStringLiteral("The program; further files hold the subprograms it calls."),
                               QStringLiteral("FILE..."));
}

int runRestart(const QCommandLineParser& parser) {
  SettingsStore store(SettingsStore::defaultIniPath());
  store.loadSettings();
  const std::optional<MachineModel> machine = chosenMachine(parser, "restart", store);
  if (!machine) return kUsageStatus;
  const QStringList files = parser.positionalArguments();
  if (files.isEmpty()) return fail(QStringLiteral("restart: no file given"));
  if (!parser.isSet(fromOption())) return fail(QStringLiteral("restart: no block given (--from N500|line:120|tool:3|text:STRING)"));
  if (parser.values(kOutput).size() > 1) return fail(QStringLiteral("restart: give one destination (-o OUT)"));
  reportSettingsNotice(store);
  if (!store.loadProblem().isEmpty()) return fail(QStringLiteral("restart: ") + settingsProblemText(store));
  const std::optional<int> slot = chosenProfile(parser, "restart");
  const RestartOptions options = restartOptionsOf(store.profile(*slot ? *slot : store.selectedSlot()));
  const std::optional<RestartProgram> restart = restartOf(files, parser.value(fromOption()), *machine, options, "restart");
  if (!restart) return kUsageStatus;

  if (!parser.isSet(kOutput)) {
    // The program's bytes as they are, Shift-JIS comments and line ends included.
    out().flush();
    prepareBinaryOutput();
    QString reason;
    if (!writeAllToFd(1, restart->text.constData(), restart->text.size(), &reason)) {
      return fail(QStringLiteral("restart: standard output: %1").arg(reason));
    }
    return 0;
  }
  QSaveFile file(parser.value(kOutput));
  if (!file.open(QIODevice::WriteOnly) || file.write(restart->text) != restart->text.size() || !file.commit()) {
    return fail(QStringLiteral("restart: %1: %2").arg(parser.value(kOutput), file.errorString()));
  }
  return 0;
}

const Registrar registrar({"restart", "FILE... --from BLOCK [-o OUT] [--profile N] [--lathe|--mill]",
                           "the program restarted from BLOCK (N500, line:120, tool:3, text:STRING) with the\n"
                           "machine's state rebuilt before it, to OUT or standard output; further files hold\n"
                           "the subprograms it calls (exit status 0 written, 2 refused with the reason)",
                           defineRestart, runRestart});

}  // namespace
}  // namespace korvane::cli
