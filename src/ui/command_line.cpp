#include "ui/command_line.h"

namespace korvane {

QStringList rowsFromCommandLine(const QString& raw) {
  const QChar blank = QLatin1Char(' ');
  QStringList names;
  for (const QString& segment : raw.split(QLatin1Char('"'))) {
    if (segment.isEmpty()) continue;
    if (segment.front() == blank || segment.back() == blank) {
      names += segment.split(blank, Qt::SkipEmptyParts);
    } else {
      names += segment;
    }
  }
  QStringList rows;
  for (const QString& name : names) rows += name.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  return rows;
}

QStringList rowsFromArguments(const QStringList& arguments) {
  QStringList rows;
  for (const QString& argument : arguments) {
    if (!argument.isEmpty()) rows += argument;
  }
  return rows;
}

}  // namespace korvane
