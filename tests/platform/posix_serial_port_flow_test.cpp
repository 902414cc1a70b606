// Flow control carried out by the port layer, checked on a pseudo-terminal where the test plays
// the machine: DC3 holds our output, DC1 releases it, the flow bytes never reach the reader, and
// the variants with a parity bit (0x91/0x93) and with flow bytes handed to the reader.
#include <gtest/gtest.h>

#include "platform/serial/posix_line_rate.h"
#include "pty_port_fixture.h"

namespace korvane::test {
namespace {

using FlowTest = PtyPortTest;

// The machine sends `flowByte` and then a marker; once the marker is read, the port has seen
// the flow byte too (the driver handles input in order).
QByteArray sendWithMarker(PtyPair& pty, SerialPort& port, char flowByte) {
  EXPECT_TRUE(pty.write(QByteArray(1, flowByte) + "M"));
  return readPort(port, 1);
}

TEST_F(FlowTest, XonXoffHoldsOutputAfterDc3AndReleasesItAfterDc1) {
  openWith(QStringLiteral("9600,N,8,2"), kHandshakeXonXoff);
  const termios t = lineTermios();
  EXPECT_TRUE(t.c_iflag & IXON);
  EXPECT_TRUE(t.c_iflag & IXOFF);
  EXPECT_FALSE(t.c_iflag & IXANY);
  EXPECT_FALSE(t.c_cflag & CRTSCTS);

  EXPECT_EQ(sendWithMarker(pty, *port, 0x13), QByteArray("M"));
  ASSERT_TRUE(port->output('X'));
  ASSERT_TRUE(port->output('Y'));
  EXPECT_EQ(pty.read(50), QByteArray());
  port->waitForOutput(30);
  EXPECT_EQ(port->outBufferCount(), 2);

  ASSERT_TRUE(pty.write(QByteArray("\x11")));
  port->waitForOutput(1000);
  EXPECT_EQ(pty.read(1000, 2), QByteArray("XY"));
  EXPECT_EQ(port->outBufferCount(), 0);
  EXPECT_EQ(port->input(), QByteArray());
}

TEST_F(FlowTest, RtsCtsAndBothModesSetTheDriverFlags) {
  openWith(QStringLiteral("9600,N,8,2"), kHandshakeRtsCts);
  termios t = lineTermios();
  EXPECT_TRUE(t.c_cflag & CRTSCTS);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);

  port->setHandshaking(kHandshakeBoth);
  t = lineTermios();
  EXPECT_TRUE(t.c_cflag & CRTSCTS);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), tcflag_t(IXON | IXOFF));

  port->setHandshaking(kHandshakeNone);
  t = lineTermios();
  EXPECT_FALSE(t.c_cflag & CRTSCTS);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
}

TEST_F(FlowTest, HandshakeChangedWhileOpenActsAtOnceAndKeepsTheRate) {
  openWith(QStringLiteral("14400,N,8,1"), kHandshakeNone);
  // Without flow control DC3 is data, as the wait for the machine's DC1 needs it.
  ASSERT_TRUE(pty.write(QByteArray("\x13")));
  EXPECT_EQ(readPort(*port, 1), QByteArray("\x13"));

  port->setHandshaking(kHandshakeXonXoff);
  EXPECT_EQ(currentLineRate(pty.masterFd()), 14400);
  EXPECT_EQ(sendWithMarker(pty, *port, 0x13), QByteArray("M"));
  ASSERT_TRUE(port->output('Z'));
  EXPECT_EQ(pty.read(50), QByteArray());
  EXPECT_EQ(port->outBufferCount(), 1);

  // Leaving XON/XOFF lets the held output go.
  port->setHandshaking(kHandshakeNone);
  port->waitForOutput(1000);
  EXPECT_EQ(pty.read(1000, 1), QByteArray("Z"));
}

struct HighBitCase {
  char stop;
  char go;
};

class HighBitFlowTest : public PtyPortTest, public ::testing::WithParamInterface<HighBitCase> {};

// A control with 7 data bits and a parity bit sends one of DC1/DC3 with bit 7 set and the other
// without (even parity: 0x93 and 0x11; odd: 0x13 and 0x91); every pairing must hold and release.
TEST_P(HighBitFlowTest, EitherFormOfDc3HoldsAndEitherFormOfDc1Releases) {
  port->setHighBitFlowControl(true);
  openWith(QStringLiteral("9600,N,8,2"), kHandshakeXonXoff);

  EXPECT_EQ(sendWithMarker(pty, *port, GetParam().stop), QByteArray("M"));
  ASSERT_TRUE(port->output('A'));
  EXPECT_EQ(pty.read(50), QByteArray());
  EXPECT_EQ(port->outBufferCount(), 1);

  ASSERT_TRUE(pty.write(QByteArray(1, GetParam().go)));
  port->waitForOutput(1000);
  EXPECT_EQ(pty.read(1000, 1), QByteArray("A"));
  EXPECT_EQ(port->outBufferCount(), 0);
  EXPECT_EQ(port->input(), QByteArray());
}

