// korvane-cli analyze FILE...: machining time, cutting length and tape length of NC programs,
// one line per program end with the five texts of the result window, separated by tabs.
#include "analysis/machining_time.h"
#include "app/cli/cli_command.h"

namespace korvane::cli {
namespace {

void defineAnalyze(QCommandLineParser& parser) {
  parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("An NC program to measure."),
                               QStringLiteral("FILE..."));
}

int runAnalyze(const QCommandLineParser& parser) {
  const QStringList files = parser.positionalArguments();
  if (files.isEmpty()) return fail(QStringLiteral("analyze: no file given"));
  MachiningSink sink;
  sink.row = [](const MachiningRow& row) { out() << row.texts().join(QLatin1Char('\t')) << '\n'; };
  // As in the window: the rows so far stay, the first unreadable file ends the run.
  sink.unreadable = [](const QString& displayName, const QString& error) {
    out().flush();
    err() << "korvane-cli: analyze: " << displayName << ": " << error << Qt::endl;
  };
  return kakou_time(files, sink) ? 0 : 1;
}

const Registrar registrar({"analyze", "FILE...",
                           "machining time, cutting length and tape length: one line per program end\n"
                           "(file, program number, minutes, mm, m; tab separated)",
                           defineAnalyze, runAnalyze});

}  // namespace
}  // namespace korvane::cli
