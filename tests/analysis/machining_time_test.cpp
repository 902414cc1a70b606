// The calculator over programs held in memory: modal state, program ends, records and blocks,
// characters, and streaming through buffers of any size.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "analysis/machining_time.h"
#include "support/cp932_iconv.h"

using namespace korvane;

namespace {

QList<MachiningRow> measure(const QByteArray& program, qsizetype bufferSize = MachiningTimeCalculator::kDefaultBufferSize) {
  QList<MachiningRow> rows;
  MachiningTimeCalculator calculator([&rows](const MachiningRow& row) { rows << row; }, bufferSize);
  calculator.computeBytes(QStringLiteral("p.nc"), program);
  return rows;
}

// time and cutting length of the one row a program gives
std::pair<std::string, std::string> figures(const QByteArray& program) {
  const auto rows = measure(program);
  EXPECT_EQ(rows.size(), 1) << program.toStdString();
  if (rows.size() != 1) return {};
  return {rows[0].time.toStdString(), rows[0].cuttingLength.toStdString()};
}

using Figures = std::pair<std::string, std::string>;

}  // namespace

TEST(MachiningModes, IncrementalUntilG90AndG91WinsInOneBlock) {
  // A file starts incremental: the second X10. moves again.
  EXPECT_EQ(figures("G01 X10. F100\r\nX10.\r\nM30\r\n"), Figures("0.20", "20.00"));
  EXPECT_EQ(figures("G90 G01 X10. F100\r\nX10.\r\nM30\r\n"), Figures("0.10", "10.00"));
  EXPECT_EQ(figures("G90 G91 G01 X10. F100\r\nX10.\r\nM30\r\n"), Figures("0.20", "20.00"));
  EXPECT_EQ(figures("G91 G90 G01 X10. F100\r\nX10.\r\nM30\r\n"), Figures("0.20", "20.00"));
}

TEST(MachiningModes, AbsoluteAxesNotWrittenKeepTheirValue) {
  // (10, 10) to (10, 20), then back to (0, 20) with X0 written.
  EXPECT_EQ(figures("G90 G01 X10. Y10. F100\r\nY20.\r\nX0 Y20.\r\nM30\r\n"), Figures("0.34", "34.14"));
}

TEST(MachiningModes, WordsOfValueZeroMakeNoMove) {
  // X0 Y0 from (10, 0) is no move in either mode: the position stays at 10.
  EXPECT_EQ(figures("G90 G01 X10. F100\r\nX0 Y0\r\nX20.\r\nM30\r\n"), Figures("0.20", "20.00"));
}

TEST(MachiningFeed, ZeroFeedIsTheDefaultAndFIsTakenAsWritten) {
  EXPECT_EQ(figures("G91 G01 X10. F0\r\nM30\r\n"), Figures("0.10", "10.00"));
  EXPECT_EQ(figures("G91 G01 X10. F100.\r\nM30\r\n"), Figures("0.10", "10.00"));
  // The F of a comment counts: FACE has no number, so the feed is 0 and then 100.
  EXPECT_EQ(figures("G91 G01 X10. (FACE)\r\nM30\r\n"), Figures("0.10", "10.00"));
  // Without any F the initial 5000 holds.
  EXPECT_EQ(figures("G91 G01 X100.\r\nM30\r\n"), Figures("0.02", "100.00"));
}

TEST(MachiningFeed, RapidMovesCountTimeButNoCuttingLength) {
  EXPECT_EQ(figures("G91 G00 X500. F10\r\nM30\r\n"), Figures("0.10", "0.00"));
}

TEST(MachiningFeed, AnyOtherMotionModeIsMeasuredAsAnArc) {
  // G04 sets the motion mode to 4: X10. with no centre words is an arc of radius 0.
  EXPECT_EQ(figures("G91 G04 X10. F100\r\nM30\r\n"), Figures("0.00", "0.00"));
}

