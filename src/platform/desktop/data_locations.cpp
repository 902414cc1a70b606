#include "platform/desktop/data_locations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace korvane {

QStringList dataDirectoryCandidates(const QString& name) {
  const QString relative = QStringLiteral("korvane/") + name;
  QStringList candidates;
  for (const QString& base : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
    candidates << QDir::cleanPath(base + QLatin1Char('/') + relative);
  }
  // Without an application object there is no program folder to go by.
  if (QCoreApplication::instance() != nullptr) {
    const QString beside =
        QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/") + relative);
    if (!candidates.contains(beside)) candidates << beside;
#ifdef Q_OS_WIN
    // The Windows package keeps help and samples in folders beside the programs.
    candidates << QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') + name);
#endif
  }
  return candidates;
}

QString findDataDirectory(const QString& name, const QString& marker) {
  for (const QString& folder : dataDirectoryCandidates(name)) {
    if (QFileInfo(folder + QLatin1Char('/') + marker).isFile()) return folder;
  }
  return QString();
}

}  // namespace korvane
