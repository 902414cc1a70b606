#include "platform/desktop/regular_file.h"

#include <QFileInfo>

namespace korvane {

QString regularFileProblem(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists() || info.isFile()) return {};
  if (info.isDir()) return QStringLiteral("フォルダです。ファイルを選んでください");
  return QStringLiteral("通常のファイルではありません (FIFO、デバイスなど)");
}

bool openProgramFile(QFile& file, QString* error) {
  if (const QString problem = regularFileProblem(file.fileName()); !problem.isEmpty()) {
    if (error) *error = problem;
    return false;
  }
  if (file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return true;
  if (error) *error = file.errorString();
  return false;
}

}  // namespace korvane
