// korvane-cli serve with machines played by the test on real pseudo-terminals: three at once,
// each punching, asking or going wrong as a machinist at the panel would.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "app/cli_serve_support.h"
#include "support/iso_tape.h"

using namespace korvane::test;

TEST(CliServe, ServesThreeMachinesAtOnceAndKeepsEveryProgram) {
  PtyPair m1, m2, m3;
  TempWindir windir;
  ASSERT_TRUE(m1.ok() && m2.ok() && m3.ok() && windir.ok());
  ASSERT_TRUE(windir.linkComPort(1, m1.slavePath()) && windir.linkComPort(2, m2.slavePath()) &&
              windir.linkComPort(3, m3.slavePath()));
  const QDir dir(windir.path());
  const QString programs = dir.filePath("programs");
  ASSERT_TRUE(QDir().mkpath(programs));
  const QByteArray o5000 = "%\r\nO5000(FACE MILL)\r\nG0X10.Y20.\r\nG1Z-1.F100\r\nM30\r\n%\r\n";
  ASSERT_TRUE(writeFileBytes(programs + "/O5000.nc", o5000));
  ASSERT_TRUE(writeFileBytes(programs + "/bracket.nc", "%\r\nO0042\r\nM30\r\n%\r\n"));
  QByteArray ini;
  for (int slot = 1; slot <= 3; ++slot) {
    // Machine 2 on a 7-bit line with even parity: there lower-case letters reach the PC too.
    ini += servedProfile(slot, programs, dir.filePath(QStringLiteral("in%1").arg(slot)),
                         slot == 2 ? QStringLiteral("ﾃﾞｰﾀ長=7\r\nﾊﾟﾘﾃｨ=E\r\n") : QString());
  }
  ASSERT_TRUE(writeFileBytes(windir.iniPath(), ini));

  Service service({"--answer-wait", "20"});
  ASSERT_TRUE(service.waitForLog("result=open", 3)) << service.log().toStdString();

  // Machine 1 punches O1234; machine 2 asks for O5000; machine 3 asks for a program that is not
  // there. All at once.
  ASSERT_TRUE(m1.write(QByteArray(20, '\0') + iso("%\nO1234\nG0X1.\nM30\n%\n")));
  ASSERT_TRUE(m2.write(iso("%\nO9999(load o5000)\nM30\n%\n")));
  ASSERT_TRUE(m3.write(iso("%\nO9999(LOAD 4444)\nM30\n%\n")));

  ASSERT_TRUE(service.waitForLog("program=O5000 result=waiting")) << service.log().toStdString();
  ASSERT_TRUE(m2.write(QByteArray(1, '\x11')));  // the operator presses READ
  // Each block made even with a blank, as a send does.
  const QByteArray answer = readTape(m2);
  EXPECT_TRUE(answer.contains("%\nO5000(FACE MILL)\nG0X10.Y20.\nG1Z-1.F100\nM30 \n%")) << answer.toStdString();

  ASSERT_TRUE(service.waitForLog("program=O4444 result=not-found")) << service.log().toStdString();
  // The machine that asked in vain punches a program next: stored as usual.
  ASSERT_TRUE(m3.write(iso("%\nO2222\nG1X5.\nM30\n%\n")));
  const QString o1234 = dir.filePath("in1/O1234.nc");
  ASSERT_TRUE(waitFor([&] { return QFile::exists(dir.filePath("in3/O2222.nc")) && QFile::exists(o1234); }))
      << service.log().toStdString();
  EXPECT_EQ(readFileBytes(dir.filePath("in3/O2222.nc")), QByteArray("%\r\nO2222\r\nG1X5.\r\nM30\r\n%\r\n"));
  EXPECT_EQ(readFileBytes(o1234), QByteArray("%\r\nO1234\r\nG0X1.\r\nM30\r\n%\r\n"));

  // A second O1234: the first is kept as a backup, never lost.
  ASSERT_TRUE(m1.write(iso("%\nO1234(SECOND)\nG0X2.\nM30\n%\n")));
  ASSERT_TRUE(waitFor([&] { return QFile::exists(o1234 + ".1"); })) << service.log().toStdString();
  EXPECT_EQ(readFileBytes(o1234 + ".1"), QByteArray("%\r\nO1234\r\nG0X1.\r\nM30\r\n%\r\n"));
  ASSERT_TRUE(waitFor([&] { return readFileBytes(o1234).contains("SECOND"); }));

  // (LIST): O9998 names every program of the folder. This control asks for it with DC1 right
  // behind the request, in one write.
  ASSERT_TRUE(service.waitForLog("program=O5000 bytes=53 result=sent")) << service.log().toStdString();
  ASSERT_TRUE(m2.write(iso("%\nO9999(LIST)\nM30\n%") + '\x11'));
  const QByteArray list = readTape(m2);
  EXPECT_TRUE(list.contains("%\nO9998 \n")) << list.toStdString();
  EXPECT_TRUE(list.contains("(O5000 O5000.NC)")) << list.toStdString();
  EXPECT_TRUE(list.contains("(O0042 BRACKET.NC)")) << list.toStdString();

  // The window's send on a port the service holds is refused, saying so.
  ASSERT_TRUE(writeFileBytes(dir.filePath("x.nc"), "%\r\nO1\r\nM30\r\n%\r\n"));
  QProcess send;
  send.start(KORVANE_CLI_PATH, {"send", "--profile", "1", dir.filePath("x.nc")});
  ASSERT_TRUE(send.waitForFinished(10000));
  EXPECT_NE(send.exitCode(), 0);
  const QString refused = QString::fromUtf8(send.readAllStandardError());
  EXPECT_TRUE(refused.contains(QStringLiteral("ポートは使用中です")) && refused.contains(QStringLiteral("korvane-cli serve (pid")))
      << refused.toStdString();

  // One record per transfer beside the settings file.
  const QByteArray records = readFileBytes(dir.filePath("korvane-transfers.tsv"));
  EXPECT_TRUE(records.contains("\treceive\tO1234\t")) << records.toStdString();
  EXPECT_TRUE(records.contains("\tsend\tO5000\t")) << records.toStdString();
  EXPECT_TRUE(records.contains("\tnot-found\t")) << records.toStdString();

  ::kill(service.process().processId(), SIGTERM);
  ASSERT_TRUE(service.process().waitForFinished(5000));
  EXPECT_EQ(service.process().exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(service.process().exitCode(), 0) << service.log().toStdString();
}

TEST(CliServe, TapesThatDoNotEndAreKeptUnderNamesThatSaySo) {
  PtyPair quiet, pulled;
  TempWindir windir;
  ASSERT_TRUE(quiet.ok() && pulled.ok());
  ASSERT_TRUE(windir.linkComPort(1, quiet.slavePath()) && windir.linkComPort(2, pulled.slavePath()));
  const QDir dir(windir.path());
  ASSERT_TRUE(writeFileBytes(windir.iniPath(), servedProfile(1, QString(), dir.filePath("in")) +
                                              servedProfile(2, QString(), dir.filePath("in"))));
  ASSERT_TRUE(QDir().mkpath(dir.filePath("in")));
  ASSERT_TRUE(writeFileBytes(dir.filePath("in/O3000.nc"), "kept"));

  Service service({"--quiet-limit", "1", "--retry", "1"});
  ASSERT_TRUE(service.waitForLog("result=open", 2)) << service.log().toStdString();
  ASSERT_TRUE(quiet.write(iso("%\nO3000\nG1X1.\nG1Y")));   // and then nothing
  ASSERT_TRUE(pulled.write(iso("%\nO3001\nG1X1.\n")));
  QThread::msleep(300);
  pulled.closeMaster();  // the adapter is pulled mid-tape
  ASSERT_TRUE(service.waitForLog("result=incomplete", 2)) << service.log().toStdString();
  EXPECT_TRUE(service.log().contains(QStringLiteral("program=O3001 bytes=14 result=incomplete"))) << service.log().toStdString();
  EXPECT_TRUE(service.log().contains(QStringLiteral("回線が切れました"))) << service.log().toStdString();

  const QStringList kept = QDir(dir.filePath("in")).entryList({"*-incomplete-*"}, QDir::Files, QDir::Name);
  ASSERT_EQ(kept.size(), 2) << kept.join(' ').toStdString();
  EXPECT_TRUE(kept[0].startsWith("O3000-incomplete-"));
  EXPECT_TRUE(kept[1].startsWith("O3001-incomplete-"));
  EXPECT_EQ(readFileBytes(dir.filePath("in/" + kept[0])), QByteArray("%\r\nO3000\r\nG1X1.\r\nG1Y\r\n"));
  EXPECT_EQ(readFileBytes(dir.filePath("in/O3000.nc")), QByteArray("kept"));  // the program's own name untouched
  EXPECT_FALSE(QFile::exists(dir.filePath("in/O3001.nc")));
  // The machine whose line went away is retried; the other is still served.
  EXPECT_TRUE(service.waitForLog("port=COM2 machine=No.2 dir=port result=lost"));
  ASSERT_TRUE(quiet.write(iso("%\nO3002\nM30\n%\n")));
  EXPECT_TRUE(waitFor([&] { return QFile::exists(dir.filePath("in/O3002.nc")); })) << service.log().toStdString();
}
