// The simulated machine's punch: the tape it produces and when it produces it.
#include <gtest/gtest.h>

#include "transfer/machine/machine_frame.h"
#include "transfer/machine/tape_decoder.h"
#include "transfer/machine/tape_punch.h"

namespace korvane {
namespace {

TEST(MachineTapePunch, IsoStreamOfASmallProgram) {
  const PunchStream s = buildPunchStream({programBlocks("%\r\nO0001\r\nG01X10.\r\n%\r\n")}, TapeCode::Iso);
  const QByteArray feed(kPunchFeedFrames, '\0');
  const QByteArray body("\xA5\x0A"                          // % EOB
                        "\xCF\x30\x30\x30\xB1\x0A"          // O0001 EOB
                        "\x47\x30\xB1\xD8\xB1\x30\x2E\x0A"  // G01X10. EOB
                        "\xA5");
  EXPECT_EQ(s.bytes, feed + body + feed);
  EXPECT_EQ(s.programs, 1);
  EXPECT_EQ(s.dropped, 0);
  for (const char c : s.bytes) EXPECT_EQ(oneBits(quint8(c)) % 2, 0) << "ISO frames have even parity";
}

TEST(MachineTapePunch, EiaStreamHasOddParityEverywhereButFeed) {
  const PunchStream s = buildPunchStream({programBlocks("O12\nG91Z-1.\nM30\n")}, TapeCode::Eia);
  EXPECT_EQ(s.bytes.mid(kPunchFeedFrames, 2), QByteArray("\x0B\x80"));
  EXPECT_EQ(s.bytes.mid(kPunchFeedFrames + 2, 4), QByteArray("\x46\x01\x02\x80"));  // O12 EOB
  EXPECT_EQ(s.bytes.at(s.bytes.size() - kPunchFeedFrames - 1), '\x0B');
  for (const char c : s.bytes.mid(kPunchFeedFrames, s.bytes.size() - 2 * kPunchFeedFrames))
    EXPECT_EQ(oneBits(quint8(c)) % 2, 1) << "EIA frame " << int(quint8(c));
}

TEST(MachineTapePunch, CharactersWithoutCodeAreLeftOutAndCounted) {
  const PunchStream s = buildPunchStream({QStringList{"g01x1", "X1%"}}, TapeCode::Iso);
  EXPECT_EQ(s.dropped, 3);  // g, x and the % inside a block
  EXPECT_EQ(s.droppedSample, "gx%");
}

TEST(MachineTapePunch, ProgramBlocksDropTheTapeFraming) {
  EXPECT_EQ(programBlocks("\n%\nO1\n\nM30\n%\ntrailing\n"), (QStringList{"O1", "", "M30"}));
  EXPECT_EQ(programBlocks("O1\r\nM30"), (QStringList{"O1", "M30"}));
}

TEST(MachineTapePunch, PunchedTapeReadsBackAsTheSamePrograms) {
  const QList<QStringList> programs{{"O0001", "G90G54", "M30"}, {"O0002", "G02X1.Y-1.R1.", "M99"}};
  for (const TapeCode code : {TapeCode::Iso, TapeCode::Eia}) {
    TapeDecoder reader(code, {});
    for (const char c : buildPunchStream(programs, code).bytes) reader.take(quint8(c));
    const auto read = reader.takePrograms();
    ASSERT_EQ(read.size(), 2);
    EXPECT_EQ(read[0].blocks, programs[0]);
    EXPECT_EQ(read[1].blocks, programs[1]);
    EXPECT_EQ(reader.parityErrors(), 0);
  }
}

TEST(MachineTapePunch, WaitsForDc1ThenPunchesAtTheLineRate) {
  TapePunch p(QByteArray(100, 'x'), 1000, true, 0);  // one character a millisecond
  EXPECT_TRUE(p.due(50).isEmpty());
  EXPECT_LT(p.nextEventMs(), 0);
  p.receive("\x91", 50);  // DC1 with its parity bit
  EXPECT_TRUE(p.due(50).isEmpty()) << "the punch takes a moment to start";
  const double start = 50 + kPunchStartDelayMs;
  EXPECT_DOUBLE_EQ(p.nextEventMs(), start);
  EXPECT_EQ(p.due(start).size(), 1);
  EXPECT_EQ(p.due(start + 9.5).size(), 10);
  p.sent(10, start + 9.5);
  EXPECT_DOUBLE_EQ(p.nextEventMs(), start + 10);
}

TEST(MachineTapePunch, Dc3HoldsAndDc1GoesOnWithoutABurst) {
  TapePunch p(QByteArray(100, 'x'), 1000, false, 0);
  p.sent(p.due(4.5).size(), 4.5);  // 5 out
  p.receive("\x13", 5);
  EXPECT_TRUE(p.due(50).isEmpty());
  p.receive("\x11", 60);
  EXPECT_EQ(p.due(60).size(), 1) << "the time held is not made up afterwards";
  p.sent(95, 200);
  EXPECT_EQ(p.completedPunches(), 1);
  EXPECT_FALSE(p.punching());
  EXPECT_EQ(p.bytesSent(), 100);
}

TEST(MachineTapePunch, NoLineRateSendsEverythingAtOnceAndPunchesAgainOnRequest) {
  TapePunch p(QByteArray(30, 'x'), 0, false, 0);
  EXPECT_EQ(p.due(0).size(), 30);
  p.sent(30, 0);
  EXPECT_EQ(p.completedPunches(), 1);
  p.receive("\x11", 10);
  EXPECT_EQ(p.due(10 + kPunchStartDelayMs).size(), 30);
}

}  // namespace
}  // namespace korvane
