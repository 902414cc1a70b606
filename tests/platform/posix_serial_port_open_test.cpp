// Opening and losing the port: the error numbers and texts an operator sees, our own lock
// against a second user of the same device, and a device that vanishes while open.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstring>

#include "pty_port_fixture.h"

namespace korvane::test {
namespace {

std::string text(const QString& s) { return s.toStdString(); }

TEST(PortOpenErrors, MissingDeviceIsInvalidPortWithPathAndOsText) {
  const QString missing = QStringLiteral("/nonexistent-korvane/ttyS9");
  auto port = portOnDevice(missing);
  port->setCommPort(3);
  PortError error;
  EXPECT_FALSE(port->open(&error));
  EXPECT_FALSE(port->isOpen());
  EXPECT_EQ(error.number, kErrInvalidPort);
  EXPECT_EQ(error.description, QStringLiteral("ポートが存在しません (Com 3: %1: %2)")
                                   .arg(missing, QString::fromLocal8Bit(std::strerror(ENOENT))));
}

TEST(PortOpenErrors, PortWithoutDeviceIsInvalidPort) {
  PosixSerialPort port([](int) { return QString(); });
  port.setCommPort(11);
  PortError error;
  EXPECT_FALSE(port.open(&error));
  EXPECT_EQ(error.number, kErrInvalidPort);
  EXPECT_TRUE(error.description.contains(QStringLiteral("Com 11"))) << text(error.description);
}

TEST(PortOpenErrors, FileThatIsNoTerminalIsInvalidPort) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(QStringLiteral("plain-file"));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  auto port = portOnDevice(path);
  PortError error;
  EXPECT_FALSE(port->open(&error));
  EXPECT_EQ(error.number, kErrInvalidPort);
  EXPECT_TRUE(error.description.startsWith(QStringLiteral("シリアルポートではありません"))) << text(error.description);
  EXPECT_TRUE(error.description.contains(path));
}

using PortOpenTest = PtyPortTest;

TEST_F(PortOpenTest, SecondOpenOfTheSameDeviceIsBusyUntilTheFirstCloses) {
  openWith(QStringLiteral("9600,N,8,2"));
  auto second = portOnDevice(pty.slavePath());
  second->setCommPort(2);
  PortError error;
  EXPECT_FALSE(second->open(&error));
  EXPECT_EQ(error.number, kErrPortBusy);
  EXPECT_TRUE(error.description.startsWith(QStringLiteral("ポートは使用中です (Com 2: %1").arg(pty.slavePath())))
      << text(error.description);

  // The refused open left the first user's line alone.
  ASSERT_TRUE(port->output('K'));
  EXPECT_EQ(pty.read(1000, 1), QByteArray("K"));

  port->close();
  EXPECT_TRUE(second->open(&error)) << text(error.description);
}

TEST_F(PortOpenTest, OpeningAnOpenPortFails) {
  openWith(QStringLiteral("9600,N,8,2"));
  PortError error;
  EXPECT_FALSE(port->open(&error));
  EXPECT_NE(error.number, 0);
  EXPECT_TRUE(port->isOpen());
}

class BadSettingsTest : public PtyPortTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(BadSettingsTest, OpenFailsWithBadSettingsAndLeavesTheDeviceFree) {
  const QString settings = QString::fromUtf8(GetParam());
  port->setSettings(settings);
  PortError error;
  EXPECT_FALSE(port->open(&error));
  EXPECT_FALSE(port->isOpen());
  EXPECT_EQ(error.number, kErrBadSettings);
  EXPECT_TRUE(error.description.startsWith(QStringLiteral("通信設定が正しくありません"))) << text(error.description);
  EXPECT_TRUE(error.description.contains(QLatin1Char('"') + settings + QLatin1Char('"'))) << text(error.description);

  auto other = portOnDevice(pty.slavePath());
  EXPECT_TRUE(other->open(&error)) << text(error.description);
}

INSTANTIATE_TEST_SUITE_P(Texts, BadSettingsTest,
                         ::testing::Values("", "9600", "9600,N,8", "9600,X,8,1", "9600,N,9,1", "9600,N,6,1",
                                           "9600,N,8,1.5", "12345,N,8,1", "9600,N,8,2,1"));

TEST_F(PortOpenTest, SettingsTextIsCheckedAtEveryOpen) {
  port->setSettings(QStringLiteral("9600,Q,8,2"));
  PortError error;
  EXPECT_FALSE(port->open(&error));
  port->setSettings(QStringLiteral("9600,E,7,2"));
  EXPECT_TRUE(port->open(&error)) << text(error.description);
}

TEST_F(PortOpenTest, VanishedDeviceIsReportedWhileWaitingForInput) {
  openWith(QStringLiteral("9600,N,8,2"));
  EXPECT_FALSE(port->failure().has_value());
  pty.closeMaster();
  port->waitForInput(1000);
  ASSERT_TRUE(port->failure().has_value());
  EXPECT_EQ(port->failure()->number, kErrDeviceLost);
  EXPECT_TRUE(port->failure()->description.contains(pty.slavePath())) << text(port->failure()->description);
  EXPECT_FALSE(port->output('L'));
  EXPECT_EQ(port->inBufferCount(), 0);

  port->close();
  EXPECT_FALSE(port->failure().has_value());
}

TEST_F(PortOpenTest, VanishedDeviceIsReportedByTheNextOutput) {
  openWith(QStringLiteral("9600,N,8,2"));
  pty.closeMaster();
  EXPECT_FALSE(port->output('L'));
  ASSERT_TRUE(port->failure().has_value());
  EXPECT_EQ(port->failure()->number, kErrDeviceLost);
  // Bytes that can never leave are not counted, so a caller waiting for an empty buffer ends.
  EXPECT_EQ(port->outBufferCount(), 0);
}

TEST_F(PortOpenTest, VanishedDeviceIsReportedByTheModemLines) {
  openWith(QStringLiteral("9600,N,8,2"));
  pty.closeMaster();
  EXPECT_FALSE(port->dsrHolding());
  ASSERT_TRUE(port->failure().has_value());
  EXPECT_EQ(port->failure()->number, kErrDeviceLost);
}

}  // namespace
}  // namespace korvane::test
