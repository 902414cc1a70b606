// korvane-cli with its Com port on a serial device server: the simulated machine listens on
// loopback, raw or with RFC 2217, and korvane sends, receives and lists ports through it.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "support/loopback_server.h"
#include "support/pty_pair.h"

using namespace korvane::test;

namespace {

QByteArray fileBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QString entryPath(const TempWindir& windir, int n) { return windir.path() + QStringLiteral("/korvane-ports/com%1").arg(n); }

// The simulated machine behind its own device server; address() is what goes into korvane-ports.
class ListeningMachine {
 public:
  explicit ListeningMachine(const QStringList& args) {
    process_.start(QStringLiteral(KORVANE_CLI_PATH), QStringList{QStringLiteral("machine")} + args);
    QElapsedTimer timer;
    timer.start();
    while (!process_.canReadLine() && timer.elapsed() < 10000) process_.waitForReadyRead(100);
    if (process_.canReadLine()) address_ = QString::fromUtf8(process_.readLine()).trimmed();
  }
  ~ListeningMachine() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(5000);
    }
  }
  const QString& address() const { return address_; }
  QJsonObject summary() {
    if (!process_.waitForFinished(15000)) return {};
    return QJsonDocument::fromJson(process_.readAllStandardOutput()).object();
  }
  void kill() {
    process_.kill();
    process_.waitForFinished(5000);
  }

 private:
  QProcess process_;
  QString address_;
};

struct CliRun {
  int exitCode = -1;
  QString terminal;  // stdout and stderr
  qint64 ms = 0;
};

CliRun runCli(const QStringList& args, int limitMs = 60000) {
  QProcess cli;
  cli.setProcessChannelMode(QProcess::MergedChannels);
  QElapsedTimer timer;
  timer.start();
  cli.start(QStringLiteral(KORVANE_CLI_PATH), args);
  CliRun run;
  if (!cli.waitForFinished(limitMs)) {
    cli.kill();
    cli.waitForFinished(5000);
  }
  run.ms = timer.elapsed();
  run.exitCode = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
  run.terminal = QString::fromUtf8(cli.readAll());
  return run;
}

constexpr char kProgram[] = "%\nO0001\nG01X10.F100\nM30\n%\n";
// As the machine stores it: blocks padded to an even length by the space korvane adds.
constexpr char kStored[] = "%\nO0001 \nG01X10.F100 \nM30 \n%\n";

TEST(CliNetwork, SendReachesTheMachineOverRawTcpAndRfc2217) {
  for (const QStringList& listen : {QStringList{"--listen", "127.0.0.1:0"}, QStringList{"--listen", "[::1]:0", "--rfc2217"}}) {
    TempWindir windir;
    QTemporaryDir store;
    ListeningMachine machine(listen + QStringList{"--store", store.path(), "--exit-after", "1"});
    ASSERT_FALSE(machine.address().isEmpty());
    ASSERT_TRUE(writeFile(entryPath(windir, 1), machine.address().toUtf8() + "\n"));
    const QString program = windir.path() + QStringLiteral("/O0001.nc");
    ASSERT_TRUE(writeFile(program, kProgram));
    const CliRun send = runCli({"send", program});
    EXPECT_EQ(send.exitCode, 0) << send.terminal.toStdString();
    EXPECT_TRUE(send.terminal.contains(QStringLiteral("送信が終了しました")));
    const QJsonArray stored = machine.summary().value("stored").toArray();
    ASSERT_EQ(stored.size(), 1) << machine.address().toStdString();
    EXPECT_EQ(fileBytes(stored[0].toObject().value("file").toString()), QByteArray(kStored)) << machine.address().toStdString();
  }
}

TEST(CliNetwork, PunchedProgramIsReceivedOverRawTcp) {
  TempWindir windir;
  QTemporaryDir out;
  const QString punched = out.filePath("punch.nc");
  ASSERT_TRUE(writeFile(punched, kProgram));
  ListeningMachine machine({"--listen", "127.0.0.1:0", "--punch", punched});
  ASSERT_FALSE(machine.address().isEmpty());
  ASSERT_TRUE(writeFile(entryPath(windir, 1), machine.address().toUtf8()));
  ASSERT_TRUE(writeFile(windir.iniPath(), "[COM1]\r\nDC2,4=1\r\n"));  // DC1 starts the punch
  const QString file = out.filePath("got.nc");
  const CliRun receive = runCli({"receive", "--file", file}, 30000);
  EXPECT_EQ(receive.exitCode, 0) << receive.terminal.toStdString();
  EXPECT_EQ(fileBytes(file), QByteArray("%\r\nO0001\r\nG01X10.F100\r\nM30\r\n%\r\n"));
}

