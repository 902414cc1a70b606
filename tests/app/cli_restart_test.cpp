// A restart program sent to machines on real pseudo-terminals: by `korvane-cli send --from` to the
// simulated machine, and by the service answering "(LOAD O5000 N30)" and "(LOAD O5000 TOOL2)"
// from the machine's panel; a refused restart is answered with nothing.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "support/cp932_iconv.h"
#include "support/iso_tape.h"
#include "support/pty_pair.h"
#include "support/test_files.h"

using namespace korvane::test;

namespace {

const QByteArray kProgram =
    "%\r\nO5000 (POCKET)\r\nG21 G17 G90 G94\r\nT01 M06\r\nG00 G54 X0 Y0 S1500 M03\r\nG43 H01 Z30. M08\r\n"
    "G01 Z-2. F120\r\nN30 X40. F300\r\nY20.\r\nG00 Z30.\r\nG91 G28 Z0\r\nG90\r\nT02 M06\r\n"
    "G00 X5. Y5. S2500 M03\r\nG43 H02 Z20.\r\nG01 Z-1. F100\r\nX25.\r\nG00 Z20.\r\nM30\r\n%\r\n";

// What a restart command writes for the program, from korvane-cli itself.
QByteArray restartOf(const QString& file, const QString& from, const QProcessEnvironment& env) {
  QProcess cli;
  cli.setProcessEnvironment(env);
  cli.start(QStringLiteral(KORVANE_CLI_PATH), {QStringLiteral("restart"), file, QStringLiteral("--from"), from});
  EXPECT_TRUE(cli.waitForFinished(20000));
  EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
  return cli.readAllStandardOutput();
}

// The program as a tape reader hands it on: line ends as LF, the blank that makes a block even
// gone.
QByteArray asRead(QByteArray text) {
  text.replace("\r", "");
  QByteArray out;
  for (QByteArray line : text.split('\n')) {
    while (line.endsWith(' ')) line.chop(1);
    out += line + '\n';
  }
  return out.trimmed();
}

// What a reader makes of ISO tape bytes: parity stripped, leader, DC codes and CR dropped.
QByteArray readable(const QByteArray& bytes) {
  QByteArray text;
  for (const char c : bytes) {
    const char b = char(c & 0x7F);
    if (b == '\0' || b == '\r' || (b >= 0x11 && b <= 0x14)) continue;
    text.append(b);
  }
  return text;
}

QByteArray readTape(PtyPair& machine) {
  QByteArray text;
  for (int i = 0; i < 150 && text.count('%') < 2; ++i) text += readable(machine.read(100));
  return text;
}

}  // namespace

TEST(CliRestart, SendFromSendsTheRestartProgramToTheSimulatedMachine) {
  QTemporaryDir settings, dir;
  ASSERT_TRUE(settings.isValid() && dir.isValid());
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("windir"), settings.path());
  const QString program = writeTestFile(dir.path(), QStringLiteral("O5000.nc"), kProgram);
  const QString store = dir.filePath(QStringLiteral("machine"));
  ASSERT_TRUE(QDir().mkpath(store));

  QProcess machine;
  machine.setProcessEnvironment(env);
  machine.start(QStringLiteral(KORVANE_CLI_PATH),
                {QStringLiteral("machine"), QStringLiteral("--link"), QStringLiteral("1"), QStringLiteral("--store"), store,
                 QStringLiteral("--exit-after"), QStringLiteral("1")});
  ASSERT_TRUE(machine.waitForReadyRead(10000));  // its terminal's path: it is ready
  // A refused restart sends nothing: the machine is still waiting for its one program after it.
  QProcess refused;
  refused.setProcessEnvironment(env);
  refused.start(QStringLiteral(KORVANE_CLI_PATH), {QStringLiteral("send"), QStringLiteral("--from"), QStringLiteral("N9999"), program});
  ASSERT_TRUE(refused.waitForFinished(20000));
  EXPECT_EQ(refused.exitCode(), 2);
  EXPECT_TRUE(QString::fromUtf8(refused.readAllStandardError()).contains(QStringLiteral("N9999 のブロックがありません")));

  QProcess send;
  send.setProcessEnvironment(env);
  send.start(QStringLiteral(KORVANE_CLI_PATH), {QStringLiteral("send"), QStringLiteral("--from"), QStringLiteral("tool:2"), program});
  ASSERT_TRUE(send.waitForFinished(30000));
  EXPECT_EQ(send.exitCode(), 0) << send.readAllStandardError().toStdString();
  ASSERT_TRUE(machine.waitForFinished(15000));
  const QStringList stored = QDir(store).entryList({QStringLiteral("*.nc")}, QDir::Files);
  ASSERT_EQ(stored.size(), 1) << stored.join(' ').toStdString();
  const QByteArray got = readTestFile(QDir(store).filePath(stored.first()));
  const QByteArray restart = restartOf(program, QStringLiteral("tool:2"), env);
  EXPECT_EQ(asRead(got).toStdString(), asRead(restart).toStdString());
  // The restart program, not the whole one: the second tool's header, then its blocks.
  EXPECT_TRUE(restart.contains("T02 M06\r\nS1500 M03\r\nM08\r\nG00 X40. Y20.\r\nG91 G28 Z0.\r\nG90\r\nG00 X5. Y5. S2500 M03"))
      << restart.toStdString();
  EXPECT_FALSE(got.contains("N30"));
}

