// The desktop program: one main window over the settings file of this user.
#include <QApplication>
#include <cstdio>

#include "korvane/version.h"
#include "platform/serial/serial_port_factory.h"
#include "settings/settings_store.h"
#include "ui/app_icon.h"
#include "ui/command_line.h"
#include "ui/japanese_fonts.h"
#include "ui/main_window.h"
#include "ui/qt_translation.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("korvane"));
  QApplication::setApplicationVersion(QStringLiteral(KORVANE_VERSION));
  // The desktop entry's name: Wayland compositors match the window to its launcher and icon by it.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.example.korvane"));
  QApplication::setWindowIcon(korvane::applicationIcon());
  korvane::installJapaneseFontSubstitutes();
  // The window is Japanese throughout, so Qt's own texts are too, whatever the locale says.
  if (!korvane::installQtJapaneseTranslation(app))
    std::fprintf(stderr, "korvane: Qt's Japanese translation (qtbase_ja) is not installed\n");

  korvane::SettingsStore store(korvane::SettingsStore::defaultIniPath());
  // The shell (or the launcher's %F) has already split and unquoted the arguments: each one is a path.
  const QStringList rows = korvane::rowsFromArguments(QApplication::arguments().mid(1));
  korvane::MainWindow window(store, rows, [&store] { return korvane::makeSerialPort(store.iniPath()); });
  window.show();
  return app.exec();
}
