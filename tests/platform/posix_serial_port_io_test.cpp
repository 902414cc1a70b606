// Bytes over a real pseudo-terminal through the termios backend: every byte value both ways at
// each frame, the frame the driver is given, NUL discarding and the buffer counts.
#include <gtest/gtest.h>

#include "platform/serial/posix_line_rate.h"
#include "pty_port_fixture.h"

namespace korvane::test {
namespace {

QByteArray everyByteValue() {
  QByteArray bytes;
  for (int value = 0; value < 256; ++value) bytes.append(static_cast<char>(value));
  return bytes;
}

struct FrameCase {
  const char* settings;
  int rate;
};

class FrameTest : public PtyPortTest, public ::testing::WithParamInterface<FrameCase> {};

// A pseudo-terminal runs no frame (it forces 8 bits without parity and carries bytes as they
// are); the frame bits themselves are checked on the built termios in posix_termios_test. On a
// 7-bit frame the port builds the character itself: bit 7 carries the parity bit on the way
// out, and on the way in is checked and removed, a faulty character reading "?".
QByteArray expectedOnLine(const QByteArray& bytes, const QString& settings) {
  const QStringList f = settings.split(',');
  if (f[2] != "7") return bytes;
  QByteArray out;
  for (const char c : bytes) {
    const int data = quint8(c) & 0x7F;
    const bool oddData = __builtin_popcount(data) % 2 == 1;
    out += char(data | ((f[1] == "E") == oddData && f[1] != "N" ? 0x80 : 0));
  }
  return out;
}

QByteArray expectedRead(const QByteArray& bytes, const QString& settings) {
  const QStringList f = settings.split(',');
  if (f[2] != "7") return bytes;
  QByteArray out;
  for (const char c : bytes) {
    const bool evenAll = __builtin_popcount(quint8(c)) % 2 == 0;
    const bool good = f[1] == "N" || (f[1] == "E") == evenAll;
    out += good ? char(quint8(c) & 0x7F) : '?';
  }
  return out;
}

TEST_P(FrameTest, DriverRunsTheRateRawAndEveryByteValuePassesBothWays) {
  const FrameCase& c = GetParam();
  openWith(QString::fromLatin1(c.settings));

  const termios t = lineTermios();
  EXPECT_EQ(currentLineRate(pty.masterFd()), c.rate);
  EXPECT_TRUE(t.c_cflag & CLOCAL);
  // Raw: no translation, echo, line editing or signal characters that would eat NC data.
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);

  const QByteArray bytes = everyByteValue();
  for (char byte : bytes) ASSERT_TRUE(port->output(static_cast<quint8>(byte)));
  EXPECT_EQ(pty.read(1000, bytes.size()).toHex().toStdString(), expectedOnLine(bytes, c.settings).toHex().toStdString());

  ASSERT_TRUE(pty.write(bytes));
  EXPECT_EQ(readPort(*port, bytes.size()).toHex().toStdString(), expectedRead(bytes, c.settings).toHex().toStdString());
}

INSTANTIATE_TEST_SUITE_P(Frames, FrameTest,
                         ::testing::Values(FrameCase{"9600,N,8,1", 9600}, FrameCase{"4800,E,7,2", 4800},
                                           FrameCase{"19200,O,7,1", 19200}, FrameCase{"115200,N,8,2", 115200},
                                           FrameCase{"110,E,7,2", 110},
                                           // Rates without a POSIX constant.
                                           FrameCase{"14400,E,7,1", 14400}, FrameCase{"28800,N,8,2", 28800},
                                           FrameCase{"56000,N,8,2", 56000}, FrameCase{"128000,N,8,2", 128000},
                                           FrameCase{"256000,N,8,1", 256000}));

using PortIoTest = PtyPortTest;

TEST_F(PortIoTest, NullDiscardDropsReceivedNulBytesOnlyWhenOn) {
  port->setNullDiscard(true);
  openWith(QStringLiteral("9600,N,8,2"));
  ASSERT_TRUE(pty.write(QByteArray("\0A\0\0B\0", 6)));
  ASSERT_TRUE(pty.write(QByteArray("C")));
  EXPECT_EQ(readPort(*port, 3), QByteArray("ABC"));

  port->setNullDiscard(false);
  ASSERT_TRUE(pty.write(QByteArray("\0D\0", 3)));
  EXPECT_EQ(readPort(*port, 3), QByteArray("\0D\0", 3));
}

TEST_F(PortIoTest, InputCountsWaitingBytesAndInputTakesThemAll) {
  openWith(QStringLiteral("9600,N,8,2"));
  EXPECT_EQ(port->inBufferCount(), 0);
  ASSERT_TRUE(pty.write(QByteArray("G01X1.")));
  port->waitForInput(1000);
  // The driver may hand the bytes over in pieces; wait until all six are counted.
  for (int i = 0; i < 50 && port->inBufferCount() < 6; ++i) port->waitForInput(20);
  EXPECT_EQ(port->inBufferCount(), 6);
  EXPECT_EQ(port->input(), QByteArray("G01X1."));
  EXPECT_EQ(port->inBufferCount(), 0);
  EXPECT_EQ(port->input(), QByteArray());
}

TEST_F(PortIoTest, ClosedPortRefusesOutputAndCountsNothing) {
  EXPECT_FALSE(port->isOpen());
  EXPECT_FALSE(port->output('A'));
  EXPECT_EQ(port->outBufferCount(), 0);
  EXPECT_EQ(port->inBufferCount(), 0);

  openWith(QStringLiteral("9600,N,8,2"));
  port->close();
  EXPECT_FALSE(port->isOpen());
  EXPECT_FALSE(port->output('A'));
  EXPECT_EQ(pty.read(50), QByteArray());
}

TEST_F(PortIoTest, ByteWrittenRightBeforeCloseReachesTheLine) {
  openWith(QStringLiteral("9600,N,8,2"));
  ASSERT_TRUE(port->output(0x12));
  port->close();
  EXPECT_EQ(pty.read(1000, 1), QByteArray("\x12"));
}

TEST_F(PortIoTest, ModemLinesOfAPseudoTerminalCountAsAsserted) {
  port->setDtrEnable(true);
  port->setRtsEnable(true);
  openWith(QStringLiteral("9600,N,8,2"));
  EXPECT_TRUE(port->dsrHolding());
  EXPECT_TRUE(port->cdHolding());
  EXPECT_FALSE(port->failure().has_value());
}

TEST_F(PortIoTest, ClosedPortHasNoModemLines) {
  EXPECT_FALSE(port->dsrHolding());
  EXPECT_FALSE(port->cdHolding());
}

}  // namespace
}  // namespace korvane::test
