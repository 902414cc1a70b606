#include "support/smtp_sink.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

namespace korvane::test {

namespace {

constexpr int kStartLimitMs = 20000;
const QString kSinkScript = QStringLiteral(KORVANE_TEST_DATA_DIR "/../support/smtp_sink.py");

}  // namespace

QString missingMailTools() {
  QStringList missing;
  if (!QFileInfo(kMsmtpProgram).isExecutable()) missing << QStringLiteral("msmtp (%1)").arg(kMsmtpProgram);
  QProcess probe;
  probe.start(kSystemPython, {QStringLiteral("-c"), QStringLiteral("import aiosmtpd.controller")});
  const bool found = probe.waitForFinished(kStartLimitMs) && probe.exitStatus() == QProcess::NormalExit &&
                     probe.exitCode() == 0;
  if (!found) {
    probe.kill();
    probe.waitForFinished(1000);
    missing << QStringLiteral("Python's aiosmtpd for %1").arg(kSystemPython);
  }
  if (missing.isEmpty()) return {};
  return QStringLiteral("missing: %1. Install them with scripts/deps.sh or "
                        "`apt-get install -y msmtp msmtp-mta python3-aiosmtpd`.")
      .arg(missing.join(QStringLiteral(", ")));
}

SmtpSink::SmtpSink(QString folder) : folder_(std::move(folder)) {}

SmtpSink::~SmtpSink() { stop(); }

bool SmtpSink::start(QString* error) {
  process_.start(kSystemPython, {kSinkScript, folder_});
  QElapsedTimer timer;
  timer.start();
  QByteArray line;
  while (!line.endsWith('\n') && timer.elapsed() < kStartLimitMs) {
    if (process_.canReadLine()) {
      line = process_.readLine();
    } else if (process_.state() == QProcess::NotRunning) {
      break;
    } else {
      process_.waitForReadyRead(static_cast<int>(kStartLimitMs - timer.elapsed()));
    }
  }
  if (line.startsWith("PORT ")) {
    port_ = line.mid(5).trimmed().toInt();
    if (port_ > 0) return true;
  }
  if (error) {
    *error = QStringLiteral("the SMTP test server did not start: %1 %2")
                 .arg(QString::fromUtf8(line), QString::fromUtf8(process_.readAllStandardError()));
  }
  stop();
  return false;
}

void SmtpSink::stop() {
  if (process_.state() == QProcess::NotRunning) return;
  process_.closeWriteChannel();
  if (!process_.waitForFinished(5000)) {
    process_.kill();
    process_.waitForFinished(5000);
  }
}

QList<QJsonObject> SmtpSink::messages() const {
  QList<QJsonObject> out;
  for (int n = 1;; ++n) {
    QFile file(QDir(folder_).filePath(QStringLiteral("%1.json").arg(n)));
    if (!file.open(QIODevice::ReadOnly)) break;
    out << QJsonDocument::fromJson(file.readAll()).object();
  }
  return out;
}

QByteArray SmtpSink::rawMessage(int n) const {
  QFile file(QDir(folder_).filePath(QStringLiteral("%1.eml").arg(n)));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString writeMsmtpConfig(const QString& path, int port) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return {};
  file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  file.write(QStringLiteral("defaults\n"
                            "auth off\n"
                            "tls off\n"
                            "syslog off\n"
                            "timeout 10\n"
                            "\n"
                            "account default\n"
                            "host 127.0.0.1\n"
                            "port %1\n"
                            "from korvane@localhost\n")
                 .arg(port)
                 .toUtf8());
  return path;
}

}  // namespace korvane::test
