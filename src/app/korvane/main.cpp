// The desktop program: one main window over the settings file of this user.
#include <QApplication>
#include <cstdio>

#include "platform/serial_port_factory.h"
#include "settings/settings_store.h"
#include "ui/command_line.h"
#include "ui/japanese_fonts.h"
#include "ui/main_window.h"
#include "ui/qt_translation.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("korvane"));
  korvane::installJapaneseFontSubstitutes();
  // The window is Japanese throughout, so Qt's own texts are too, whatever the locale says.
  if (!korvane::installQtJapaneseTranslation())
    std::fprintf(stderr, "korvane: Qt's Japanese translation (qtbase_ja) is not installed\n");

  korvane::SettingsStore store(korvane::SettingsStore::defaultIniPath());
  // The shell has already split and unquoted the arguments: each one is a path.
  const QStringList rows = korvane::rowsFromArguments(QApplication::arguments().mid(1));
  korvane::MainWindow window(store, rows, [&store] { return korvane::makeSerialPort(store.iniPath()); });
  window.show();
  return app.exec();
}