TEST(MachiningArcs, CentreWordsAreRelativeToTheStartInBothModes) {
  EXPECT_EQ(figures("G90 G01 X50. F100\r\nG02 I10.\r\nM30\r\n"), Figures("1.13", "112.83"));
  EXPECT_EQ(figures("G91 G01 X50. F100\r\nG02 I10.\r\nM30\r\n"), Figures("1.13", "112.83"));
}

TEST(MachiningArcs, RadiusArcTooShortForItsChordStillMoves) {
  // No length for the impossible arc, but the position is its end: the line on is 30 mm.
  EXPECT_EQ(figures("G90 G03 X30. R10. F100\r\nG01 X60.\r\nM30\r\n"), Figures("0.30", "30.00"));
}

TEST(MachiningRows, ProgramNumberAndModesCarryAcrossProgramEnds) {
  const auto rows = measure("O5\r\nG91 G01 X10. F100\r\nM30\r\nX10.\r\nM99\r\n");
  ASSERT_EQ(rows.size(), 2);
  EXPECT_EQ(rows[0].texts(), QStringList({"p.nc", "5", "0.10", "10.00", "0.06"}));
  EXPECT_EQ(rows[1].texts(), QStringList({"", "5", "0.10", "10.00", "0.02"}));
  EXPECT_EQ(rows[0].characters, 3 + 18 + 4);
  EXPECT_EQ(rows[1].characters, 5 + 4);
}

TEST(MachiningRows, OZeroKeepsTheProgramNumber) {
  const auto rows = measure("O7\r\nM30\r\nO0\r\nM30\r\n");
  ASSERT_EQ(rows.size(), 2);
  EXPECT_EQ(rows[1].programNumber, "7");
}

TEST(MachiningRows, PercentEndsOnlyAfterOtherCharacters) {
  EXPECT_TRUE(measure("%\r\n").isEmpty());
  EXPECT_TRUE(measure("%\r\nM30\r\n%\r\n").size() == 1);
  EXPECT_EQ(measure("\r\n%\r\n").size(), 1);  // an empty line counts one character
  EXPECT_TRUE(measure(" %\r\n").isEmpty());   // only the exact text ends a program
  EXPECT_TRUE(measure("M30 \r\nM 30\r\nM300\r\n").isEmpty());
}

TEST(MachiningRows, ValuesAfterTheLastProgramEndAreDropped) {
  const auto rows = measure("G91 G01 X10. F100\r\nM30\r\nX99.\r\n");
  ASSERT_EQ(rows.size(), 1);
  EXPECT_EQ(rows[0].time, "0.10");
}

TEST(MachiningRecords, LineFeedsSplitBlocksAndALastSingleCharacterIsDropped) {
  // Bare LF: one record; the rest "X" after the last LF is not read.
  EXPECT_EQ(measure("O1\nM30\nX").size(), 1);
  EXPECT_EQ(measure("O1\nM30\nX")[0].characters, 3 + 4);
  // "%" right after the last LF is dropped, so no program end.
  EXPECT_TRUE(measure("O1\n%").isEmpty());
  // An LF right after the last LF: one character, dropped too.
  EXPECT_EQ(measure("O1\nM30\n\n")[0].characters, 3 + 4);
  // Two or more characters are read: the empty block counts one.
  EXPECT_EQ(measure("O1\n\nM30")[0].characters, 3 + 1 + 4);
  // The first block of a record is always read, even a single character.
  EXPECT_EQ(measure("O1\r\nM30\r\n%")[0].characters, 3 + 4);
  EXPECT_EQ(measure("O1\r\n%").size(), 1);
}

