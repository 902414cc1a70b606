// How the DNC conversion reads: list files into records, the work data into lines, and the index
// of program starts that replaces reading the data from its start for every call.
#include <gtest/gtest.h>

#include "analysis/dnc_line_reader.h"
#include "analysis/dnc_work_data.h"
#include "analysis/program_index.h"

using namespace korvane;

namespace {

QByteArray joined(std::initializer_list<QByteArrayView> pieces) {
  RecordJoiner joiner;
  QByteArray out;
  for (QByteArrayView p : pieces) joiner.feed(p, out);
  joiner.finish(out);
  return out;
}

struct ReadLine {
  QByteArray text;
  bool last;
  bool operator==(const ReadLine&) const = default;
};

std::vector<ReadLine> allLines(const QByteArray& data) {
  DncLineReader reader(data);
  std::vector<ReadLine> lines;
  qint64 position = 0;
  while (lines.size() < 100) {
    const DncLine line = reader.read(position);
    lines.push_back({line.bytes.toByteArray(), line.last});
    if (line.last) break;
  }
  return lines;
}

}  // namespace

TEST(DncRecords, LineEndsBecomeCrLf) {
  EXPECT_EQ(joined({"A\r\nB\r\n"}), QByteArray("A\r\nB\r\n"));
  EXPECT_EQ(joined({"A\rB\r"}), QByteArray("A\r\nB\r\n"));
  EXPECT_EQ(joined({"A\r\nB"}), QByteArray("A\r\nB\r\n"));  // last line without a line end
  EXPECT_EQ(joined({"A\r\r\nB"}), QByteArray("A\r\n\r\nB\r\n"));  // a lone CR, then an empty record
  EXPECT_EQ(joined({""}), QByteArray());
  EXPECT_EQ(joined({"\r\n\r\n"}), QByteArray("\r\n\r\n"));
}

TEST(DncRecords, BareLfStaysInsideItsRecord) {
  EXPECT_EQ(joined({"A\nB\n"}), QByteArray("A\nB\n\r\n"));
  EXPECT_EQ(joined({"A\r\n\n"}), QByteArray("A\r\n\n\r\n"));
}

TEST(DncRecords, CrLfSplitAcrossPiecesIsOneLineEnd) {
  EXPECT_EQ(joined({"A\r", "\nB\r", "", "\n"}), QByteArray("A\r\nB\r\n"));
  EXPECT_EQ(joined({"A\r", "B"}), QByteArray("A\r\nB\r\n"));
}

TEST(DncLines, LastLineCarriesTheEndMarkAndTheFinalLfIsNeverRead) {
  EXPECT_EQ(allLines("%\r\nO1\r\nM30\r\n"),
            (std::vector<ReadLine>{{"%", false}, {"O1", false}, {"M30", true}}));
}

TEST(DncLines, ReadAtTheEndGivesAnEmptyLastLine) {
  EXPECT_EQ(allLines("A\n\r\n"), (std::vector<ReadLine>{{"A", false}, {"", true}}));
  EXPECT_EQ(allLines(""), (std::vector<ReadLine>{{"", true}}));
  DncLineReader reader("A\r\n");
  qint64 position = 0;
  EXPECT_EQ(reader.read(position).bytes.toByteArray(), QByteArray("A"));
  const DncLine again = reader.read(position);
  EXPECT_TRUE(again.last);
  EXPECT_TRUE(again.bytes.isEmpty());
}

TEST(DncLines, CrAndEndOfFileMarkAreDroppedAnywhere) {
  EXPECT_EQ(allLines("G\r01\x1a X1\r\nM30\x1a\r\n"),
            (std::vector<ReadLine>{{"G01 X1", false}, {"M30", true}}));
}

