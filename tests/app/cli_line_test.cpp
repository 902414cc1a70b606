// korvane-cli send and receive over a real pseudo-terminal with what machinists set on their
// controls: 7-bit frames with parity, long leaders and delays aborted from the terminal, a full
// disk.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonArray>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QThread>
#include <bit>
#include <csignal>
#include <functional>

#include "support/pty_pair.h"
#include "support/test_files.h"

using namespace korvane::test;

namespace {

// Profile 1 of a settings file, written as korvane writes it (Shift-JIS, CR LF).
void writeProfile(const QString& iniPath, const QString& lines) {
  QStringEncoder sjis("Shift_JIS");
  QFile f(iniPath);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(sjis.encode(QStringLiteral("[COM1]\r\n") + lines));
}

QString frameProfile(char parity, int dataBits, int stopBits) {
  return QStringLiteral("ｽﾋﾟｰﾄﾞ=38400\r\nﾊﾟﾘﾃｨ=%1\r\nﾃﾞｰﾀ長=%2\r\nｽﾄｯﾌﾟﾋﾞｯﾄ=%3\r\nﾌｨｰﾄﾞ付加=0\r\nStopCode=1\r\n")
      .arg(QChar::fromLatin1(parity))
      .arg(dataBits)
      .arg(stopBits);
}

bool evenOnes(quint8 byte) { return std::popcount(unsigned(byte)) % 2 == 0; }

// 7-bit text framed as a UART puts it on the line: the parity bit in bit 7.
QByteArray framed(const QByteArray& text, char parity) {
  QByteArray out;
  for (const char c : text) {
    const auto b = quint8(c);
    const bool setBit = parity == 'E' ? !evenOnes(b) : evenOnes(b);
    out += char(setBit ? b | 0x80 : b);
  }
  return out;
}

// Runs korvane-cli with args while the machine end collects what arrives.
struct CliRun {
  int exitCode = -1;
  QByteArray wire;
  QByteArray terminal;
  qint64 ms = 0;
};

CliRun runCli(PtyPair& pty, const QStringList& args, int limitMs, const std::function<void(QProcess&, qint64)>& during = {}) {
  CliRun r;
  QProcess cli;
  QElapsedTimer timer;
  timer.start();
  cli.start(KORVANE_CLI_PATH, args);
  if (!cli.waitForStarted()) return r;
  while (cli.state() != QProcess::NotRunning && timer.elapsed() < limitMs) {
    r.wire += pty.read(20);
    if (during) during(cli, timer.elapsed());
    cli.waitForFinished(5);
  }
  if (cli.state() != QProcess::NotRunning) {
    cli.kill();
    cli.waitForFinished(3000);
    return r;
  }
  r.ms = timer.elapsed();
  r.wire += pty.read(50);
  r.exitCode = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
  r.terminal = cli.readAllStandardError() + cli.readAllStandardOutput();
  return r;
}

class CliLine : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(pty.ok() && windir.linkComPort(1, pty.slavePath())); }
  QString program(const QByteArray& text) { return writeTestFile(out.path(), "p.nc", text); }

  PtyPair pty;
  TempWindir windir;
  QTemporaryDir out;
};

}  // namespace

TEST_F(CliLine, SevenBitSendsCarryTheParityBitOfTheFrame) {
  const QString file = program("O1\nG1X2.\n");
  for (const char parity : {'E', 'O'}) {
    SCOPED_TRACE(parity);
    writeProfile(windir.iniPath(), frameProfile(parity, 7, parity == 'E' ? 2 : 1));
    const CliRun r = runCli(pty, {"send", file}, 20000);
    ASSERT_EQ(r.exitCode, 0) << r.terminal.toStdString();
    EXPECT_EQ(r.wire, framed("\n%O1\nG1X2. \n%", parity)) << r.wire.toHex().toStdString();
  }
}

TEST_F(CliLine, SevenEvenReceptionStoresTheProgramAndTellsOfAParityFault) {
  writeProfile(windir.iniPath(), frameProfile('E', 7, 2));
  const QString file = out.filePath("r.nc");
  QByteArray stream = framed("%\nO1\nG1X2.\nM30\n", 'E');
  stream += framed("G1", 'E') + char(framed("X", 'E')[0] ^ 0x80) + framed("3\n%", 'E');  // a faulty X
  bool sent = false;
  const CliRun r = runCli(pty, {"receive", "--file", file}, 10000, [&](QProcess&, qint64 ms) {
    if (!sent && ms > 400) sent = pty.write(stream);
  });
  ASSERT_EQ(r.exitCode, 3) << r.terminal.toStdString();
  EXPECT_EQ(readTestFile(file), "%\r\nO1\r\nG1X2.\r\nM30\r\nG1?3\r\n%\r\n");
  EXPECT_TRUE(QString::fromUtf8(r.terminal).contains("パリティエラーの文字が 1 個")) << r.terminal.toStdString();
}

TEST_F(CliLine, SigtermEndsALongLeaderAtOnce) {
  writeProfile(windir.iniPath(), QStringLiteral("ｽﾋﾟｰﾄﾞ=9600\r\nﾌｨｰﾄﾞ付加=1\r\nﾌｨｰﾄﾞ長=10000\r\nﾌｨｰﾄﾞ長2=10000\r\nStopCode=1\r\n"));
  bool asked = false;
  const CliRun r = runCli(pty, {"send", program("G1\n")}, 20000, [&](QProcess& cli, qint64 ms) {
    if (!asked && ms > 1000) {
      cli.terminate();
      asked = true;
    }
  });
  EXPECT_EQ(r.exitCode, 1) << r.terminal.toStdString();
  EXPECT_LT(r.ms, 1000 + 8000) << "the closing sequence, not the rest of 100 metres of leader";
  EXPECT_FALSE(r.wire.contains('G'));
  EXPECT_TRUE(r.wire.contains(char(0xA5))) << "the tape still gets its closing %";
}

TEST_F(CliLine, CtrlCEndsAnEndlessCharacterDelay) {
  writeProfile(windir.iniPath(), QStringLiteral("Wait=1\r\nWaittime=2147483647\r\nStopCode=1\r\n"));
  bool asked = false;
  const CliRun r = runCli(pty, {"send", program("G1\n")}, 20000, [&](QProcess& cli, qint64 ms) {
    if (!asked && ms > 1000) {
      ::kill(pid_t(cli.processId()), SIGINT);
      asked = true;
    }
  });
  EXPECT_EQ(r.exitCode, 1) << r.terminal.toStdString();
  EXPECT_LT(r.ms, 1000 + 8000);
}

TEST_F(CliLine, FullDiskEndsTheReceptionWithTheSystemsReason) {
  bool sent = false;
  const CliRun r = runCli(pty, {"receive", "--file", "/dev/full"}, 10000, [&](QProcess&, qint64 ms) {
    if (!sent && ms > 400) sent = pty.write(QByteArray::fromHex("a50a47b10aa5"));
  });
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_TRUE(r.terminal.contains("No space left on device")) << r.terminal.toStdString();
  EXPECT_FALSE(r.terminal.contains("Unknown error"));
}
