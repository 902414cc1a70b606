#include "platform/process_launcher.h"

#include <QFileInfo>
#include <QProcess>

namespace korvane {

std::optional<QString> QtProcessLauncher::startDetached(const QString& program, const QStringList& args) {
  QProcess process;
  process.setProgram(program);
  process.setArguments(args);
  // Detached children keep our standard streams otherwise; a GUI program has no use for them.
  process.setStandardInputFile(QProcess::nullDevice());
  if (process.startDetached()) return std::nullopt;
  return QStringLiteral("%1 を起動できません").arg(program);
}

std::optional<QString> startStoredCommand(ProcessLauncher& launcher, const QString& command,
                                          const QStringList& extraArgs) {
  const QString trimmed = command.trimmed();
  QStringList words;
  if (QFileInfo(trimmed).isFile()) {
    words << trimmed;
  } else {
    words = QProcess::splitCommand(trimmed);
  }
  if (words.isEmpty()) return QStringLiteral("%1 を起動できません").arg(command);
  const QString program = words.takeFirst();
  return launcher.startDetached(program, words + extraArgs);
}

}  // namespace korvane