INSTANTIATE_TEST_SUITE_P(Pairs, HighBitFlowTest,
                         ::testing::Values(HighBitCase{'\x93', '\x91'}, HighBitCase{'\x93', '\x11'},
                                           HighBitCase{'\x13', '\x91'}, HighBitCase{'\x13', '\x11'}));

TEST_F(FlowTest, HighBitFormsAreDataWithoutTheOption) {
  openWith(QStringLiteral("9600,N,8,2"), kHandshakeXonXoff);
  ASSERT_TRUE(pty.write(QByteArray("\x93\x91")));
  EXPECT_EQ(readPort(*port, 2), QByteArray("\x93\x91"));
  ASSERT_TRUE(port->output('B'));
  EXPECT_EQ(pty.read(1000, 1), QByteArray("B"));
}

TEST_F(FlowTest, HighBitOptionDoesNothingWithoutXonXoff) {
  port->setHighBitFlowControl(true);
  openWith(QStringLiteral("9600,N,8,2"), kHandshakeRtsCts);
  ASSERT_TRUE(pty.write(QByteArray("\x93\x13")));
  EXPECT_EQ(readPort(*port, 2), QByteArray("\x93\x13"));
  ASSERT_TRUE(port->output('C'));
  EXPECT_EQ(pty.read(1000, 1), QByteArray("C"));
}

TEST_F(FlowTest, SwitchingHighBitOffReleasesOutputItHeld) {
  port->setHighBitFlowControl(true);
  openWith(QStringLiteral("9600,N,8,2"), kHandshakeXonXoff);
  EXPECT_EQ(sendWithMarker(pty, *port, '\x93'), QByteArray("M"));
  ASSERT_TRUE(port->output('D'));
  EXPECT_EQ(pty.read(50), QByteArray());

  port->setHighBitFlowControl(false);
  port->waitForOutput(1000);
  EXPECT_EQ(pty.read(1000, 1), QByteArray("D"));
}

TEST_F(FlowTest, ReceiveFlowBytesHandsDc1AndDc3ToTheReaderAndKeepsThrottling) {
  port->setReceiveFlowBytes(true);
  port->setHighBitFlowControl(true);
  openWith(QStringLiteral("9600,N,8,2"), kHandshakeXonXoff);
  const termios t = lineTermios();
  EXPECT_FALSE(t.c_iflag & IXON);
  EXPECT_TRUE(t.c_iflag & IXOFF);

  ASSERT_TRUE(pty.write(QByteArray("\x13\x93" "3\x11")));
  EXPECT_EQ(readPort(*port, 4), QByteArray("\x13\x93" "3\x11"));
  // DC3 did not hold the output.
  ASSERT_TRUE(port->output('E'));
  EXPECT_EQ(pty.read(1000, 1), QByteArray("E"));
}

TEST_F(FlowTest, CloseGivesUpOnHeldOutputAndTheNextOpenIsNotHeld) {
  port->setCloseGraceMs(100);
  openWith(QStringLiteral("9600,N,8,2"), kHandshakeXonXoff);
  EXPECT_EQ(sendWithMarker(pty, *port, 0x13), QByteArray("M"));
  ASSERT_TRUE(port->output('F'));
  port->close();
  EXPECT_FALSE(port->isOpen());

  openWith(QStringLiteral("9600,N,8,2"), kHandshakeXonXoff);
  ASSERT_TRUE(port->output('G'));
  EXPECT_EQ(pty.read(1000, 1), QByteArray("G"));
}

TEST_F(FlowTest, CloseGivesUpOnOutputHeldByTheHighBitForm) {
  port->setCloseGraceMs(100);
  port->setHighBitFlowControl(true);
  openWith(QStringLiteral("9600,N,8,2"), kHandshakeXonXoff);
  EXPECT_EQ(sendWithMarker(pty, *port, '\x93'), QByteArray("M"));
  ASSERT_TRUE(port->output('H'));
  port->close();

  openWith(QStringLiteral("9600,N,8,2"), kHandshakeXonXoff);
  ASSERT_TRUE(port->output('I'));
  EXPECT_EQ(pty.read(1000, 1), QByteArray("I"));
}

}  // namespace
}  // namespace korvane::test
