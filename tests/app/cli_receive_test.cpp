// korvane-cli receive over a real pseudo-terminal, as a machine punches out: the EIA digit 3
// under XON/XOFF, a reception killed or broken off in the middle, a punch's label and a wrong
// parity bit.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "support/iso_tape.h"
#include "support/pty_pair.h"

using namespace korvane::test;

namespace {

QByteArray fileBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeIni(const QString& path, const QByteArray& comLines) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("[COM1]\r\n" + comLines);
}

// Waits until the file holds at least `size` bytes.
bool waitForSize(const QString& path, qint64 size, int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; waited += 20) {
    if (QFile(path).size() >= size) return true;
    QThread::msleep(20);
  }
  return false;
}

}  // namespace

TEST(CliReceive, EiaDigitThreeSurvivesXonXoffHandshaking) {
  PtyPair pty;
  TempWindir windir;
  ASSERT_TRUE(pty.ok() && windir.linkComPort(1, pty.slavePath()));
  writeIni(windir.iniPath(), "\xba\xb0\xc4\xde=1\r\n\xca\xdd\xc4\xde\xbc\xaa\xb2\xb8=3\r\n");  // ｺｰﾄﾞ=1 ﾊﾝﾄﾞｼｪｲｸ=3
  QTemporaryDir out;
  const QString file = out.filePath("eia.nc");
  QProcess cli;
  cli.start(KORVANE_CLI_PATH, {"receive", "--file", file});
  ASSERT_TRUE(cli.waitForStarted());
  QThread::msleep(300);  // the port is open and waiting
  // % LF G 3 3 X 1 3 . LF M 3 0 LF %
  ASSERT_TRUE(pty.write(QByteArray::fromHex("0b806713133701136b805413208" "00b")));
  ASSERT_TRUE(cli.waitForFinished(5000)) << cli.readAllStandardError().toStdString();
  const QByteArray terminal = cli.readAllStandardError();
  EXPECT_EQ(cli.exitCode(), 0) << terminal.toStdString();
  EXPECT_EQ(fileBytes(file), QByteArray("%\r\nG33X13.\r\nM30\r\n%\r\n"));
  // The progress line tells the last line received, with no byte count it cannot know.
  EXPECT_TRUE(terminal.contains("line ")) << terminal.toStdString();
  EXPECT_FALSE(terminal.contains("bytes")) << terminal.toStdString();
}

TEST(CliReceive, KilledMidReceptionKeepsEveryCompletedLine) {
  PtyPair pty;
  TempWindir windir;
  ASSERT_TRUE(pty.ok() && windir.linkComPort(1, pty.slavePath()));
  QTemporaryDir out;
  const QString file = out.filePath("kill.nc");
  QProcess cli;
  cli.start(KORVANE_CLI_PATH, {"receive", "--file", file});
  ASSERT_TRUE(cli.waitForStarted());
  QThread::msleep(300);
  ASSERT_TRUE(pty.write(QByteArray::fromHex("a50a47b10a4d33300a47b2")));  // % G1 M30 and half a line
  ASSERT_TRUE(waitForSize(file, 12, 3000));
  cli.kill();  // SIGKILL: no chance to flush anything
  cli.waitForFinished(3000);
  EXPECT_EQ(fileBytes(file), QByteArray("%\r\nG1\r\nM30\r\n"));
}

TEST(CliReceive, AbortedByCtrlCExitsOneAndSendsTheStopCode) {
  PtyPair pty;
  TempWindir windir;
  ASSERT_TRUE(pty.ok() && windir.linkComPort(1, pty.slavePath()));
  writeIni(windir.iniPath(), "DC2,4=2\r\n");
  QTemporaryDir out;
  QProcess cli;
  cli.start(KORVANE_CLI_PATH, {"receive", "--folder", out.path()});
  ASSERT_TRUE(cli.waitForStarted());
  EXPECT_EQ(pty.read(2000, 1), QByteArray("\x11")) << "DC1 starts the machine";
  QThread::msleep(200);
  cli.terminate();  // SIGTERM, handled like Ctrl-C
  ASSERT_TRUE(cli.waitForFinished(5000));
  EXPECT_EQ(cli.exitCode(), 1);
  EXPECT_EQ(pty.read(2000, 1), QByteArray("\x93")) << "DC3 with its parity bit";
}

