// korvane-cli settings [--save]: prints every setting as the program sees it at start-up, and
// with --save writes them exactly as "設定保存" does.
#include "app/cli/cli_command.h"
#include "app/cli/cli_transfer.h"
#include "settings/settings_store.h"

namespace korvane::cli {
namespace {

const QCommandLineOption kSave(QStringLiteral("save"), QStringLiteral("Write the settings as 設定保存 does."));

void defineSettings(QCommandLineParser& parser) { parser.addOption(kSave); }

int runSettings(const QCommandLineParser& parser) {
  if (!parser.positionalArguments().isEmpty())
    return fail(QStringLiteral("settings: unknown argument %1").arg(parser.positionalArguments().first()));
  SettingsStore store(SettingsStore::defaultIniPath());
  store.loadSettings();
  reportSettingsNotice(store);
  store.loadWindowSize();
  if (!store.loadProblem().isEmpty()) {
    err() << "korvane-cli: settings: " << settingsProblemText(store) << Qt::endl;
  }
  if (parser.isSet(kSave)) {
    QString error;
    if (!store.saveSettings(&error)) return fail(QStringLiteral("設定を保存できません: %1").arg(error));
  }
  out() << "; " << store.iniPath() << '\n';
  for (const auto& [section, keys] : store.describe()) {
    out() << '[' << section << "]\n";
    for (const auto& [key, value] : keys) out() << key << '=' << value << '\n';
  }
  return 0;
}

const Registrar registrar({"settings", "[--save]", "print every setting; --save writes them as 設定保存 does",
                           defineSettings, runSettings});

}  // namespace
}  // namespace korvane::cli
