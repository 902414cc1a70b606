// korvane-cli analyze [--profile N] [--lathe|--mill] FILE...: machining time, cutting length and
// tape length of NC programs, one line per program end with the five texts of the result window,
// separated by tabs.
#include "analysis/machining_time.h"
#include "app/cli/cli_machine_model.h"

namespace korvane::cli {
namespace {

void defineAnalyze(QCommandLineParser& parser) {
  addMachineOptions(parser);
  parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("An NC program to measure."),
                               QStringLiteral("FILE..."));
}

int runAnalyze(const QCommandLineParser& parser) {
  // Read for the machine of the profile named, else of the stored current one.
  const QStringList files = parser.positionalArguments();
  SettingsStore store(SettingsStore::defaultIniPath());
  store.loadSettings();
  const std::optional<MachineModel> machine = chosenMachine(parser, "analyze", store);
  if (!machine) return kUsageStatus;
  if (files.isEmpty()) return fail(QStringLiteral("analyze: no file given"));
  reportSettingsNotice(store);
  if (!store.loadProblem().isEmpty()) {
    // The figures still come, but for the default machine: say so beside them.
    err() << "korvane-cli: analyze: " << settingsProblemText(store)
          << "\n既定の機械 (早送り速度 5000 mm/min) で計算します" << Qt::endl;
  }
  MachiningSink sink;
  // The columns written one by one: a large file has a row per program, tens of thousands.
  sink.row = [](const MachiningRow& row) {
    const QLatin1Char tab('\t');
    out() << row.fileName << tab << row.programNumber << tab << row.time << tab << row.cuttingLength << tab
          << row.tapeLength << '\n';
  };
  // As in the window: the rows so far stay, the first unreadable file ends the run.
  sink.unreadable = [](const QString& displayName, const QString& error) {
    out().flush();
    err() << "korvane-cli: analyze: " << displayName << ": " << error << Qt::endl;
  };
  return kakou_time(files, sink, *machine) ? 0 : 1;
}

const Registrar registrar({"analyze", "[--profile N] [--lathe|--mill] FILE...",
                           "machining time, cutting length and tape length: one line per program end\n"
                           "(file, program number, minutes, mm, m; tab separated), read for the machine\n"
                           "of the profile (default: the current one): 機械種類, 早送り速度, 最高回転数,\n"
                           "工具交換時間, 小数点入力; --lathe or --mill reads it as the other kind",
                           defineAnalyze, runAnalyze});

}  // namespace
}  // namespace korvane::cli
