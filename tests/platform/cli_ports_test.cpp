// korvane-cli ports, run as its own process: one line per port with its device and whether it
// opens, and our lock seen from another process.
#include <gtest/gtest.h>

#include <QProcess>

#include "pty_port_fixture.h"

namespace korvane::test {
namespace {

QStringList runPorts(int* exitCode) {
  QProcess cli;
  cli.start(QStringLiteral(KORVANE_CLI_PATH), {QStringLiteral("ports")});
  EXPECT_TRUE(cli.waitForFinished(10000));
  *exitCode = cli.exitCode();
  return QString::fromUtf8(cli.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

class CliPortsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(windir.ok() && pty.ok());
    // Every port is mapped, so that the run never touches a real serial device of this machine.
    ASSERT_TRUE(windir.linkComPort(1, pty.slavePath()));
    for (int n = 2; n <= 10; ++n) ASSERT_TRUE(windir.linkComPort(n, missing(n)));
  }
  QString missing(int n) const { return windir.path() + QStringLiteral("/absent%1").arg(n); }

  TempWindir windir;
  PtyPair pty;
};

TEST_F(CliPortsTest, ListsEveryPortWithItsDeviceAndState) {
  int exitCode = -1;
  const QStringList lines = runPorts(&exitCode);
  EXPECT_EQ(exitCode, 0);
  ASSERT_EQ(lines.size(), 10);
  EXPECT_EQ(lines[0], QStringLiteral("Com 1\t%1\tok").arg(pty.slavePath()));
  for (int n = 2; n <= 10; ++n) {
    EXPECT_TRUE(lines[n - 1].startsWith(QStringLiteral("Com %1\t%2\tポートが存在しません (").arg(n).arg(missing(n))))
        << lines[n - 1].toStdString();
  }
}

TEST_F(CliPortsTest, PortHeldByAnotherProcessIsBusy) {
  auto holder = portOnDevice(pty.slavePath());
  PortError error;
  ASSERT_TRUE(holder->open(&error)) << error.description.toStdString();
  int exitCode = -1;
  const QStringList lines = runPorts(&exitCode);
  EXPECT_EQ(exitCode, 0);
  ASSERT_FALSE(lines.isEmpty());
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Com 1\t%1\tポートは使用中です (").arg(pty.slavePath())))
      << lines[0].toStdString();
}

}  // namespace
}  // namespace korvane::test
