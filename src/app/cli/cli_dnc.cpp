// korvane-cli dnc -o OUT [--yes | --no] FILE...: the DNC conversion of the list FILE... into OUT.
// Prints the converted list, then the unconverted list, each under its heading, one entry per
// line as the result window lists them. Exit status 0 when the conversion ran (unresolved calls
// included), 1 when it stopped at the duplicate question, 2 on a failure.
#include <atomic>

#include "analysis/dnc_converter.h"
#include "app/cli/cli_command.h"
#include "app/cli/terminal_view.h"

namespace korvane::cli {
namespace {

enum class Answer { Ask, Stop, GoOn };

const QCommandLineOption kOutput(QStringLiteral("o"), QStringLiteral("Write the DNC program to OUT."),
                                 QStringLiteral("OUT"));
const QCommandLineOption kYes(QStringLiteral("yes"),
                              QStringLiteral("Answer はい (stop) when the list names a program twice."));
const QCommandLineOption kNo(QStringLiteral("no"),
                             QStringLiteral("Answer いいえ (go on) when the list names a program twice."));

void defineDnc(QCommandLineParser& parser) {
  parser.addOption(kOutput);
  parser.addOption(kYes);
  parser.addOption(kNo);
  parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("A row of the list: the main program first."),
                               QStringLiteral("FILE..."));
}

int runDnc(const QCommandLineParser& parser) {
  if (parser.isSet(kYes) && parser.isSet(kNo)) return fail(QStringLiteral("dnc: give --yes or --no, not both"));
  const Answer answer = parser.isSet(kYes) ? Answer::Stop : parser.isSet(kNo) ? Answer::GoOn : Answer::Ask;
  if (parser.values(kOutput).size() > 1) return fail(QStringLiteral("dnc: give one destination (-o OUT)"));
  const QString destination = parser.value(kOutput);
  const QStringList files = parser.positionalArguments();
  if (destination.isEmpty()) return fail(QStringLiteral("dnc: no destination given (-o OUT)"));
  if (files.isEmpty()) return fail(QStringLiteral("dnc: no file given"));

  std::atomic<bool> cancel{false};
  installAbortSignals(&cancel);
  TerminalView terminal;
  DncHooks hooks;
  hooks.stopOnDuplicates = [&](const QString& question) {
    if (answer == Answer::Ask) return terminal.askYesNo(question, MessageIcon::Question);
    terminal.showMessage(question, MessageIcon::Question);
    err() << (answer == Answer::Stop ? "--yes: はい\n" : "--no: いいえ\n");
    err().flush();
    return answer == Answer::Stop;
  };
  hooks.cancelRequested = [&] { return cancel.load(); };

  DncConverter converter(hooks);
  const DncResult result = converter.run(files, destination);
  switch (result.outcome) {
    case DncOutcome::Converted: {
      out() << QStringLiteral("変換されたＳＵＢ") << '\n';
      for (const QString& entry : result.converted) out() << entry << '\n';
      out() << QStringLiteral("変換されないＳＵＢ") << '\n';
      for (const QString& entry : result.unconverted) out() << entry << '\n';
      out().flush();
      terminal.showMessage(kDncDoneMessage, MessageIcon::Information);
      return 0;
    }
    case DncOutcome::Stopped: return 1;
    case DncOutcome::Failed:
    case DncOutcome::Cancelled:
    case DncOutcome::Busy: {
      QString message = result.message;
      message.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
      return fail(message);
    }
  }
  return 2;
}

const Registrar registrar({"dnc", "-o OUT [--yes | --no] FILE...",
                           "flatten M98 calls of the list into one DNC program\n"
                           "(exit status 0 converted, 1 stopped at the duplicate question, 2 failed)",
                           defineDnc, runDnc});

}  // namespace
}  // namespace korvane::cli
