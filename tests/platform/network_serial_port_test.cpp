// A Com port on a serial device server, against a stand-in server on loopback: raw bytes as they
// are, flow control in band, the line rate kept, and failures that name the address and the reason.
#include <gtest/gtest.h>

#include <poll.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>

#include "platform/network/network_serial_port.h"
#include "platform/network/rfc2217_server.h"
#include "support/loopback_server.h"

namespace korvane::test {
namespace {

NetAddress loopback(quint16 port, NetAddress::Protocol protocol = NetAddress::Protocol::RawTcp) {
  NetAddress a;
  a.protocol = protocol;
  a.host = QStringLiteral("127.0.0.1");
  a.port = port;
  return a;
}

// Writes as the send engine does: each byte once the port's output count is 0.
bool writePaced(SerialPort& port, const QByteArray& bytes, int limitMs = 10000) {
  QElapsedTimer timer;
  timer.start();
  for (const char c : bytes) {
    while (port.outBufferCount() > 0) {
      if (port.failure() || timer.elapsed() > limitMs) return false;
      port.waitForOutput(50);
    }
    if (!port.output(quint8(c))) return false;
  }
  while (port.outBufferCount() > 0 && !port.failure() && timer.elapsed() < limitMs) port.waitForOutput(50);
  return !port.failure();
}

TEST(NetworkPort, RawBytesPassAsTheyAreBothWays) {
  QByteArray all;
  for (int b = 0; b < 256; ++b) all.append(char(b));
  LoopbackServer server([&](int fd) {
    LoopbackServer::write(fd, QByteArray::fromHex("00ff1341"));
    server.record(LoopbackServer::read(fd, 3000, 256));
    LoopbackServer::read(fd, 3000);  // until korvane closes: leaving first would be a failure
  });
  ASSERT_TRUE(server.ok());
  NetworkSerialPort port(loopback(server.port()));
  port.setSettings(QStringLiteral("115200,N,8,1"));
  PortError error;
  ASSERT_TRUE(port.open(&error)) << error.description.toStdString();
  ASSERT_TRUE(writePaced(port, all));
  EXPECT_EQ(server.recorded(3000, 256), all);
  // Without XON/XOFF a 0x13 is data; NUL stays unless discarded.
  QByteArray in;
  for (int i = 0; i < 100 && in.size() < 4; ++i) {
    port.waitForInput(50);
    in += port.input();
  }
  EXPECT_EQ(in, QByteArray::fromHex("00ff1341"));
  port.close();
}

struct FlowCase {
  bool highBit;
  const char* stop;
  const char* go;
};

TEST(NetworkPort, RawDc3HoldsTheOutputUntilDc1) {
  for (const FlowCase c : {FlowCase{false, "13", "11"}, FlowCase{true, "93", "91"}}) {
    LoopbackServer server([&](int fd) {
      LoopbackServer::write(fd, QByteArray::fromHex(c.stop));
      const QByteArray whileHeld = LoopbackServer::read(fd, 700, 1);
      LoopbackServer::write(fd, QByteArray::fromHex(c.go) + "Z");
      server.record(whileHeld + "|" + LoopbackServer::read(fd, 3000, 1));
      LoopbackServer::read(fd, 3000);
    });
    ASSERT_TRUE(server.ok());
    NetworkSerialPort port(loopback(server.port()));
    port.setHandshaking(kHandshakeXonXoff);
    port.setHighBitFlowControl(c.highBit);
    PortError error;
    ASSERT_TRUE(port.open(&error)) << error.description.toStdString();
    port.waitForInput(300);  // the stop arrives meanwhile and is no data
    EXPECT_EQ(port.inBufferCount(), 0);
    ASSERT_TRUE(port.output('A'));
    EXPECT_GT(port.outBufferCount(), 0) << c.stop;
    EXPECT_TRUE(writePaced(port, {}));  // waits until the machine lets it go
    EXPECT_EQ(server.recorded(3000, 2), QByteArray("|A")) << c.stop;
    EXPECT_EQ(port.input(), QByteArray("Z"));
    port.close();
  }
}

TEST(NetworkPort, FlowBytesReachTheReaderWhenAsked) {
  LoopbackServer server([&](int fd) {
    LoopbackServer::write(fd, QByteArray::fromHex("13331193"));
    LoopbackServer::read(fd, 500);
  });
  ASSERT_TRUE(server.ok());
  NetworkSerialPort port(loopback(server.port()));
  port.setHandshaking(kHandshakeXonXoff);
  port.setReceiveFlowBytes(true);
  PortError error;
  ASSERT_TRUE(port.open(&error)) << error.description.toStdString();
  QByteArray in;
  for (int i = 0; i < 100 && in.size() < 4; ++i) {
    port.waitForInput(50);
    in += port.input();
  }
  EXPECT_EQ(in, QByteArray::fromHex("13331193"));
}

TEST(NetworkPort, OutputKeepsToTheLineRate) {
  LoopbackServer server([&](int fd) {
    server.record(LoopbackServer::read(fd, 3000, 40));
    LoopbackServer::read(fd, 3000);
  });
  ASSERT_TRUE(server.ok());
  NetworkSerialPort port(loopback(server.port()));
  port.setSettings(QStringLiteral("1200,N,8,1"));  // 120 characters a second
  PortError error;
  ASSERT_TRUE(port.open(&error)) << error.description.toStdString();
  QElapsedTimer timer;
  timer.start();
  ASSERT_TRUE(writePaced(port, QByteArray(40, 'x')));
  // Sixteen characters may go ahead of the line, as into a UART's FIFO; the rest wait their turn.
  EXPECT_GE(timer.elapsed(), (40 - 16 - 1) * 1000 / 120);
  EXPECT_EQ(server.recorded(3000, 40), QByteArray(40, 'x'));
}

TEST(NetworkPort, OneDeviceServerAddressIsOneProgramsAtATime) {
  // A listening socket takes connections into its backlog without accepting them: enough for
  // two ports to get as far as the lock.
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof at;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
  ASSERT_EQ(::listen(listener, 4), 0);
  ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&at), &length), 0);
  const NetAddress address = loopback(ntohs(at.sin_port));

  NetworkSerialPort first(address), second(address);
  PortError error;
  ASSERT_TRUE(first.open(&error)) << error.description.toStdString();
  EXPECT_FALSE(second.open(&error));
  EXPECT_EQ(error.number, kErrPortBusy);
  EXPECT_TRUE(error.description.contains(QStringLiteral("ポートは使用中です")) &&
              error.description.contains(QStringLiteral("(pid %1)").arg(::getpid())))
      << error.description.toStdString();
  first.close();
  EXPECT_TRUE(second.open(&error)) << error.description.toStdString();
  second.close();
  ::close(listener);
}

