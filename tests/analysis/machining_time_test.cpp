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

// Small programs whose figures are worked out by hand: each construct a control reads.
TEST(MachiningReading, HandWorkedPrograms) {
  const struct {
    const char* program;
    Figures figures;
  } cases[] = {
      // A file starts absolute: the second X10. stays where it is; G91 moves again.
      {"G01 X10. F100\r\nX10.\r\nM30\r\n", {"0.10", "10.00"}},
      {"G91 G01 X10. F100\r\nX10.\r\nM30\r\n", {"0.20", "20.00"}},
      // G1 without its leading zero, lower case, blanks inside words.
      {"G1 X10. F100\r\nM30\r\n", {"0.10", "10.00"}},
      {"g1 x10. f100\r\nm30\r\n", {"0.10", "10.00"}},
      {"G 0 1 X 1 0 . F 1 0 0\r\nM30\r\n", {"0.10", "10.00"}},
      // A rapid runs at the rapid rate and leaves the feed as it was.
      {"G0 X10. F100\r\nG1 X20.\r\nM30\r\n", {"0.10", "10.00"}},
      // Comments hold no words: neither the X of "(X Y ZERO)" nor anything after ";".
      {"(T1 = 10MM X Y ZERO)\r\nG01 X10. F100 ; X99.\r\nM30\r\n", {"0.10", "10.00"}},
      // A word written with the value 0 is a move to 0.
      {"G01 X10. F100\r\nZ0.\r\nX0\r\nM30\r\n", {"0.20", "20.00"}},
      // Without any F the initial 5000 mm/min holds; F0 is 100 mm/min.
      {"G01 X100.\r\nM30\r\n", {"0.02", "100.00"}},
      {"G01 X10. F0\r\nM30\r\n", {"0.10", "10.00"}},
      // Inch: 1 inch at 10 inch/min.
      {"G20 G01 X1. F10.\r\nM30\r\n", {"0.10", "25.40"}},
      {"G20 G01 X10000 F10.\r\nM30\r\n", {"0.10", "25.40"}},
      // Feed per revolution: 0.1 mm at 1000 rev/min.
      {"S1000 G95 G01 X10. F0.1\r\nM30\r\n", {"0.10", "10.00"}},
      // Dwells: P in milliseconds, X in seconds.
      {"G04 P3000\r\nM30\r\n", {"0.05", "0.00"}},
      {"G04 X3.\r\nG4 X3000\r\nM30\r\n", {"0.10", "0.00"}},
      // A full helix: √((2π·10)² + 5²).
      {"G17 G03 X0 Y0 I10. Z-5. F100\r\nM30\r\n", {"0.63", "63.03"}},
      // In the ZX plane, seen from +Y: by radius the short quarter; about the centre (Z0, X10)
      // G02 runs clockwise the long way, three quarters.
      {"G18 G02 X10. Z10. R10. F100\r\nM30\r\n", {"0.16", "15.71"}},
      {"G18 G02 X10. Z10. I10. F100\r\nM30\r\n", {"0.47", "47.12"}},
      {"G18 G03 X10. Z10. I10. F100\r\nM30\r\n", {"0.16", "15.71"}},
      // Two holes from an initial level of 10: 76 mm at the rapid rate, 14 mm drilled.
      {"G00 Z10.\r\nG81 X10. R2. Z-5. F100\r\nX20.\r\nG80\r\nM30\r\n", {"0.16", "14.00"}},
      // G99 returns to R: 10 + (10 + 8 + 7) + 10 at the rapid rate.
      {"G00 Z10.\r\nG99 G81 X10. R2. Z-5. F100\r\nX20.\r\nG80\r\nM30\r\n", {"0.15", "14.00"}},
      // A peck of 0.001 mm (Q1 without its point) down 100 mm: 99 999 pecks, added up in one step.
      // G73: fed 0.001 + 99 998 × 0.255 + 0.255 = 25 499.746 mm at 100 mm/min; backed off
      // 99 999 × 0.254 mm and back up 100 mm at the rapid rate: 254.997 + 5.080 + 0.020 min.
      {"G00 Z0\r\nG73 X0 R0 Z-100. Q1 F100\r\nG80\r\nM30\r\n", {"260.10", "25499.75"}},
      // Up 50, back through the intermediate point to the reference: 100 mm at 5000 mm/min.
      {"G00 Z50.\r\nG91 G28 Z0\r\nM30\r\n", {"0.02", "0.00"}},
      // G53 goes at the rapid rate whatever the motion mode.
      {"G01 F100\r\nG53 Z50.\r\nM30\r\n", {"0.01", "0.00"}},
      // Offsets set by G10 and G52, and the arguments of a G65 macro call, are no moves.
      {"G10 L2 P1 X-100. Y-50.\r\nG52 X10.\r\nG65 P9010 X5. Z3.\r\nG01 X10. F100\r\nM30\r\n", {"0.10", "10.00"}},
      // G92 renames the position without a move.
      {"G92 X100.\r\nG01 X110. F100\r\nM30\r\n", {"0.10", "10.00"}},
      // An R arc whose chord is a hair longer than its diameter is the half circle over it.
      {"G02 X20.001 R10. F100\r\nM30\r\n", {"0.31", "31.42"}},
  };
  for (const auto& c : cases) EXPECT_EQ(figures(c.program), c.figures) << c.program;
}

