// korvane-cli analyze FILE...: machining time, cutting length and tape length of NC programs,
// one line per program end with the five texts of the result window, separated by tabs.
#include "analysis/machining_time.h"
#include "app/cli/cli_command.h"
#include "settings/settings_store.h"

namespace korvane::cli {
namespace {

int runAnalyze(const QStringList& arguments) {
  QStringList args = arguments;
  // Rapid moves at the rate of the profile named, else of the stored current one.
  int profileSlot = 0;
  if (!args.isEmpty() && args.first() == QLatin1String("--profile")) {
    bool ok = false;
    profileSlot = args.size() > 1 ? args[1].toInt(&ok) : 0;
    if (!ok || profileSlot < 1 || profileSlot > kProfileSlots) return fail(QStringLiteral("analyze: --profile takes 1..10"));
    args = args.mid(2);
  }
  if (args.isEmpty()) return fail(QStringLiteral("analyze: no file given"));
  SettingsStore store(SettingsStore::defaultIniPath());
  store.loadSettings();
  const double rapidRate = rapidRateOf(store.profile(profileSlot ? profileSlot : store.selectedSlot()));
  MachiningSink sink;
  sink.row = [](const MachiningRow& row) { out() << row.texts().join(QLatin1Char('\t')) << '\n'; };
  // As in the window: the rows so far stay, the first unreadable file ends the run.
  sink.unreadable = [](const QString& displayName, const QString& error) {
    out().flush();
    err() << "korvane-cli: analyze: " << displayName << ": " << error << Qt::endl;
  };
  return kakou_time(args, sink, rapidRate) ? 0 : 1;
}

const Registrar registrar({"analyze",
                           "[--profile N] FILE...  machining time, cutting length and tape length: one line per program end "
                           "(file, program number, minutes, mm, m; tab separated); rapid moves at the profile's 早送り速度",
                           runAnalyze});

}  // namespace
}  // namespace korvane::cli