TEST(DncLineText, WordsLieOutsideCommentsAndShiftJisTrailBytes) {
  const auto has = [](const char* line, BlockWords::Flag flag) { return DncLineText(line).words().is(flag); };
  // 0x83 0x4D is one Shift-JIS character whose second byte is "M".
  EXPECT_FALSE(has("\x83\x4d" "99", BlockWords::kSubprogramEnd));
  EXPECT_FALSE(has("(M99)", BlockWords::kSubprogramEnd));
  EXPECT_TRUE(has("N10 M99 (END)", BlockWords::kSubprogramEnd));
  EXPECT_TRUE(has("m98 p10", BlockWords::kCall));
  EXPECT_TRUE(has("G01 M98P10", BlockWords::kCall));
  EXPECT_FALSE(has("(M98P10)", BlockWords::kCall));
  EXPECT_EQ(DncLineText("(\x83\x4f" "12)").programNumber(), 0.0);
  EXPECT_EQ(DncLineText("(O12) G01").programNumber(), 0.0);
  EXPECT_EQ(DncLineText("N5 O34").programNumber(), 0.0);
  EXPECT_EQ(DncLineText("O0034 (PART)").programNumber(), 34.0);
}

TEST(DncLineText, CallWordsAreTakenAsWritten) {
  const BlockWords w = DncLineText("M98 L2 P01000").words();
  EXPECT_EQ(w.number(Address::P), 1000.0);
  EXPECT_EQ(w.pDigits, 5);
  EXPECT_EQ(w.number(Address::L), 2.0);
  EXPECT_EQ(DncLineText("M98P1000.").words().number(Address::P), 1000.0);
  EXPECT_FALSE(DncLineText("M98 P#100").words().has(Address::P));
}

TEST(DncLineText, DecodesUtf8AndShiftJis) {
  EXPECT_EQ(decodeNcText("(\x83\x4f)"), QStringLiteral("(グ)"));
  EXPECT_EQ(decodeNcText("(\xe3\x82\xb0)"), QStringLiteral("(グ)"));
}

TEST(DncProgramIndex, FindsTheFirstLineWithTheNumber) {
  const QByteArray data("%\r\nO0001\r\nM30\r\nO1000\r\nA\r\nM99\r\nO1000\r\nB\r\nM99\r\n");
  const ProgramIndex index(data);
  const auto start = index.bodyStart(1000);
  ASSERT_TRUE(start.has_value());
  DncLineReader reader(data);
  qint64 position = *start;
  EXPECT_EQ(reader.read(position).bytes.toByteArray(), QByteArray("A"));
  EXPECT_FALSE(index.bodyStart(2000).has_value());
  EXPECT_EQ(index.duplicateReport(), QStringLiteral("  O1000\r\n"));
}

TEST(DncProgramIndex, LinesWithoutAnOWordCountAsZero) {
  const ProgramIndex index(QByteArray("%\r\nO0001\r\nG01\r\n"));
  EXPECT_EQ(index.bodyStart(0), 3);  // the line after "%"
  EXPECT_EQ(index.bodyStart(1), 10);
}

TEST(DncProgramIndex, NumberOnTheLastLineStartsItsBodyAtTheEnd) {
  const QByteArray data("%\r\nO1000\r\n");
  const ProgramIndex index(data);
  ASSERT_EQ(index.bodyStart(1000), data.size() - 1);
  DncLineReader reader(data);
  qint64 position = *index.bodyStart(1000);
  const DncLine line = reader.read(position);
  EXPECT_TRUE(line.last);
  EXPECT_TRUE(line.bytes.isEmpty());
}

TEST(DncProgramIndex, ReportFormatsNumbersWithoutLeadingZeros) {
  const ProgramIndex index(QByteArray("O0007\r\nO7\r\nO0\r\nO0\r\nO007.\r\nO7000\r\nO7000 (X)\r\n"));
  EXPECT_EQ(index.duplicateReport(), QStringLiteral("  O7\r\n  O7\r\n  O7000\r\n"));
  EXPECT_EQ(programLabel(1000), QStringLiteral("O1000"));
}