TEST(CliRestart, TheServiceAnswersALoadFromABlockWithTheRestartProgram) {
  PtyPair m1;
  TempWindir windir;
  ASSERT_TRUE(m1.ok() && windir.ok());
  ASSERT_TRUE(windir.linkComPort(1, m1.slavePath()));
  const QDir dir(windir.path());
  const QString programs = dir.filePath(QStringLiteral("programs"));
  ASSERT_TRUE(QDir().mkpath(programs));
  const QString program = writeTestFile(programs, QStringLiteral("O5000.nc"), kProgram);
  ASSERT_TRUE(writeFileBytes(windir.iniPath(), iconvEncodeCp932(QStringLiteral("[COM1]\r\nﾎﾟｰﾄ=1\r\nｻｰﾋﾞｽ=1\r\nﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞ=%1\r\n"
                                                                                "受信ﾌｫﾙﾀﾞ=%2\r\nﾊﾝﾄﾞｼｪｲｸ=1\r\nDCDDSR=0\r\n")
                                                                     .arg(programs, dir.filePath(QStringLiteral("in"))))));
  QProcess service;
  service.start(QStringLiteral(KORVANE_CLI_PATH), {QStringLiteral("serve"), QStringLiteral("--answer-wait"), QStringLiteral("20")});
  QString log;
  const auto waitForLog = [&](const QString& text, int count = 1) {
    for (int waited = 0; waited < 15000; waited += 50) {
      service.waitForReadyRead(50);
      log += QString::fromUtf8(service.readAllStandardError());
      if (log.count(text) >= count) return true;
    }
    return false;
  };
  ASSERT_TRUE(waitForLog(QStringLiteral("result=open"))) << log.toStdString();

  // From N30, asked with the block.
  ASSERT_TRUE(m1.write(iso("%\nO9999(LOAD O5000 N30)\nM30\n%\n")));
  ASSERT_TRUE(waitForLog(QStringLiteral("program=O5000 result=waiting"))) << log.toStdString();
  EXPECT_TRUE(log.contains(QStringLiteral("result=restart"))) << log.toStdString();
  ASSERT_TRUE(m1.write(QByteArray(1, '\x11')));
  const QByteArray fromN30 = readTape(m1);
  const QByteArray expectedN30 = restartOf(program, QStringLiteral("N30"), QProcessEnvironment::systemEnvironment());
  EXPECT_TRUE(asRead(fromN30).contains(asRead(expectedN30))) << fromN30.toStdString();
  EXPECT_TRUE(fromN30.contains("N30 G01 X40. F300")) << fromN30.toStdString();
  ASSERT_TRUE(waitForLog(QStringLiteral("result=sent"))) << log.toStdString();

  // After the second tool change, asked by its number.
  ASSERT_TRUE(m1.write(iso("%\nO9999(LOAD O5000 TOOL2)\nM30\n%\n") + '\x11'));
  const QByteArray fromTool2 = readTape(m1);
  const QByteArray expectedTool2 = restartOf(program, QStringLiteral("tool:2"), QProcessEnvironment::systemEnvironment());
  EXPECT_TRUE(asRead(fromTool2).contains(asRead(expectedTool2))) << fromTool2.toStdString();
  ASSERT_TRUE(waitForLog(QStringLiteral("result=sent"), 2)) << log.toStdString();

  // A block the program does not have: logged with the reason, answered with nothing, and the
  // machine's next punch is stored as usual.
  ASSERT_TRUE(m1.write(iso("%\nO9999(LOAD O5000 N777)\nM30\n%\n")));
  ASSERT_TRUE(waitForLog(QStringLiteral("result=refused"))) << log.toStdString();
  EXPECT_TRUE(log.contains(QStringLiteral("N777 のブロックがありません"))) << log.toStdString();
  EXPECT_TRUE(readable(m1.read(500)).isEmpty());
  ASSERT_TRUE(m1.write(iso("%\nO1234\nG0X1.\nM30\n%\n")));
  ASSERT_TRUE(waitForLog(QStringLiteral("program=O1234 bytes="))) << log.toStdString();
  const QByteArray records = readFileBytes(dir.filePath(QStringLiteral("korvane-transfers.tsv")));
  EXPECT_TRUE(records.contains("\trefused\t")) << records.toStdString();

  ::kill(service.processId(), SIGTERM);
  ASSERT_TRUE(service.waitForFinished(5000));
  EXPECT_EQ(service.exitCode(), 0) << log.toStdString();
}
