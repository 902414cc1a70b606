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

int runDnc(const QStringList& args) {
  QString destination;
  Answer answer = Answer::Ask;
  QStringList files;
  bool optionsEnded = false;
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (optionsEnded || !a.startsWith(QLatin1Char('-')) || a == QLatin1String("-")) {
      files << a;
    } else if (a == QLatin1String("--")) {
      optionsEnded = true;
    } else if (a == QLatin1String("-o")) {
      if (i + 1 >= args.size()) return fail(QStringLiteral("dnc: -o needs the destination file"));
      destination = args[++i];
    } else if (a == QLatin1String("--yes") || a == QLatin1String("--no")) {
      const Answer given = a == QLatin1String("--yes") ? Answer::Stop : Answer::GoOn;
      if (answer != Answer::Ask && answer != given) return fail(QStringLiteral("dnc: give --yes or --no, not both"));
      answer = given;
    } else {
      return fail(QStringLiteral("dnc: unknown option %1").arg(a));
    }
  }
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

const Registrar registrar({"dnc", "-o OUT [--yes | --no] FILE...  flatten M98 calls of the list into one DNC program",
                           runDnc});

}  // namespace
}  // namespace korvane::cli
