#include "ui/qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QString>
#include <QTranslator>

namespace korvane {

bool installQtJapaneseTranslation(QCoreApplication& app) {
  return installQtJapaneseTranslation(app, QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

bool installQtJapaneseTranslation(QCoreApplication& app, const QString& folder) {
  auto* translator = new QTranslator(&app);
  // qtbase_ja covers the widgets and dialogs the program uses.
  if (!translator->load(QStringLiteral("qtbase_ja"), folder) || !QCoreApplication::installTranslator(translator)) {
    delete translator;
    return false;
  }
  return true;
}

}  // namespace korvane
