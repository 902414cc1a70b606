// What korvane-ports/com<n> may hold: a link to a device, a file with a device-server address,
// nothing (the default device); anything else is refused by name and never replaced by a default.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <unistd.h>

#include "platform/serial/port_entry.h"
#include "platform/serial/serial_port_factory.h"
#include "support/loopback_server.h"
#include "support/pty_pair.h"

namespace korvane::test {
namespace {

bool writeEntry(const TempWindir& windir, int number, const QByteArray& text) {
  if (!QDir().mkpath(windir.path() + QStringLiteral("/korvane-ports"))) return false;
  QFile file(windir.path() + QStringLiteral("/korvane-ports/com%1").arg(number));
  return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

TEST(NetAddress, ReadsTcpAndRfc2217WithNamesAndLiterals) {
  struct Case {
    const char* text;
    NetAddress::Protocol protocol;
    const char* host;
    quint16 port;
  };
  const Case good[] = {
      {"tcp://192.168.1.50:4001", NetAddress::Protocol::RawTcp, "192.168.1.50", 4001},
      {" rfc2217://moxa-3.shop.local:950 ", NetAddress::Protocol::Rfc2217, "moxa-3.shop.local", 950},
      {"TCP://[::1]:2000", NetAddress::Protocol::RawTcp, "::1", 2000},
      {"rfc2217://[fe80::1]:65535/", NetAddress::Protocol::Rfc2217, "fe80::1", 65535},
  };
  for (const Case& c : good) {
    QString problem;
    const auto a = parseNetAddress(QString::fromLatin1(c.text), &problem);
    ASSERT_TRUE(a) << c.text << ": " << problem.toStdString();
    EXPECT_EQ(a->protocol, c.protocol) << c.text;
    EXPECT_EQ(a->host, QString::fromLatin1(c.host));
    EXPECT_EQ(a->port, c.port);
    // The text it gives reads back as the same address.
    const auto again = parseNetAddress(a->text());
    ASSERT_TRUE(again) << a->text().toStdString();
    EXPECT_EQ(again->host, a->host);
    EXPECT_EQ(again->port, a->port);
  }
  EXPECT_EQ(parseNetAddress(QStringLiteral("tcp://[::1]:2000"))->text(), QStringLiteral("tcp://[::1]:2000"));
  for (const char* bad : {"/dev/ttyUSB0", "tcp://host", "tcp://host:0", "tcp://host:70000", "tcp://::1:2000",
                          "tcp://[::1]2000", "tcp://[nonsense]:2000", "udp://host:1", "tcp://:4001", "tcp://a b:1"}) {
    QString problem;
    EXPECT_FALSE(parseNetAddress(QString::fromLatin1(bad), &problem)) << bad;
    EXPECT_FALSE(problem.isEmpty()) << bad;
  }
}

TEST(PortEntry, AFileWithAnAddressIsADeviceServer) {
  TempWindir windir;
  ASSERT_TRUE(windir.ok() && writeEntry(windir, 2, "rfc2217://10.0.0.7:4002\n"));
  const PortEntry entry = resolvePortEntry(2, windir.iniPath());
  EXPECT_EQ(entry.kind, PortEntry::Kind::Network);
  EXPECT_EQ(entry.target(), QStringLiteral("rfc2217://10.0.0.7:4002"));
  EXPECT_EQ(portDevicePath(2, windir.iniPath()), QStringLiteral("rfc2217://10.0.0.7:4002"));
}

TEST(PortEntry, EntriesThatNameNothingAreRefusedByName) {
  TempWindir windir;
  ASSERT_TRUE(windir.ok());
  ASSERT_TRUE(writeEntry(windir, 1, "192.168.1.50:4001\n"));        // no scheme
  ASSERT_TRUE(writeEntry(windir, 2, ""));                           // empty
  ASSERT_TRUE(writeEntry(windir, 3, "tcp://a:1\ntcp://b:2\n"));     // two lines
  ASSERT_TRUE(QDir().mkpath(windir.path() + QStringLiteral("/korvane-ports/com4")));  // a folder
  for (int n = 1; n <= 4; ++n) {
    const PortEntry entry = resolvePortEntry(n, windir.iniPath());
    EXPECT_EQ(entry.kind, PortEntry::Kind::Invalid) << n;
    auto port = makeSerialPort(windir.iniPath());
    port->setCommPort(n);
    PortError error;
    EXPECT_FALSE(port->open(&error)) << n;
    EXPECT_EQ(error.number, kErrBadSettings) << n;
    EXPECT_TRUE(error.description.contains(QStringLiteral("korvane-ports/com%1").arg(n))) << error.description.toStdString();
  }
}

// The fault as a new user met it: the entry held an address, korvane sent to /dev/ttyS0 instead.
TEST(PortEntry, AnAddressFileIsWhereTheBytesGo) {
  TempWindir windir;
  LoopbackServer server([&](int fd) { server.record(LoopbackServer::read(fd, 2000, 1)); });
  ASSERT_TRUE(windir.ok() && server.ok());
  ASSERT_TRUE(writeEntry(windir, 1, QStringLiteral("tcp://127.0.0.1:%1\n").arg(server.port()).toUtf8()));
  auto port = makeSerialPort(windir.iniPath());
  port->setCommPort(1);
  PortError error;
  ASSERT_TRUE(port->open(&error)) << error.description.toStdString();
  ASSERT_TRUE(port->output('%'));
  port->close();
  EXPECT_EQ(server.recorded(2000, 1), QByteArray("%"));
}

TEST(PortEntry, OneObjectServesADeviceAndADeviceServerInTurn) {
  TempWindir windir;
  PtyPair pty;
  LoopbackServer server([&](int fd) { server.record(LoopbackServer::read(fd, 2000, 1)); });
  ASSERT_TRUE(windir.ok() && pty.ok() && server.ok());
  ASSERT_TRUE(windir.linkComPort(1, pty.slavePath()));
  ASSERT_TRUE(writeEntry(windir, 2, QStringLiteral("tcp://127.0.0.1:%1").arg(server.port()).toUtf8()));
  auto port = makeSerialPort(windir.iniPath());
  PortError error;
  for (int n : {2, 1}) {
    port->setCommPort(n);
    port->setSettings(QStringLiteral("9600,E,7,2"));
    ASSERT_TRUE(port->open(&error)) << error.description.toStdString();
    ASSERT_TRUE(port->output(n == 1 ? 'A' : 'B'));
    port->close();
  }
  EXPECT_EQ(pty.read(1000, 1), QByteArray("A"));
  EXPECT_EQ(server.recorded(2000, 1), QByteArray("B"));
}

}  // namespace
}  // namespace korvane::test