TEST(MachiningRows, ProgramNumberAndModesCarryAcrossProgramEnds) {
  const auto rows = measure("O5\r\nG91 G01 X10. F100\r\nM30\r\nX10.\r\nM99\r\n");
  ASSERT_EQ(rows.size(), 2);
  EXPECT_EQ(rows[0].texts(), QStringList({"p.nc", "5", "0.10", "10.00", "0.06"}));
  EXPECT_EQ(rows[1].texts(), QStringList({"", "5", "0.10", "10.00", "0.02"}));
  EXPECT_EQ(rows[0].characters, 3 + 18 + 4);
  EXPECT_EQ(rows[1].characters, 5 + 4);
}

TEST(MachiningRows, ProgramNumberIsAnOWordOrLabelThatBeginsABlock) {
  EXPECT_EQ(measure("O7\r\nM30\r\nO0\r\nM30\r\n")[1].programNumber, "7");
  EXPECT_EQ(measure("(T1 = 10MM)\r\nM30\r\n")[0].programNumber, "");
  EXPECT_EQ(measure("N10 O12\r\nM30\r\n")[0].programNumber, "");
  EXPECT_EQ(measure(":1234 (PART)\r\nM30\r\n")[0].programNumber, "1234");
  EXPECT_EQ(measure("o0012.\r\nM30\r\n")[0].programNumber, "12");
}

TEST(MachiningRows, BlocksWithM30M02OrM99EndAProgram) {
  EXPECT_EQ(measure("N100 M30\r\nM30 (END)\r\nG91 G01 X10. F100 M02\r\nM99 P10\r\n").size(), 4);
  // The block's move is made before the program ends.
  EXPECT_EQ(measure("G91 G01 X10. F100 M02\r\n")[0].time, "0.10");
  EXPECT_TRUE(measure("M300\r\nM3\r\n(M30)\r\n").isEmpty());
}

TEST(MachiningRows, PercentEndsOnlyAfterOtherCharacters) {
  EXPECT_TRUE(measure("%\r\n").isEmpty());
  EXPECT_TRUE(measure("%\r\nM30\r\n%\r\n").size() == 1);
  EXPECT_EQ(measure("\r\n%\r\n").size(), 1);  // an empty line counts one character
  EXPECT_TRUE(measure(" %\r\n").isEmpty());   // only the exact text ends a program
}

TEST(MachiningRows, ALastProgramWithoutEndCodeGivesItsRowAtTheEndOfTheFile) {
  // A control that needs no end code, or a program cut off in a transfer: what it holds shows.
  const auto rows = measure("G91 G01 X10. F100\r\nM30\r\nX99.\r\n");
  ASSERT_EQ(rows.size(), 2);
  EXPECT_EQ(rows[0].time, "0.10");
  EXPECT_EQ(rows[1].time, "0.99");
  EXPECT_EQ(rows[1].characters, 5);
  // Nothing measured after the last end: no row for it.
  EXPECT_EQ(measure("G91 G01 X10. F100\r\nM30\r\n%\r\nM05\r\n").size(), 1);
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
  const QByteArray utf8 = QStringLiteral("(加工)\r\n").toUtf8();
  EXPECT_EQ(measure(utf8 + "M30\r\n")[0].characters, 5 + 4);
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
