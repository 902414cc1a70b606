#include "transfer/service/service_log.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace korvane {

namespace {

inline const QByteArray kTransferLogHeader = "time\tmachine\tslot\tdirection\tprogram\tbytes\tresult\tfile\treason\n";

// A value as the journal line carries it: quoted when it holds blanks, quotes or nothing.
QString quoted(QString value) {
  value.replace(QLatin1String("\r\n"), QLatin1String(" / ")).replace(QLatin1Char('\n'), QLatin1String(" / "));
  const bool plain = !value.isEmpty() && !value.contains(QLatin1Char(' ')) && !value.contains(QLatin1Char('"')) &&
                     !value.contains(QLatin1Char('\t')) && !value.contains(QLatin1Char('='));
  if (plain) return value;
  value.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
  return QLatin1Char('"') + value + QLatin1Char('"');
}

// A value as a field of the tab-separated record: no tabs or line ends inside.
QString field(QString value) {
  value.replace(QLatin1String("\r\n"), QLatin1String(" / "));
  for (QChar& c : value)
    if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r')) c = QLatin1Char(' ');
  return value;
}

}  // namespace

QString transferLogPath(const QString& iniPath) {
  return QFileInfo(iniPath).dir().filePath(QStringLiteral("korvane-transfers.tsv"));
}

ServiceLog::ServiceLog(std::FILE* stream, QString transferLog) : stream_(stream), transferLog_(std::move(transferLog)) {}

QString ServiceLog::eventLine(const ServiceEvent& e) {
  QStringList parts;
  if (e.slot > 0) parts << QStringLiteral("port=COM%1").arg(e.slot) << QStringLiteral("machine=") + quoted(e.machine);
  parts << QStringLiteral("dir=") + e.direction;
  if (!e.program.isEmpty()) parts << QStringLiteral("program=") + e.program;
  if (e.bytes >= 0) parts << QStringLiteral("bytes=%1").arg(e.bytes);
  parts << QStringLiteral("result=") + quoted(e.result);
  if (!e.file.isEmpty()) parts << QStringLiteral("file=") + quoted(e.file);
  if (!e.reason.isEmpty()) parts << QStringLiteral("reason=") + quoted(e.reason);
  return parts.join(QLatin1Char(' '));
}

QString ServiceLog::transferRecord(const ServiceEvent& e, const QString& time) {
  return QStringList{time, field(e.machine), QString::number(e.slot), e.direction, field(e.program),
                     QString::number(std::max<qint64>(e.bytes, 0)), field(e.result), field(e.file), field(e.reason)}
      .join(QLatin1Char('\t'));
}

void ServiceLog::event(const ServiceEvent& e) {
  const QByteArray line = eventLine(e).toUtf8() + '\n';
  const std::lock_guard lock(mutex_);
  std::fwrite(line.constData(), 1, size_t(line.size()), stream_);
  std::fflush(stream_);
  if (!e.isTransfer() || transferLog_.isEmpty()) return;
  QFile file(transferLog_);
  const bool fresh = !file.exists() || file.size() == 0;
  const QByteArray record =
      transferRecord(e, QDateTime::currentDateTime().toOffsetFromUtc(QDateTime::currentDateTime().offsetFromUtc())
                            .toString(Qt::ISODate))
          .toUtf8() +
      '\n';
  if (file.open(QIODevice::Append) && (!fresh || file.write(kTransferLogHeader) == kTransferLogHeader.size()) &&
      file.write(record) == record.size()) {
    return;
  }
  // Said once, so a full disk does not double every event on the terminal.
  if (warnedLogFile_) return;
  warnedLogFile_ = true;
  const QByteArray warning = QStringLiteral("dir=service result=log-file-failed file=%1 reason=%2\n")
                                 .arg(quoted(transferLog_), quoted(file.errorString()))
                                 .toUtf8();
  std::fwrite(warning.constData(), 1, size_t(warning.size()), stream_);
  std::fflush(stream_);
}

}  // namespace korvane