TEST(CliReceive, AProgramBrokenOffNeverTakesTheNameOfTheOneInTheFolder) {
  PtyPair pty;
  TempWindir windir;
  ASSERT_TRUE(pty.ok() && windir.linkComPort(1, pty.slavePath()));
  writeIni(windir.iniPath(), "");
  QTemporaryDir out;
  const QDir folder(out.path());
  ASSERT_TRUE(QFile(folder.filePath("O3100.nc")).open(QIODevice::WriteOnly));
  QFile good(folder.filePath("O3200.nc"));
  ASSERT_TRUE(good.open(QIODevice::WriteOnly) && good.write("%\r\nO3200(GOOD)\r\nM30\r\n%\r\n") > 0);
  good.close();
  QProcess cli;
  cli.start(KORVANE_CLI_PATH, {"receive", "--folder", out.path()});
  ASSERT_TRUE(cli.waitForStarted());
  QThread::msleep(300);
  ASSERT_TRUE(pty.write(iso("%\nO3100\nG1X1.\nM30\nO3200\nG1X2.\nG1Y")));
  const QByteArray o3100 = "%\r\nO3100\r\nG1X1.\r\nM30\r\n%\r\n";
  for (int waited = 0; waited < 3000 && fileBytes(folder.filePath("O3100.nc")) != o3100; waited += 20) QThread::msleep(20);
  QThread::msleep(200);
  pty.closeMaster();  // the device server is killed in the middle of O3200
  ASSERT_TRUE(cli.waitForFinished(5000));
  const QString terminal = QString::fromUtf8(cli.readAllStandardError() + cli.readAllStandardOutput());
  EXPECT_EQ(cli.exitCode(), 2) << terminal.toStdString();
  EXPECT_EQ(fileBytes(folder.filePath("O3100.nc")), o3100) << "a complete program takes its name";
  EXPECT_EQ(fileBytes(folder.filePath("O3200.nc")), QByteArray("%\r\nO3200(GOOD)\r\nM30\r\n%\r\n"));
  const QStringList kept = folder.entryList({"O3200-incomplete-*.nc"}, QDir::Files);
  ASSERT_EQ(kept.size(), 1) << folder.entryList().join(' ').toStdString();
  EXPECT_EQ(fileBytes(folder.filePath(kept[0])), QByteArray("%\r\nO3200\r\nG1X2.\r\nG1Y\r\n"));
  EXPECT_TRUE(terminal.contains(kept[0])) << terminal.toStdString();
  EXPECT_EQ(folder.entryList(QDir::Files).size(), 3) << folder.entryList().join(' ').toStdString();
}

TEST(CliReceive, AFolderReceptionSkipsThePunchLabelAndTellsOfWrongParity) {
  PtyPair pty;
  TempWindir windir;
  ASSERT_TRUE(pty.ok() && windir.linkComPort(1, pty.slavePath()));
  writeIni(windir.iniPath(), "");  // 8 data bits, ISO
  QTemporaryDir out;
  // A Fanuc 0 punches ESC & H E : and DC2 before its tape; the S of SMOKE comes with its parity
  // bit wrong.
  QByteArray tape = iso("%\nO1234(SMOKE)\nM30\n%");
  tape[tape.indexOf('S')] = char(quint8('S') | 0x80);
  QProcess cli;
  cli.start(KORVANE_CLI_PATH, {"receive", "--folder", out.path()});
  ASSERT_TRUE(cli.waitForStarted());
  QThread::msleep(300);
  ASSERT_TRUE(pty.write("\x1b" + iso("&HE:") + "\x12" + tape));
  ASSERT_TRUE(cli.waitForFinished(5000));
  const QString terminal = QString::fromUtf8(cli.readAllStandardError() + cli.readAllStandardOutput());
  EXPECT_EQ(cli.exitCode(), 3) << terminal.toStdString();
  EXPECT_TRUE(terminal.contains(QStringLiteral("パリティエラーの文字が 1 個"))) << terminal.toStdString();
  EXPECT_EQ(QDir(out.path()).entryList(QDir::Files).join(' ').toStdString(), "O1234.nc");
  EXPECT_EQ(fileBytes(out.filePath("O1234.nc")), QByteArray("%\r\nO1234(MOKE)\r\nM30\r\n%\r\n"));
}