TEST(CliNetwork, DeviceServerGoneMidSendEndsWithExitTwoAndNoSuccess) {
  TempWindir windir;
  ListeningMachine machine({"--listen", "127.0.0.1:0"});
  ASSERT_FALSE(machine.address().isEmpty());
  ASSERT_TRUE(writeFile(entryPath(windir, 1), machine.address().toUtf8()));
  QByteArray big = "%\nO0002\n";
  for (int i = 0; i < 600; ++i) big += "G01X" + QByteArray::number(i) + ".Y1.F100\n";
  big += "M30\n%\n";
  const QString program = windir.path() + QStringLiteral("/big.nc");
  ASSERT_TRUE(writeFile(program, big));
  QProcess cli;
  cli.setProcessChannelMode(QProcess::MergedChannels);
  cli.start(QStringLiteral(KORVANE_CLI_PATH), {"send", program});
  ASSERT_TRUE(cli.waitForStarted());
  QThread::msleep(2000);  // the leading pauses are over, the program is on its way
  ASSERT_EQ(cli.state(), QProcess::Running);
  machine.kill();
  QElapsedTimer timer;
  timer.start();
  ASSERT_TRUE(cli.waitForFinished(10000));
  EXPECT_LT(timer.elapsed(), 5000);
  const QString terminal = QString::fromUtf8(cli.readAll());
  EXPECT_EQ(cli.exitCode(), 2) << terminal.toStdString();
  EXPECT_FALSE(terminal.contains(QStringLiteral("送信が終了しました"))) << terminal.toStdString();
  EXPECT_TRUE(terminal.contains(machine.address())) << terminal.toStdString();
}

TEST(CliNetwork, RefusedConnectionExitsTwoNamingTheAddress) {
  TempWindir windir;
  const QString address = QStringLiteral("tcp://127.0.0.1:%1").arg(closedLoopbackPort());
  ASSERT_TRUE(writeFile(entryPath(windir, 1), address.toUtf8()));
  const QString program = windir.path() + QStringLiteral("/O0001.nc");
  ASSERT_TRUE(writeFile(program, kProgram));
  const CliRun send = runCli({"send", program});
  EXPECT_EQ(send.exitCode, 2);
  EXPECT_TRUE(send.terminal.contains(address)) << send.terminal.toStdString();
  EXPECT_TRUE(send.terminal.contains(QStringLiteral("Connection refused"))) << send.terminal.toStdString();
  EXPECT_FALSE(send.terminal.contains(QStringLiteral("送信が終了しました")));
}

TEST(CliNetwork, PortsNamesEveryAddressAndRefusesWhatNamesNothing) {
  TempWindir windir;
  PtyPair pty;
  ListeningMachine raw({"--listen", "127.0.0.1:0"});
  ListeningMachine telnet({"--listen", "127.0.0.1:0", "--rfc2217"});
  ASSERT_TRUE(pty.ok() && !raw.address().isEmpty() && !telnet.address().isEmpty());
  ASSERT_TRUE(windir.linkComPort(1, pty.slavePath()));
  ASSERT_TRUE(writeFile(entryPath(windir, 2), raw.address().toUtf8() + "\n"));
  ASSERT_TRUE(writeFile(entryPath(windir, 3), telnet.address().toUtf8() + "\n"));
  ASSERT_TRUE(writeFile(entryPath(windir, 4), "192.168.1.50:4001\n"));  // no scheme: the new user's mistake
  // Every other port mapped, so that no real serial device of this machine is touched.
  for (int n = 5; n <= 10; ++n) ASSERT_TRUE(windir.linkComPort(n, windir.path() + QStringLiteral("/absent%1").arg(n)));
  const CliRun ports = runCli({"ports"});
  EXPECT_EQ(ports.exitCode, 0);
  const QStringList lines = ports.terminal.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_GE(lines.size(), 4) << ports.terminal.toStdString();
  EXPECT_EQ(lines[0], QStringLiteral("Com 1\t%1\tok").arg(pty.slavePath()));
  EXPECT_EQ(lines[1], QStringLiteral("Com 2\t%1\tok").arg(raw.address()));
  EXPECT_EQ(lines[2], QStringLiteral("Com 3\t%1\tok").arg(telnet.address()));
  EXPECT_TRUE(lines[3].startsWith(QStringLiteral("Com 4\t%1\tポートの指定が正しくありません").arg(entryPath(windir, 4))))
      << lines[3].toStdString();
  EXPECT_FALSE(lines[3].contains(QStringLiteral("/dev/ttyS3")));
}

}  // namespace
