#include "platform/desktop/regular_file.h"

#include <QFileInfo>

namespace korvane {

QString regularFileProblem(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists() || info.isFile()) return {};
  if (info.isDir()) return QStringLiteral("フォルダです。ファイルを選んでください");
  return QStringLiteral("通常のファイルではありません (FIFO、デバイスなど)");
}

}  // namespace korvane
