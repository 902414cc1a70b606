// The simulated machine's receive buffer: line-rate taking, overruns, XON/XOFF, starvation.
#include <gtest/gtest.h>

#include <cmath>

#include "transfer/machine/machine_summary.h"
#include "transfer/machine/tape_reader_model.h"

namespace korvane {
namespace {

constexpr char kDc1 = 0x11;
constexpr char kDc3 = 0x13;

QByteArray iso(const QString& text) {
  QByteArray out;
  for (const QChar c : text)
    if (const auto b = convertSendCharacter(c, TapeCode::Iso)) out.append(char(*b));
  return out;
}

// A program body of n characters (no end of block), to fill buffers with.
QByteArray filler(int n) { return iso(QString(n, QLatin1Char('1'))); }

// The cases below reckon with a margin of 16: high water 48 in a buffer of 64.
ReaderConfig buffered(int size, double consumeCps = 0, int margin = 16) {
  ReaderConfig c;
  c.baud = 9600;  // 8N2: 11 bits a character
  c.bufferSize = size;
  c.consumeCps = consumeCps;
  c.margin = margin;
  return c;
}

TEST(MachineReaderModel, WatermarksKeepTheMarginBelowFull) {
  const int margin = ReaderConfig{}.margin;
  EXPECT_EQ(buffered(256, 0, margin).highWater(), 256 - 32);
  EXPECT_EQ(buffered(256, 0, margin).lowWater(), 128);
  EXPECT_EQ(buffered(16, 0, margin).highWater(), 8);  // at most half a small buffer
  EXPECT_LT(buffered(8, 0, margin).lowWater(), buffered(8, 0, margin).highWater());
  ReaderConfig tight = buffered(256);
  tight.margin = 10;
  EXPECT_EQ(tight.highWater(), 246);
  EXPECT_EQ(tight.bufferSize - tight.highWater(), kDc3Allowance);
  tight.margin = 0;
  EXPECT_EQ(tight.highWater(), 255);
}

TEST(MachineReaderModel, IdealReaderTakesEverythingAndNeverSendsFlowControl) {
  ReaderConfig c;
  c.baud = 0;
  TapeReaderModel m(c);
  EXPECT_TRUE(m.receive(iso("%\nO1\n") + filler(5000) + iso("\n%"), 0).isEmpty());
  EXPECT_EQ(m.bufferLevel(), 0);
  EXPECT_EQ(m.takePrograms().size(), 1);
  EXPECT_EQ(m.stats().overruns, 0);
}

TEST(MachineReaderModel, TakesNoFasterThanTheFrameCharacterRate) {
  ReaderConfig c;
  c.baud = 9600;
  TapeReaderModel m(c);
  m.receive(filler(2000), 0);  // a pseudo-terminal delivers at once what a line spreads out
  m.advance(1000);
  // 9600 baud, 11 bits a character: 872.7 characters in the first second.
  EXPECT_GE(m.stats().taken, 872);
  EXPECT_LE(m.stats().taken, 874);
  EXPECT_EQ(m.bufferLevel(), 2000 - m.stats().taken);
  c.frame = *parseMachineFrame("7E1");  // 10 bits: 960 a second
  TapeReaderModel seven(c);
  seven.receive(filler(2000), 0);
  seven.advance(1000);
  EXPECT_GE(seven.stats().taken, 960);
  EXPECT_LE(seven.stats().taken, 961);
}

TEST(MachineReaderModel, DripFeedRateIsCappedByTheLineRate) {
  EXPECT_DOUBLE_EQ(buffered(64, 100).takeRate(), 100);
  EXPECT_NEAR(buffered(64, 1e6).takeRate(), 9600.0 / 11, 1e-9);
}

TEST(MachineReaderModel, BurstBeyondABufferWithoutFlowControlIsOverrunAndLost) {
  ReaderConfig c = buffered(32);
  c.xonXoff = false;
  TapeReaderModel m(c);
  EXPECT_TRUE(m.receive(filler(50), 0).isEmpty());
  EXPECT_EQ(m.stats().overruns, 18);
  EXPECT_EQ(m.stats().lost, 18);
  EXPECT_EQ(m.bufferLevel(), 32);
}

TEST(MachineReaderModel, Dc3AtHighWaterAndOverrunsOnlyBeyondTenCharactersAfterIt) {
  TapeReaderModel m(buffered(64));  // high water 48
  EXPECT_TRUE(m.receive(filler(47), 0).isEmpty());
  // The reader has taken the first character meanwhile: two more reach 48.
  EXPECT_EQ(m.receive(filler(2), 0), QByteArray(1, kDc3));
  EXPECT_TRUE(m.holding());
  EXPECT_TRUE(m.receive(filler(10), 2).isEmpty()) << "DC3 is not repeated while holding";
  EXPECT_EQ(m.stats().overruns, 0);
  m.receive(filler(3), 3);
  EXPECT_EQ(m.stats().overruns, 3);
  EXPECT_EQ(m.stats().lost, 0) << "the buffer still had room";
  EXPECT_EQ(m.stats().bytesAfterDc3, 13);
  EXPECT_EQ(m.stats().bytesAfterDc3Late, 0);
  EXPECT_EQ(m.stats().maxBytesAfterDc3, 13);
  EXPECT_EQ(m.stats().dc3Sent, 1);
}

TEST(MachineReaderModel, BytesMoreThanTenMillisecondsAfterDc3AreLate) {
  TapeReaderModel m(buffered(64));
  m.receive(filler(48), 0);
  m.receive(filler(1), 10);  // exactly 10 ms: still in time
  m.receive(filler(2), 11);
  EXPECT_EQ(m.stats().bytesAfterDc3Late, 2);
}

TEST(MachineReaderModel, Dc1WhenTheBufferDrainsToLowWaterAndResumeLatencyIsMeasured) {
  TapeReaderModel m(buffered(64));  // low water 32
  m.receive(iso("%\nO1\n") + filler(45), 0);  // 50 characters: over high water
  ASSERT_TRUE(m.holding());
  const double dc1At = m.nextEventMs();
  ASSERT_GT(dc1At, 0);
  EXPECT_TRUE(m.advance(dc1At - 1).isEmpty());
  EXPECT_EQ(m.advance(dc1At), QByteArray(1, kDc1));
  EXPECT_EQ(m.bufferLevel(), 32);
  EXPECT_FALSE(m.holding());
  m.receive(filler(1), dc1At + 7);
  EXPECT_EQ(m.stats().resumeSamples, 1);
  EXPECT_NEAR(m.stats().maxResumeLatencyMs, 7, 1e-6);
}

TEST(MachineReaderModel, Dc1AfterTheClosingPercentOwesNoResume) {
  TapeReaderModel m(buffered(64));
  m.receive(iso("%\nO1\n") + filler(45) + iso("\n%"), 0);
  m.advance(m.nextEventMs());
  m.receive(QByteArray(5, '\0'), 5000);  // the next job's leader, much later
  EXPECT_EQ(m.stats().dc1Sent, 1);
  EXPECT_EQ(m.stats().resumeSamples, 0);
}

TEST(MachineReaderModel, StarvationCountsEachLongEmptySpellWhileExecuting) {
  TapeReaderModel m(buffered(64, 100));  // 10 ms a character
  m.receive(iso("%\n"), 0);
  m.advance(500);
  EXPECT_EQ(m.stats().starvations, 0) << "waiting after the opening % before any program text";
  m.receive(iso("G1"), 500);
  m.advance(520);
  EXPECT_EQ(m.stats().starvations, 0) << "still taking the two characters";
  m.advance(600);
  EXPECT_EQ(m.stats().starvations, 1);
  m.advance(900);
  EXPECT_EQ(m.stats().starvations, 1) << "one spell counts once";
  m.receive(iso("X1"), 900);
  m.advance(1000);
  EXPECT_EQ(m.stats().starvations, 2);
  m.receive(iso("\n%"), 1000);
  m.advance(2000);
  EXPECT_EQ(m.stats().starvations, 2) << "nothing is owed after the closing %";
  EXPECT_GT(m.stats().starvationMs, 300);
}

TEST(MachineReaderModel, SenderKeepingPaceCausesNoStarvation) {
  TapeReaderModel m(buffered(64, 100));
  m.receive(iso("%\nO1\n"), 0);
  for (int i = 0; i < 100; ++i) m.receive(filler(1), 50 + i * 10.0 + (i % 3));  // a little jitter
  m.receive(iso("\n%"), 1050);
  m.advance(2000);
  EXPECT_EQ(m.stats().starvations, 0);
}

TEST(MachineReaderModel, NextEventIsWhenTheBufferRunsEmpty) {
  TapeReaderModel m(buffered(64, 100));
  m.receive(filler(3), 0);
  // The first character goes at once, the other two take a character time each.
  EXPECT_NEAR(m.nextEventMs(), 20, 0.01);
  m.advance(m.nextEventMs());
  EXPECT_EQ(m.bufferLevel(), 0);
}

TEST(MachineReaderModel, FinishTakesTheRestAtTheReaderPaceAndKeepsTheOpenProgram) {
  TapeReaderModel m(buffered(0));
  m.receive(iso("%\nO1\nG0X0"), 0);
  m.finish(0);
  EXPECT_EQ(m.bufferLevel(), 0);
  EXPECT_GT(m.stats().lastTakeMs, 0);
  const auto programs = m.takePrograms();
  ASSERT_EQ(programs.size(), 1);
  EXPECT_FALSE(programs[0].complete);
}

TEST(MachineReaderModel, SummaryReportsThroughputAgainstTheLineRate) {
  ReaderConfig c = buffered(256);
  TapeReaderModel m(c);
  // A sender faster than the line that obeys DC3 and DC1 keeps the reader busy throughout.
  QByteArray flow;
  qint64 sent = 0;
  auto send = [&](const QByteArray& bytes, double at) {
    sent += bytes.size();
    flow += m.receive(bytes, at);
  };
  double t = 0;
  send(iso("%\nO1\n") + filler(12), t);
  for (int i = 0; i < 200; ++i) {
    t += 11.0;  // 12 characters where the line carries 9.6
    if (!m.holding()) send(filler(12), t);
    flow += m.advance(t);
  }
  send(iso("\n%"), t);
  m.finish(t);
  ReaderSessionInfo session;
  const QJsonObject s = readerSummary(m, session);
  EXPECT_EQ(s["characters"].toInteger(), sent);
  EXPECT_EQ(s["programs"].toInt(), 1);
  EXPECT_EQ(s["overruns"].toInt(), 0);
  EXPECT_EQ(s["parity_errors"].toInt(), 0);
  EXPECT_EQ(s["starvations"].toInt(), 0);
  EXPECT_EQ(s["flow"].toString(), "xon");
  EXPECT_NEAR(s["chars_per_second"].toDouble(), 9600.0 / 11, 2.0);
  EXPECT_NEAR(s["throughput_ratio"].toDouble(), 1.0, 0.003);
  EXPECT_GT(s["dc3_sent"].toInt(), 0) << "the sender was faster than the line, so the reader held it";
  EXPECT_EQ(flow.count(kDc3), s["dc3_sent"].toInt());
}


// A sender that paces every character by a long delay pauses before its closing "%" as long as
// everywhere else: that is no quiet line between two tapes, the program ends whole.
TEST(MachineReaderModel, SlowlyPacedProgramStillEndsAtItsClosingPercent) {
  ReaderConfig config;
  config.baud = 0;
  TapeReaderModel m(config);
  double t = 0;
  for (const char c : iso("%\nO1\nG1\nM30\n%")) {
    m.receive(QByteArray(1, c), t);
    t += 3000;
  }
  m.finish(t);
  const QList<ReceivedProgram> programs = m.takePrograms();
  ASSERT_EQ(programs.size(), 1);
  EXPECT_TRUE(programs[0].complete);
  EXPECT_EQ(programs[0].blocks, (QStringList{"O1", "G1", "M30"}));
}

// The same program broken off, and after a pause far longer than its own, the next tape.
TEST(MachineReaderModel, PercentAfterAQuietLineStartsANewProgram) {
  ReaderConfig config;
  config.baud = 0;
  TapeReaderModel m(config);
  m.receive(iso("%\nO1\nG1"), 0);
  m.receive(iso("\n%\nO2\nM30\n%"), 5000);
  m.finish(5000);
  const QList<ReceivedProgram> programs = m.takePrograms();
  ASSERT_EQ(programs.size(), 2);
  EXPECT_FALSE(programs[0].complete);
  EXPECT_EQ(programs[0].blocks, (QStringList{"O1", "G1"}));
  EXPECT_TRUE(programs[1].complete);
  EXPECT_EQ(programs[1].number, "O0002");
}

}  // namespace
}  // namespace korvane