TEST(NetworkPort, RefusedConnectionNamesTheAddressAndTheReason) {
  const quint16 closed = closedLoopbackPort();
  NetworkSerialPort port(loopback(closed));
  port.setCommPort(3);
  PortError error;
  EXPECT_FALSE(port.open(&error));
  EXPECT_NE(error.number, kErrInvalidPort);  // the port exists; the server is not there now
  EXPECT_TRUE(error.description.contains(QStringLiteral("Com 3: tcp://127.0.0.1:%1").arg(closed))) << error.description.toStdString();
  EXPECT_TRUE(error.description.contains(QStringLiteral("refused"))) << error.description.toStdString();
  EXPECT_FALSE(port.isOpen());
}

TEST(NetworkPort, ServerGoneMidSendIsAFailureAndWhatCameStays) {
  LoopbackServer server([&](int fd) {
    LoopbackServer::read(fd, 3000, 10);
    LoopbackServer::write(fd, "last words");
    ::shutdown(fd, SHUT_RDWR);
  });
  ASSERT_TRUE(server.ok());
  NetworkSerialPort port(loopback(server.port()));
  port.setSettings(QStringLiteral("115200,N,8,1"));
  PortError error;
  ASSERT_TRUE(port.open(&error)) << error.description.toStdString();
  EXPECT_FALSE(writePaced(port, QByteArray(5000, 'x')));
  ASSERT_TRUE(port.failure());
  EXPECT_EQ(port.failure()->number, kErrDeviceLost);
  EXPECT_TRUE(port.failure()->description.contains(QStringLiteral("tcp://127.0.0.1:%1").arg(server.port())));
  EXPECT_EQ(port.input(), QByteArray("last words"));
  EXPECT_FALSE(port.output('y'));
}

TEST(NetworkPort, Ipv6LiteralConnects) {
  LoopbackServer server(
      [&](int fd) {
        server.record(LoopbackServer::read(fd, 3000, 2));
        LoopbackServer::read(fd, 3000);
      },
      true);
  ASSERT_TRUE(server.ok());
  const auto address = parseNetAddress(QStringLiteral("tcp://[::1]:%1").arg(server.port()));
  ASSERT_TRUE(address);
  NetworkSerialPort port(*address);
  PortError error;
  ASSERT_TRUE(port.open(&error)) << error.description.toStdString();
  ASSERT_TRUE(writePaced(port, "ok"));
  EXPECT_EQ(server.recorded(3000, 2), QByteArray("ok"));
}

