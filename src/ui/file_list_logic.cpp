#include "ui/file_list_logic.h"

namespace korvane {

QString dialogFilterText(const QString& fileFilter) {
  return QStringLiteral("ＮＣデータ (") + fileFilter + QStringLiteral(")|") + fileFilter +
         QStringLiteral("|すべてのﾌｧｲﾙ (*.*)|*.*");
}

QStringList qtNameFilters(const QString& dialogFilterText) {
  const QStringList parts = dialogFilterText.split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString description = parts[i].trimmed();
    QStringList patterns;
    for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      const QString pattern = p.trimmed();
      if (pattern.isEmpty()) continue;
      patterns << (pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern);
    }
    if (patterns.isEmpty()) continue;
    filters << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return filters;
}

QStringList rowsFromDialogResult(const QString& folder, const QStringList& names) {
  const QString prefix = folder.endsWith(kRowSeparator) ? folder : folder + kRowSeparator;
  QStringList rows;
  rows.reserve(names.size());
  for (const QString& name : names) rows << prefix + name;
  return rows;
}

QStringList rowsFromDialogFileName(const QString& fileName) {
  const QStringList parts = fileName.split(QChar(0));
  if (parts.size() == 1) return fileName.isEmpty() ? QStringList{} : QStringList{fileName};
  QStringList names = parts.mid(1);
  names.removeAll(QString());
  return rowsFromDialogResult(parts.first(), names);
}

QString folderOfPath(const QString& path) {
  const qsizetype cut = path.lastIndexOf(kRowSeparator);
  if (cut < 0) return QString();
  if (cut == 0) return QString(kRowSeparator);
#ifdef Q_OS_WIN
  if (cut == 2 && path.at(1) == QLatin1Char(':')) return path.left(3);  // "C:\"
#endif
  return path.left(cut);
}

QString fileTitleOf(const QString& path) { return path.mid(path.lastIndexOf(kRowSeparator) + 1); }

QStringList rowsFromChosenPaths(const QStringList& paths) {
  if (paths.size() <= 1) return paths;
  const QString folder = folderOfPath(paths.first());
  QStringList names;
  for (const QString& path : paths) {
    // The dialog chooses in one folder; should a platform dialog ever mix folders, keep its paths.
    if (folderOfPath(path) != folder) return paths;
    names << fileTitleOf(path);
  }
  return rowsFromDialogResult(folder, names);
}

std::optional<QString> learnExtension(const QString& fileTitle, QString& fileFilter) {
  const QString tail = fileTitle.right(4);
  const qsizetype dot = tail.indexOf(QLatin1Char('.'));
  if (dot < 0) return std::nullopt;
  const QString extension = tail.mid(dot);
  if (!fileFilter.contains(extension, Qt::CaseSensitive)) fileFilter += QStringLiteral(";*") + extension;
  return extension;
}

int insertPosition(const QList<bool>& selected) {
  const qsizetype first = selected.indexOf(true);
  return static_cast<int>(first >= 0 ? first : selected.size());
}

QList<int> rowsToDelete(const QList<bool>& selected) {
  QList<int> rows;
  for (qsizetype i = selected.size() - 1; i >= 0; --i) {
    if (selected[i]) rows << static_cast<int>(i);
  }
  return rows;
}

}  // namespace korvane
