#include "platform/desktop/process_launcher.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <memory>

namespace korvane {

namespace {

// Why program cannot be started, in the operator's words where the reason is a usual one.
QString startFailureReason(const QString& program, const QProcess& process) {
  if (!program.contains(QLatin1Char('/'))) {
    if (QStandardPaths::findExecutable(program).isEmpty()) return QStringLiteral("プログラムが見つかりません");
  } else {
    const QFileInfo info(program);
    if (!info.exists()) return QStringLiteral("プログラムが見つかりません");
    if (info.isDir() || !info.isExecutable()) return QStringLiteral("実行できるプログラムではありません");
  }
  return process.errorString();
}

QString commandText(const QString& program, const QStringList& args) {
  QStringList words{program};
  for (const QString& a : args) words << (a.contains(QLatin1Char(' ')) ? QLatin1Char('"') + a + QLatin1Char('"') : a);
  return words.join(QLatin1Char(' '));
}

}  // namespace

QString launchFailureMessage(const QString& command, const QString& reason) {
  return QStringLiteral("%1 を起動できません（%2）").arg(command, reason);
}

std::optional<QString> QtProcessLauncher::startDetached(const QString& program, const QStringList& args) {
  if (watched_.contains(QFileInfo(program).fileName())) return startWatched(program, args);
  QProcess process;
  process.setProgram(program);
  process.setArguments(args);
  // Detached children keep our standard streams otherwise; a GUI program has no use for them.
  process.setStandardInputFile(QProcess::nullDevice());
  if (process.startDetached()) return std::nullopt;
  return launchFailureMessage(commandText(program, args), startFailureReason(program, process));
}

std::optional<QString> QtProcessLauncher::startWatched(const QString& program, const QStringList& args) {
  // The error output goes to a file, not a pipe: the program the opener hands over to inherits
  // it and may outlive this process, and a write into a closed pipe would end it.
  auto errors = std::make_shared<QTemporaryFile>();
  if (!errors->open()) return launchFailureMessage(commandText(program, args), errors->errorString());
  // Not parented and not deleted while running: a QProcess that is destroyed kills its child,
  // and the opener (with what it starts) must outlive the window if it takes that long.
  auto* process = new QProcess;
  process->setProgram(program);
  process->setArguments(args);
  process->setStandardInputFile(QProcess::nullDevice());
  process->setStandardOutputFile(QProcess::nullDevice());
  process->setStandardErrorFile(errors->fileName());
  const QString command = commandText(program, args);
  QObject::connect(process, &QProcess::finished, process,
                   [this, process, errors, command](int exitCode, QProcess::ExitStatus status) {
                     process->deleteLater();
                     if (status == QProcess::NormalExit && exitCode == 0) return;
                     errors->seek(0);
                     const QStringList lines = QString::fromLocal8Bit(errors->readAll()).split(
                         QLatin1Char('\n'), Qt::SkipEmptyParts);
                     const QString reason = !lines.isEmpty() ? lines.last().trimmed()
                                            : status == QProcess::NormalExit
                                                ? QStringLiteral("終了コード %1").arg(exitCode)
                                                : QStringLiteral("異常終了しました");
                     reportFailure(launchFailureMessage(command, reason));
                   });
  process->start();
  if (process->waitForStarted()) return std::nullopt;
  const QString reason = startFailureReason(program, *process);
  // A failed start still reports "finished" on some paths; the message is given here instead.
  QObject::disconnect(process, &QProcess::finished, nullptr, nullptr);
  process->deleteLater();
  return launchFailureMessage(command, reason);
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
  if (words.isEmpty()) return launchFailureMessage(command, QStringLiteral("コマンドが空です"));
  const QString program = words.takeFirst();
  return launcher.startDetached(program, words + extraArgs);
}

}  // namespace korvane
