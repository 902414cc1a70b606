// The simulated machine's reader decoding: leader, "%" framing, parity, DC2/DC4, program split.
#include <gtest/gtest.h>

#include "transfer/machine/tape_decoder.h"

namespace korvane {
namespace {

// The bytes a sender puts on the wire for text under a code, through the shared table.
QByteArray tape(const QString& text, TapeCode code) {
  QByteArray out;
  for (const QChar c : text) {
    const auto byte = convertSendCharacter(c, code);
    if (byte) out.append(char(*byte));
  }
  return out;
}

QByteArray feed(int n) { return QByteArray(n, '\0'); }

QList<ReceivedProgram> decodeAll(const QByteArray& bytes, TapeCode code, MachineFrame frame = {}) {
  TapeDecoder d(code, frame);
  for (const char c : bytes) d.take(quint8(c));
  d.finish();
  return d.takePrograms();
}

TEST(MachineTapeDecoder, IsoProgramAfterLeaderIsStoredWithItsNumberAndFraming) {
  // Leader, the sender's leading LF, then "%", the program, "%" and trailer.
  const QByteArray bytes = feed(10) + tape("\n%\nO0012\nG01X10.\nM30\n%", TapeCode::Iso) + feed(10);
  const auto programs = decodeAll(bytes, TapeCode::Iso);
  ASSERT_EQ(programs.size(), 1);
  EXPECT_EQ(programs[0].number, "O0012");
  EXPECT_EQ(programs[0].fileName(), "O0012.nc");
  EXPECT_TRUE(programs[0].complete);
  EXPECT_EQ(programs[0].text(), "%\nO0012\nG01X10.\nM30\n%\n");
}

TEST(MachineTapeDecoder, TextBeforeTheFirstPercentIsLeaderAndNotStored) {
  const QByteArray bytes = tape("LABEL\nG99\n%\nO1\nM30\n%", TapeCode::Iso);
  const auto programs = decodeAll(bytes, TapeCode::Iso);
  ASSERT_EQ(programs.size(), 1);
  EXPECT_EQ(programs[0].blocks, (QStringList{"O1", "M30"}));
}

TEST(MachineTapeDecoder, IsoEndOfBlockWithCarriageReturnsIsOneBlockEnd) {
  // eobMode 2: LF CR CR after every block, CR with its parity bit (0x8D).
  QByteArray bytes = tape("%\nO0001", TapeCode::Iso);
  bytes += "\x0A\x8D\x8D";
  bytes += tape("G00X0", TapeCode::Iso) + "\x0A\x8D\x8D" + tape("%", TapeCode::Iso);
  const auto programs = decodeAll(bytes, TapeCode::Iso);
  ASSERT_EQ(programs.size(), 1);
  EXPECT_EQ(programs[0].blocks, (QStringList{"O0001", "G00X0"}));
}

TEST(MachineTapeDecoder, IsoParityErrorsAreCountedAndTheCharacterIsDropped) {
  TapeDecoder d(TapeCode::Iso, {});
  // 0x31 is "1" without its parity bit: odd number of holes under ISO.
  const QByteArray bytes = QByteArray("\x31", 1) + tape("%\nG0", TapeCode::Iso) + "\x31" + tape("X5\n%", TapeCode::Iso);
  for (const char c : bytes) d.take(quint8(c));
  EXPECT_EQ(d.parityErrors(), 2);  // one in the leader, one in the program
  const auto programs = d.takePrograms();
  ASSERT_EQ(programs.size(), 1);
  EXPECT_EQ(programs[0].blocks, QStringList{"G0X5"});
}

TEST(MachineTapeDecoder, IsoColonReadsAsProgramNumberAddress) {
  const auto programs = decodeAll(tape("%\n:0077\nM30\n%", TapeCode::Iso), TapeCode::Iso);
  ASSERT_EQ(programs.size(), 1);
  EXPECT_EQ(programs[0].number, "O0077");
  EXPECT_EQ(programs[0].blocks.first(), "O0077");
}

TEST(MachineTapeDecoder, EiaProgramDecodesAndBlankFramesInsideAreTapeFeed) {
  // Under EIA "#" goes out as a blank frame; feed between files lies inside the program.
  const QByteArray bytes =
      feed(5) + tape("\n%\nO34\nG1Z-1.\n", TapeCode::Eia) + feed(4) + tape("M30 #\n%", TapeCode::Eia) + feed(5);
  TapeDecoder d(TapeCode::Eia, {});
  for (const char c : bytes) d.take(quint8(c));
  EXPECT_EQ(d.parityErrors(), 0);
  const auto programs = d.takePrograms();
  ASSERT_EQ(programs.size(), 1);
  EXPECT_EQ(programs[0].number, "O0034");
  EXPECT_EQ(programs[0].blocks, (QStringList{"O34", "G1Z-1.", "M30 "}));
}

TEST(MachineTapeDecoder, EiaEvenHoleCountIsAParityError) {
  TapeDecoder d(TapeCode::Eia, {});
  // 0x03: two holes, no EIA code has that.
  const QByteArray bytes = tape("%\nX1", TapeCode::Eia) + "\x03" + tape("\n%", TapeCode::Eia);
  for (const char c : bytes) d.take(quint8(c));
  EXPECT_EQ(d.parityErrors(), 1);
  EXPECT_EQ(d.takePrograms().at(0).blocks, QStringList{"X1"});
}

TEST(MachineTapeDecoder, DcCodesDelimitTransmissionsUnderBothCodes) {
  for (const TapeCode code : {TapeCode::Iso, TapeCode::Eia}) {
    TapeDecoder d(code, {});
    const QByteArray bytes = "\x12" + tape("%\nO1\nM30\n%", code) + "\x14" + "\x12" + tape("%\nO2\nM30\n%", code) + "\x14";
    for (const char c : bytes) d.take(quint8(c));
    EXPECT_EQ(d.transmissionsStarted(), 2);
    EXPECT_EQ(d.transmissionsEnded(), 2);
    EXPECT_EQ(d.parityErrors(), 0) << "DC2 and DC4 are no parity faults";
    const auto programs = d.takePrograms();
    ASSERT_EQ(programs.size(), 2);
    EXPECT_EQ(programs[1].number, "O0002");
  }
}

TEST(MachineTapeDecoder, Dc4InsideAProgramKeepsItAsIncomplete) {
  TapeDecoder d(TapeCode::Iso, {});
  const QByteArray bytes = tape("%\nO5\nG01X1", TapeCode::Iso) + "\x14";
  for (const char c : bytes) d.take(quint8(c));
  const auto programs = d.takePrograms();
  ASSERT_EQ(programs.size(), 1);
  EXPECT_FALSE(programs[0].complete);
  EXPECT_EQ(programs[0].text(), "%\nO5\nG01X1\n") << "no closing % for a program that never ended";
  EXPECT_EQ(d.incompletePrograms(), 1);
}

TEST(MachineTapeDecoder, SecondProgramNumberBetweenOnePairOfPercentStartsTheNextProgram) {
  const auto programs = decodeAll(tape("%\n(HEAD)\nO1\nM99\nO2\nM30\n%", TapeCode::Iso), TapeCode::Iso);
  ASSERT_EQ(programs.size(), 2);
  EXPECT_EQ(programs[0].text(), "%\n(HEAD)\nO1\nM99\n%\n");
  EXPECT_EQ(programs[1].text(), "%\nO2\nM30\n%\n");
  EXPECT_EQ(programs[1].index, 2);
}

TEST(MachineTapeDecoder, ProgramWithoutNumberIsNamedByItsIndex) {
  const auto programs = decodeAll(tape("%\nG0X0\n%\n%\nG0Y0\n%", TapeCode::Iso), TapeCode::Iso);
  ASSERT_EQ(programs.size(), 2);
  EXPECT_EQ(programs[1].fileName(), "prog-2.nc");
}

TEST(MachineTapeDecoder, SessionEndKeepsAnOpenProgram) {
  const auto programs = decodeAll(tape("%\nO9\nG0", TapeCode::Iso), TapeCode::Iso);
  ASSERT_EQ(programs.size(), 1);
  EXPECT_FALSE(programs[0].complete);
  EXPECT_EQ(programs[0].blocks, (QStringList{"O9", "G0"}));
}

TEST(MachineTapeDecoder, SevenBitFrameChecksTheLineParityAndStripsIt) {
  const MachineFrame even7{7, 'E', 2};
  TapeDecoder d(TapeCode::Iso, even7);
  // "1" with even parity in bit 8 (0xB1) is good; bare 0x31 has odd parity; 0x3A is ":" as is.
  for (const char c : QByteArray("\xA5\x0A\xB1\x31\x3A\x0A\xA5")) d.take(quint8(c));
  EXPECT_EQ(d.parityErrors(), 1);
  EXPECT_EQ(d.takePrograms().at(0).blocks, QStringList{"1:"});

  TapeDecoder none(TapeCode::Iso, MachineFrame{7, 'N', 2});
  for (const char c : QByteArray("\x25\x0A\x31\x0A\x25")) none.take(quint8(c));
  EXPECT_EQ(none.parityErrors(), 0);
  EXPECT_EQ(none.takePrograms().at(0).blocks, QStringList{"1"});
}

TEST(MachineTapeDecoder, ProgramNumberOfABlock) {
  EXPECT_EQ(programNumberOf("O12"), "O0012");
  EXPECT_EQ(programNumberOf("O 7 (X)"), "O0007");
  EXPECT_EQ(programNumberOf("O123456"), "O123456");
  EXPECT_EQ(programNumberOf("OX1"), "");
  EXPECT_EQ(programNumberOf("G01 O12"), "");
}

}  // namespace
}  // namespace korvane
