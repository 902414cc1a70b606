// The placed reading against the time estimate: every block where it stands in the file, and
// moves whose lengths and times add up to the estimate's rows.
#include <gtest/gtest.h>

#include <QByteArray>
#include <map>
#include <vector>

#include "analysis/machining_time.h"
#include "analysis/program_reading.h"

using namespace korvane;

namespace {

struct Recorder final : ReadingObserver {
  std::vector<BlockPlace> places;
  std::vector<Move> moves;
  std::vector<MachiningRow> rows;
  std::vector<std::int64_t> carriedOut;
  std::vector<std::int64_t> passedOver;
  void blockRead(std::int64_t ordinal, const BlockPlace& place, const BlockWords&) override {
    EXPECT_EQ(ordinal, static_cast<std::int64_t>(places.size()));
    places.push_back(place);
  }
  void block(std::int64_t ordinal, const ModalState& state, double) override {
    (state.shapeBlock ? passedOver : carriedOut).push_back(ordinal);
  }
  void move(const Move& move) override { moves.push_back(move); }
  void rowEnded(const MachiningRow& row) override { rows.push_back(row); }
};

QList<MachiningRow> estimate(const QByteArray& program, const MachineModel& machine) {
  QList<MachiningRow> rows;
  MachiningTimeCalculator calculator([&rows](const MachiningRow& row) { rows << row; },
                                     MachiningTimeCalculator::kDefaultBufferSize, machine);
  calculator.computeBytes(QStringLiteral("p.nc"), program);
  return rows;
}

// The moves of each row: their feed lengths and the time of the last one give the row's figures.
void expectMovesAddUpToRows(const QByteArray& program, const MachineModel& machine) {
  Recorder recorder;
  readProgramBytes(program, QStringLiteral("p.nc"), machine, recorder);
  const QList<MachiningRow> rows = estimate(program, machine);
  ASSERT_EQ(recorder.rows.size(), static_cast<std::size_t>(rows.size()));
  std::size_t row = 0;
  double cutting = 0;
  double lastMinutes = 0;
  for (const Move& m : recorder.moves) {
    // A move's time runs on within its row; a smaller one starts the next row.
    if (m.minutes + 1e-9 < lastMinutes) {
      EXPECT_NEAR(cutting, rows[static_cast<qsizetype>(row)].cuttingLength.toDouble(), 0.006) << "row " << row;
      ++row;
      cutting = 0;
    }
    if (m.kind == MoveKind::Feed || m.kind == MoveKind::Arc) cutting += m.length;
    lastMinutes = m.minutes;
  }
  for (std::size_t i = 0; i < recorder.rows.size(); ++i) {
    EXPECT_EQ(recorder.rows[i].texts(), rows[static_cast<qsizetype>(i)].texts());
  }
}

}  // namespace

TEST(ProgramReading, TellsEachBlockWithItsLineAndBytes) {
  // CR LF, a lone CR, bare LF, a blank line, Shift-JIS text in a comment, and a line far longer
  // than the reading's buffer.
  QByteArray longLine = "G01 X1. (";
  longLine += QByteArray(3 << 20, 'A');
  longLine += "\x83\x65)";  // テ
  const QByteArray program = "%\r\nO1 (\x83\x65\x83\x58\x83\x67)\r\nG01 X10. F100\rG01 Y5.\n\nX2.\n" + longLine + "\r\nM30\r\n";
  Recorder r;
  readProgramBytes(program, QStringLiteral("p.nc"), MachineModel{}, r);
  ASSERT_EQ(r.places.size(), 8u);
  const std::vector<std::int64_t> lines{1, 2, 3, 4, 5, 6, 7, 8};
  for (std::size_t i = 0; i < r.places.size(); ++i) {
    EXPECT_EQ(r.places[i].line, lines[i]) << i;
  }
  const auto text = [&](std::size_t i) { return program.mid(r.places[i].offset, r.places[i].bytes); };
  EXPECT_EQ(text(1), QByteArray("O1 (\x83\x65\x83\x58\x83\x67)"));
  EXPECT_EQ(text(2), QByteArray("G01 X10. F100"));
  EXPECT_EQ(text(3), QByteArray("G01 Y5."));
  EXPECT_EQ(text(4), QByteArray());
  EXPECT_EQ(text(6), longLine);
  EXPECT_EQ(text(7), QByteArray("M30"));
  // The same rows as the estimate, whose reading splits the same bytes its own way.
  expectMovesAddUpToRows(program, MachineModel{});
}

TEST(ProgramReading, MovesAddUpToTheRowsOnMillsAndLathes) {
  const QByteArray mill =
      "%\r\nO10\r\nG90 G17 G21 G94\r\nT1 M06\r\nG00 X0 Y0 Z5.\r\nG01 Z-1. F100\r\nG02 X10. Y10. R10.\r\n"
      "G03 X0 Y0 I-5. J-5. Z-2.\r\nG81 X20. Y20. Z-5. R1. F50\r\nX30.\r\nG80\r\nG91 G01 X5. Y-5.\r\nM30\r\n"
      "O20\r\nG90 G00 X1. Y1.\r\nG01 X3. F200\r\nM99\r\n%\r\n";
  expectMovesAddUpToRows(mill, MachineModel{});
  MachineModel lathe;
  lathe.kind = MachineModel::Kind::Lathe;
  lathe.spindleLimit = 2500;
  const QByteArray turning =
      "%\r\nO100\r\nG50 S2000\r\nT0101\r\nG00 X52. Z2.\r\nG96 S180 M03\r\nG71 U1.5 R0.5\r\n"
      "G71 P10 Q20 U0.4 W0.1 F0.25\r\nN10 G00 X20.\r\nG01 Z-15.\r\nG02 X30. Z-20. R5.\r\nG01 Z-35.\r\n"
      "N20 X52.\r\nG70 P10 Q20 F0.1\r\nG97 S800\r\nG76 P010060 Q100 R0.05\r\nG76 X18.2 Z-12. P900 Q300 F1.5\r\n"
      "G00 X100. Z100.\r\nM30\r\n%\r\n";
  expectMovesAddUpToRows(turning, lathe);
}

TEST(ProgramReading, ShapeBlocksAfterTheirCycleArePassedOverNotCarriedOut) {
  MachineModel lathe;
  lathe.kind = MachineModel::Kind::Lathe;
  const QByteArray program =
      "O1\nG00 X40. Z2.\nG71 U1. R0.5\nG71 P10 Q20 U0.2 W0.1 F0.2\nN10 G00 X20.\nG01 Z-10.\nN20 X40.\nG00 X80.\nM30\n";
  Recorder r;
  readProgramBytes(program, QStringLiteral("p.nc"), lathe, r);
  EXPECT_EQ(r.passedOver, (std::vector<std::int64_t>{4, 5, 6}));
  EXPECT_EQ(r.carriedOut, (std::vector<std::int64_t>{0, 1, 2, 3, 7, 8}));
}