// The device-server end of RFC 2217 for one connection: answers the client, collects its data
// until `expected` bytes came or the window passed, and can say something of its own first.
QByteArray serveRfc2217(int fd, Rfc2217Server& codec, int windowMs, int expected = -1) {
  QByteArray data;
  QElapsedTimer timer;
  timer.start();
  while ((expected < 0 || data.size() < expected) && timer.elapsed() < windowMs) {
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, int(windowMs - timer.elapsed())) <= 0) break;
    char buffer[4096];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    const QByteArray replies = codec.receive(QByteArrayView(buffer, n), &data);
    if (!replies.isEmpty()) LoopbackServer::write(fd, replies);
  }
  return data;
}

TEST(Rfc2217Port, OpenSetsTheServersLineAndDataTravelsEscaped) {
  LoopbackServer server([&](int fd) {
    Rfc2217Server codec;
    LoopbackServer::write(fd, codec.start() + Rfc2217Server::data(QByteArray::fromHex("ff41")));
    const QByteArray data = serveRfc2217(fd, codec, 3000, 3);
    QByteArray controls;
    for (quint8 c : codec.controls()) controls.append(char(c));
    server.record(QStringLiteral("%1 %2 %3 %4 ").arg(codec.baudRate()).arg(codec.dataBits()).arg(codec.parity()).arg(codec.stopBits()).toLatin1() +
                  controls.toHex() + " " + data.toHex());
    serveRfc2217(fd, codec, 3000);
  });
  ASSERT_TRUE(server.ok());
  NetworkSerialPort port(loopback(server.port(), NetAddress::Protocol::Rfc2217));
  port.setSettings(QStringLiteral("4800,E,7,2"));
  port.setHandshaking(kHandshakeXonXoff);
  port.setDtrEnable(true);
  port.setRtsEnable(true);
  PortError error;
  ASSERT_TRUE(port.open(&error)) << error.description.toStdString();
  ASSERT_TRUE(writePaced(port, QByteArray::fromHex("ff00ff")));
  // 4800 baud, 7 bits, even (3), 2 stop bits; outbound and inbound XON/XOFF, DTR on, RTS on.
  EXPECT_EQ(server.recorded(5000, 20), QByteArray("4800 7 3 2 020f080b ff00ff"));
  QByteArray in;
  for (int i = 0; i < 40 && in.size() < 2; ++i) {
    port.waitForInput(50);
    in += port.input();
  }
  EXPECT_EQ(in, QByteArray::fromHex("ff41"));
}

TEST(Rfc2217Port, ServerWithoutComPortControlIsRefusedWithAHint) {
  LoopbackServer server([&](int fd) {
    Rfc2217Server plainTelnet(false);
    LoopbackServer::write(fd, plainTelnet.start());
    serveRfc2217(fd, plainTelnet, 2000);
  });
  ASSERT_TRUE(server.ok());
  NetworkSerialPort port(loopback(server.port(), NetAddress::Protocol::Rfc2217));
  PortError error;
  EXPECT_FALSE(port.open(&error));
  EXPECT_EQ(error.number, kErrBadSettings);
  EXPECT_TRUE(error.description.contains(QStringLiteral("RFC 2217"))) << error.description.toStdString();
  EXPECT_TRUE(error.description.contains(QStringLiteral("tcp://"))) << error.description.toStdString();
  EXPECT_FALSE(port.isOpen());
}

TEST(Rfc2217Port, SuspendHoldsOutputAndModemLinesFollowTheServer) {
  LoopbackServer server([&](int fd) {
    Rfc2217Server codec;
    LoopbackServer::write(fd, codec.start());
    serveRfc2217(fd, codec, 300);  // negotiation and settings
    LoopbackServer::write(fd, codec.notifyModemState(telnet::kModemCd) + codec.flowControl(true));
    const QByteArray whileHeld = serveRfc2217(fd, codec, 700, 1);
    LoopbackServer::write(fd, codec.flowControl(false));
    server.record(whileHeld + "|" + serveRfc2217(fd, codec, 3000, 1));
    serveRfc2217(fd, codec, 3000);
  });
  ASSERT_TRUE(server.ok());
  NetworkSerialPort port(loopback(server.port(), NetAddress::Protocol::Rfc2217));
  PortError error;
  ASSERT_TRUE(port.open(&error)) << error.description.toStdString();
  EXPECT_TRUE(port.dsrHolding());  // nothing reported yet
  port.waitForInput(500);
  EXPECT_FALSE(port.dsrHolding());
  EXPECT_TRUE(port.cdHolding());
  ASSERT_TRUE(port.output('A'));
  EXPECT_GT(port.outBufferCount(), 0);
  EXPECT_TRUE(writePaced(port, {}));
  EXPECT_EQ(server.recorded(3000, 2), QByteArray("|A"));
}

}  // namespace
}  // namespace korvane::test
