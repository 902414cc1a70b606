// Which device "Com n" is: a link korvane-ports/com<n> beside the settings file, else ttyS<n-1>.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <unistd.h>

#include "platform/serial/serial_port_factory.h"
#include "settings/settings_store.h"
#include "support/pty_pair.h"

namespace korvane::test {
namespace {

TEST(PortMapping, LinkInTheSettingsFolderNamesTheDevice) {
  TempWindir windir;
  PtyPair pty;
  ASSERT_TRUE(windir.ok() && pty.ok());
  ASSERT_TRUE(windir.linkComPort(3, pty.slavePath()));
  ASSERT_EQ(SettingsStore::defaultIniPath(), windir.iniPath());

  EXPECT_EQ(portDevicePath(3, SettingsStore::defaultIniPath()), pty.slavePath());
  EXPECT_EQ(portDevicePath(2, SettingsStore::defaultIniPath()), QStringLiteral("/dev/ttyS1"));

  auto port = makeSerialPort(SettingsStore::defaultIniPath());
  port->setCommPort(3);
  port->setSettings(QStringLiteral("9600,E,7,2"));
  PortError error;
  ASSERT_TRUE(port->open(&error)) << error.description.toStdString();
  ASSERT_TRUE(port->output('%'));
  EXPECT_EQ(pty.read(1000, 1), QByteArray("\xA5")) << "the even parity bit of the 7-bit frame in bit 7";
}

TEST(PortMapping, WithoutALinkPortNIsTtySNMinusOne) {
  TempWindir windir;
  ASSERT_TRUE(windir.ok());
  EXPECT_EQ(portDevicePath(1, windir.iniPath()), QStringLiteral("/dev/ttyS0"));
  EXPECT_EQ(portDevicePath(10, windir.iniPath()), QStringLiteral("/dev/ttyS9"));
  // Only the lower-case name counts.
  ASSERT_TRUE(QDir().mkpath(windir.path() + QStringLiteral("/korvane-ports")));
  ASSERT_EQ(::symlink("/dev/null", QFile::encodeName(windir.path() + QStringLiteral("/korvane-ports/COM5")).constData()), 0);
  EXPECT_EQ(portDevicePath(5, windir.iniPath()), QStringLiteral("/dev/ttyS4"));
}

TEST(PortMapping, NoPortBelowOne) {
  EXPECT_TRUE(portDevicePath(0, QStringLiteral("/tmp/korvane.ini")).isEmpty());
  EXPECT_TRUE(portDevicePath(-1, QStringLiteral("/tmp/korvane.ini")).isEmpty());
}

TEST(PortMapping, RelativeLinkIsTakenFromTheLinkFolder) {
  TempWindir windir;
  ASSERT_TRUE(windir.ok());
  ASSERT_TRUE(windir.linkComPort(2, QStringLiteral("../adapter")));
  EXPECT_EQ(portDevicePath(2, windir.iniPath()), QFileInfo(windir.path() + QStringLiteral("/adapter")).absoluteFilePath());
}

TEST(PortMapping, LinkToAMissingAdapterOpensAsInvalidPortNamingIt) {
  TempWindir windir;
  ASSERT_TRUE(windir.ok());
  const QString unplugged = windir.path() + QStringLiteral("/ttyUSB7");
  ASSERT_TRUE(windir.linkComPort(4, unplugged));
  EXPECT_EQ(portDevicePath(4, windir.iniPath()), unplugged);

  auto port = makeSerialPort(windir.iniPath());
  port->setCommPort(4);
  PortError error;
  EXPECT_FALSE(port->open(&error));
  EXPECT_EQ(error.number, kErrInvalidPort);
  EXPECT_TRUE(error.description.contains(QStringLiteral("Com 4: ") + unplugged)) << error.description.toStdString();
}

}  // namespace
}  // namespace korvane::test
