// A pseudo-terminal knows no frame. On a 7-bit frame the port builds the character as a UART
// would, the parity bit in bit 7, and checks and removes it on the way in.
#include <gtest/gtest.h>

#include <bit>

#include "platform/serial/line_settings.h"
#include "platform/serial/received_frames.h"
#include "pty_port_fixture.h"

using namespace korvane;
using namespace korvane::test;

namespace {

// Every 7-bit code, as the independent reading of the frame: an even or odd number of ones over
// all eight bits.
bool evenOnes(quint8 byte) { return std::popcount(unsigned(byte)) % 2 == 0; }

QByteArray allSevenBitCodes(quint8 highBit) {
  QByteArray bytes;
  for (int c = 1; c < 0x80; ++c) {
    if (c == 0x11 || c == 0x13) continue;  // flow control, not data here
    bytes += char(c | highBit);
  }
  return bytes;
}

}  // namespace

TEST_F(PtyPortTest, SevenBitEvenFrameCarriesEvenParityInBitSeven) {
  openWith(QStringLiteral("9600,E,7,2"));
  // The send engine gives ISO codes with their own parity bit, and plain ASCII; both leave with
  // the line's parity bit, whatever bit 7 was.
  const QByteArray given = allSevenBitCodes(0x00) + allSevenBitCodes(0x80);
  for (const char c : given) ASSERT_TRUE(port->output(quint8(c)));
  const QByteArray line = pty.read(2000, given.size());
  ASSERT_EQ(line.size(), given.size());
  for (qsizetype i = 0; i < line.size(); ++i) {
    EXPECT_EQ(quint8(line[i]) & 0x7F, quint8(given[i]) & 0x7F) << i;
    EXPECT_TRUE(evenOnes(quint8(line[i]))) << std::hex << int(quint8(line[i]));
  }
}

TEST_F(PtyPortTest, SevenBitOddFrameCarriesOddParityAndNoParityLeavesBitSevenClear) {
  openWith(QStringLiteral("9600,O,7,1"));
  const QByteArray given = allSevenBitCodes(0x80);
  for (const char c : given) ASSERT_TRUE(port->output(quint8(c)));
  const QByteArray line = pty.read(2000, given.size());
  ASSERT_EQ(line.size(), given.size());
  for (const char c : line) EXPECT_FALSE(evenOnes(quint8(c))) << std::hex << int(quint8(c));
  port->close();

  openWith(QStringLiteral("9600,N,7,2"));
  for (const char c : given) ASSERT_TRUE(port->output(quint8(c)));
  EXPECT_EQ(pty.read(2000, given.size()), allSevenBitCodes(0x00));
}

TEST_F(PtyPortTest, SevenBitInputIsCheckedAndStrippedAndAFailedCharacterBecomesAQuestionMark) {
  openWith(QStringLiteral("9600,E,7,2"));
  // "G1" framed even, then an 'X' without the parity bit it needs (0xD8), then LF framed even.
  const QByteArray framed = QByteArray::fromHex("47b1") + char(0x58) + char(0x0A);
  ASSERT_TRUE(pty.write(framed));
  EXPECT_EQ(readPort(*port, 4), QByteArray("G1?\n"));
  EXPECT_EQ(port->parityErrors(), 1);
  port->close();
  openWith(QStringLiteral("9600,E,7,2"));
  EXPECT_EQ(port->parityErrors(), 0) << "counted per opening";
}

// The driver's own XON/XOFF would not know a DC3 that carries a parity bit.
TEST_F(PtyPortTest, SevenBitFrameSeesTheMachinesDc3WithItsParityBit) {
  openWith(QStringLiteral("9600,E,7,2"), kHandshakeXonXoff);
  ASSERT_TRUE(pty.write(QByteArray(1, char(0x93))));  // DC3 with even parity
  readPort(*port, 1, 100);
  ASSERT_TRUE(port->output('G'));
  EXPECT_TRUE(pty.read(150).isEmpty()) << "held by the DC3";
  ASSERT_TRUE(pty.write(QByteArray(1, char(0x11))));  // DC1: two ones, even already
  readPort(*port, 1, 100);
  port->outBufferCount();
  EXPECT_EQ(pty.read(1000, 1), QByteArray(1, char(0x47)));
}

TEST_F(PtyPortTest, EightBitFrameWithParityPassesTheEightBitsAsTheyAre) {
  // A pseudo-terminal has no ninth bit to carry the parity: the eight data bits go unchanged
  // and nothing is checked.
  openWith(QStringLiteral("9600,E,8,1"));
  const QByteArray given = QByteArray::fromHex("cfb1ff00580a");
  for (const char c : given) ASSERT_TRUE(port->output(quint8(c)));
  EXPECT_EQ(pty.read(1000, given.size()), given);
  ASSERT_TRUE(pty.write(given));
  EXPECT_EQ(readPort(*port, given.size()), given);
  EXPECT_EQ(port->parityErrors(), 0);
}

TEST(ReceivedFrames, DriverMarksOfAFailedCharacterBecomeAQuestionMark) {
  ReceivedFrames frames;
  frames.reset(ReceivedFrames::Mode::Marked, 'E');
  QByteArray out;
  // G, a marked failure of 'X', a received 0xFF (doubled by the driver), 1; split mid-mark.
  const QByteArray first = QByteArray::fromHex("47ff");
  const QByteArray second = QByteArray::fromHex("0058ffff31");
  frames.take(first.constData(), first.size(), out);
  frames.take(second.constData(), second.size(), out);
  EXPECT_EQ(out, QByteArray::fromHex("473fff31"));
  EXPECT_EQ(frames.parityErrors(), 1);
}

TEST(LineSettingsParity, ParityBitMatchesAnIndependentCount) {
  for (int c = 0; c < 256; ++c) {
    const quint8 data = quint8(c) & 0x7F;
    EXPECT_TRUE(evenOnes(withParityBit(quint8(c), 'E'))) << c;
    EXPECT_FALSE(evenOnes(withParityBit(quint8(c), 'O'))) << c;
    EXPECT_EQ(withParityBit(quint8(c), 'N'), data);
    EXPECT_EQ(checkParityBit(quint8(c), 'E'), evenOnes(quint8(c)) ? std::optional<quint8>(data) : std::nullopt) << c;
    EXPECT_EQ(checkParityBit(quint8(c), 'O'), !evenOnes(quint8(c)) ? std::optional<quint8>(data) : std::nullopt) << c;
    EXPECT_EQ(checkParityBit(quint8(c), 'N'), std::optional<quint8>(data));
  }
}
