// Drip feed: korvane-cli send to the simulated machine while the machine executes slower than
// the line, so that its DC3 and DC1 hold the send all the time, at each rate a shop sets, on a
// real pseudo-terminal and behind a device server on loopback (raw TCP, paced by korvane). The
// reader keeps only the 10 characters free that a Fanuc-style control allows after its DC3:
// every character must arrive, none of them an overrun.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "support/cp932_iconv.h"
#include "support/pty_pair.h"
#include "support/test_files.h"

using namespace korvane::test;

namespace {

// The blocks a reader keeps: no blank lines, no "%", no trailing blanks.
QStringList blocks(const QString& text) {
  QStringList out;
  for (QString line : text.split(QLatin1Char('\n'))) {
    line = line.trimmed();
    if (!line.isEmpty() && line != QLatin1String("%")) out << line;
  }
  return out;
}

QString program(int characters) {
  QString text = QStringLiteral("%\nO4321\nG90 G54\n");
  for (int n = 1; text.size() < characters; ++n)
    text += QStringLiteral("N%1 G01 X%2 Y%3 F300\n").arg(n).arg(n % 97 * 1.25, 0, 'f', 3).arg(n % 53 * -0.5, 0, 'f', 3);
  return text + QStringLiteral("M30\n%\n");
}

struct DripCase {
  int baud;
  bool deviceServer;
};

class CliDripFeed : public ::testing::TestWithParam<DripCase> {};

TEST_P(CliDripFeed, EveryCharacterArrivesWithinTheReadersAllowanceAfterEachDc3) {
  const int baud = GetParam().baud;
  const bool deviceServer = GetParam().deviceServer;
  const double lineCps = baud / 11.0;  // 8N2
  TempWindir windir;
  QTemporaryDir work;
  ASSERT_TRUE(windir.ok() && work.isValid());
  writeTestFile(windir.path(), "korvane.ini",
                iconvEncodeCp932(QStringLiteral("[COM1]\r\nｽﾋﾟｰﾄﾞ=%1\r\nｽﾄｯﾌﾟﾋﾞｯﾄ=2\r\nﾊﾝﾄﾞｼｪｲｸ=1\r\nStopCode=1\r\n").arg(baud)));
  // About 1.2 s of executing at half the line rate, which fills the reader's buffer of 64
  // characters many times over.
  const QString text = program(int(lineCps * 0.6));
  const QString path = writeTestFile(work.path(), "drip.nc", text.toLatin1());

  QProcess machine;
  QStringList where{"--link", "1"};
  if (deviceServer) where << "--listen" << "127.0.0.1:0";
  machine.start(KORVANE_CLI_PATH,
                QStringList{"machine", "--baud", QString::number(baud), "--frame", "8N2", "--buffer", "64", "--margin",
                            "10", "--consume", QString::number(lineCps / 2, 'f', 0), "--store", work.path() + "/got",
                            "--exit-after", "1", "--idle-exit", "10"} +
                    where);
  ASSERT_TRUE(machine.waitForReadyRead(10000)) << "the machine did not start";
  QProcess send;
  send.start(KORVANE_CLI_PATH, {"send", "--profile", "1", path});
  ASSERT_TRUE(send.waitForFinished(30000));
  EXPECT_EQ(send.exitCode(), 0) << send.readAllStandardError().toStdString();
  ASSERT_TRUE(machine.waitForFinished(15000));
  QByteArray out = machine.readAllStandardOutput();
  const QJsonObject summary = QJsonDocument::fromJson(out.mid(out.indexOf('{'))).object();
  ASSERT_FALSE(summary.isEmpty()) << out.toStdString();

  EXPECT_EQ(summary["margin"].toInt(), 10);
  EXPECT_GE(summary["dc3_sent"].toInt(), 5) << "flow control held the send";
  EXPECT_EQ(summary["overruns"].toInt(), 0);
  EXPECT_EQ(summary["lost"].toInt(), 0);
  EXPECT_LE(summary["max_bytes_after_dc3"].toInt(), 10);
  EXPECT_EQ(summary["parity_errors"].toInt(), 0);
  EXPECT_EQ(summary["programs"].toInt(), 1);
  EXPECT_EQ(summary["incomplete_programs"].toInt(), 0);
  const QStringList stored = QDir(work.path() + "/got").entryList({"*.nc"}, QDir::Files);
  ASSERT_EQ(stored.size(), 1);
  QFile got(work.path() + "/got/" + stored.first());
  ASSERT_TRUE(got.open(QIODevice::ReadOnly));
  EXPECT_EQ(blocks(QString::fromLatin1(got.readAll())), blocks(text));
}

INSTANTIATE_TEST_SUITE_P(Rates, CliDripFeed,
                         ::testing::Values(DripCase{4800, false}, DripCase{9600, false}, DripCase{19200, false},
                                           DripCase{38400, false}, DripCase{9600, true}, DripCase{38400, true}),
                         [](const auto& info) {
                           return (info.param.deviceServer ? "tcp_" : "pty_") + std::to_string(info.param.baud);
                         });

}  // namespace
