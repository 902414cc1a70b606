// korvane-cli analyze [--profile N] FILE...: machining time, cutting length and tape length of NC
// programs, one line per program end with the five texts of the result window, separated by tabs.
#include "analysis/machining_time.h"
#include "app/cli/cli_command.h"
#include "app/cli/cli_transfer.h"
#include "settings/settings_store.h"

namespace korvane::cli {
namespace {

void defineAnalyze(QCommandLineParser& parser) {
  parser.addOption(profileOption());
  parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("An NC program to measure."),
                               QStringLiteral("FILE..."));
}

int runAnalyze(const QCommandLineParser& parser) {
  // Rapid moves at the rate of the profile named, else of the stored current one.
  const std::optional<int> profileSlot = chosenProfile(parser, "analyze");
  if (!profileSlot) return kUsageStatus;
  const QStringList files = parser.positionalArguments();
  if (files.isEmpty()) return fail(QStringLiteral("analyze: no file given"));
  SettingsStore store(SettingsStore::defaultIniPath());
  store.loadSettings();
  reportSettingsNotice(store);
  if (!store.loadProblem().isEmpty()) {
    // The figures still come, but with the default rapid rate: say so beside them.
    err() << "korvane-cli: analyze: " << settingsProblemText(store) << "\n早送り速度は既定の 5000 mm/min で計算します"
          << Qt::endl;
  }
  const double rapidRate = rapidRateOf(store.profile(*profileSlot ? *profileSlot : store.selectedSlot()));
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
  return kakou_time(files, sink, rapidRate) ? 0 : 1;
}

const Registrar registrar({"analyze", "[--profile N] FILE...",
                           "machining time, cutting length and tape length: one line per program end\n"
                           "(file, program number, minutes, mm, m; tab separated); rapid moves at the\n"
                           "早送り速度 of the profile (default: the current one)",
                           defineAnalyze, runAnalyze});

}  // namespace
}  // namespace korvane::cli