TEST(MachiningRecords, CrLfLoneCrAndMixedLineEnds) {
  const QByteArray crlf = "O3\r\nG91 G01 X10. F100\r\nM30\r\n";
  const auto reference = measure(crlf);
  ASSERT_EQ(reference.size(), 1);
  for (const QByteArray& variant : {QByteArray("O3\rG91 G01 X10. F100\rM30\r"), QByteArray("O3\nG91 G01 X10. F100\nM30\n"),
                                    QByteArray("O3\r\nG91 G01 X10. F100\nM30\r")}) {
    const auto rows = measure(variant);
    ASSERT_EQ(rows.size(), 1) << variant.toStdString();
    EXPECT_EQ(rows[0].texts(), reference[0].texts()) << variant.toStdString();
  }
  // LF CR: the LF ends a block inside the record, the CR ends the record; the empty rest
  // after the LF is not read.
  EXPECT_EQ(measure("O3\n\rM30\n\r")[0].characters, 3 + 4);
  // A CR alone on a line is an empty record: one character.
  EXPECT_EQ(measure("O3\r\r\nM30\r\n")[0].characters, 3 + 1 + 4);
}

TEST(MachiningCharacters, DoubleByteCharactersCountOnce) {
  const QByteArray utf8 = QStringLiteral("(加工)M30\r\n").toUtf8();
  EXPECT_EQ(measure(utf8 + "M30\r\n")[0].characters, 8 + 4);
  const QByteArray cp932 = test::iconvEncodeCp932(QStringLiteral("(加工)"));
  ASSERT_EQ(cp932.size(), 6);
  EXPECT_EQ(measure(cp932 + "\r\nM30\r\n")[0].characters, 5 + 4);
}

TEST(MachiningCharacters, TrailByteOfADoubleByteCharacterIsNoAddress) {
  // Shift-JIS ス is 83 58: its second byte is the code of "X" but is no X word.
  EXPECT_EQ(figures("(\x83\x58)G91 G01 X10. F100\r\nM30\r\n"), Figures("0.10", "10.00"));
}

TEST(MachiningStreaming, AnyBufferSizeGivesTheSameRows) {
  const QByteArray program = QByteArray("%\r\nO1000\r\nG90 G00 X0 Y0\r\n(荒加工 ス)\r\n") + test::iconvEncodeCp932(QStringLiteral("（スピンドル）")) +
                             "\r\nG01 X100. F200\nG02 X120. Y20. R20.\rG03 X100. Y40. I-20. J0\r\n"
                             "G91 X 1 0 . 5 Y-.5 Z+10.\n\nM99\r\nO2\nG90 G02 I5.\n\n\nM30\n%\n";
  const auto reference = measure(program);
  ASSERT_EQ(reference.size(), 2);
  for (qsizetype size : {8, 9, 10, 11, 13, 17, 64}) {
    const auto rows = measure(program, size);
    ASSERT_EQ(rows.size(), reference.size()) << size;
    for (qsizetype i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(rows[i].texts(), reference[i].texts()) << "buffer " << size;
      EXPECT_EQ(rows[i].characters, reference[i].characters) << "buffer " << size;
    }
  }
}

TEST(MachiningFiles, ReadsAFileAndReportsOneThatIsMissing) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("sub/dir/part.nc"));
  QDir().mkpath(dir.filePath(QStringLiteral("sub/dir")));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("O12\r\nM30\r\n");
  file.close();

  QStringList seen;
  QString failedName;
  MachiningSink sink{[&](const MachiningRow& row) { seen << row.texts().join('|'); },
                     [&](const QString& name, const QString& error) { failedName = name + "|" + (error.isEmpty() ? "" : "reason"); }};
  EXPECT_FALSE(kakou_time({path, dir.filePath(QStringLiteral("gone.nc")), path}, sink));
  EXPECT_EQ(seen, QStringList({"part.nc|12|0.00|0.00|0.02"}));
  EXPECT_EQ(failedName, "gone.nc|reason");
  EXPECT_EQ(unreadableFileMessage("gone.nc", "No such file"), "gone.nc\r\nNo such file");

  seen.clear();
  EXPECT_TRUE(kakou_time({path, path}, sink));
  EXPECT_EQ(seen.size(), 2);
  EXPECT_TRUE(kakou_time({}, sink));
}
