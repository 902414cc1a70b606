// The toolpath's block table against the reading it was made from, on random mill and lathe
// programs with every kind of line end: each block's line, bytes and length as the file holds
// them; the time into the program after it equal to the estimate's running total (its last move,
// the row at a program's end); where the tool stands after it; and the moves drawn up to it.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "analysis/machining_time.h"
#include "analysis/nc_character.h"
#include "analysis/program_reading.h"
#include "analysis/toolpath.h"
#include "random_programs.h"

using namespace korvane;

namespace {

struct Told final : ReadingObserver {
  struct Block {
    BlockPlace place;
    std::int64_t length = 0;
    bool programEnd = false;
  };
  std::vector<Block> blocks;
  std::vector<Move> moves;
  std::vector<MachiningRow> rows;
  std::map<std::int64_t, double> rowAt;  // the block carried out last when a row ended
  std::int64_t lastCarriedOut = -1;
  void blockRead(std::int64_t, const BlockPlace& place, const BlockWords& words) override {
    blocks.push_back({place, words.length, words.is(BlockWords::kProgramEnd)});
  }
  void block(std::int64_t ordinal, const ModalState& state, double) override {
    if (!state.shapeBlock) lastCarriedOut = ordinal;
  }
  void move(const Move& m) override {
    if (m.kind != MoveKind::Dwell) moves.push_back(m);
  }
  void rowEnded(const MachiningRow& row) override {
    rows.push_back(row);
    rowAt[lastCarriedOut] = row.minutes;
  }
};

// Characters of NC text, a double-byte character counting as one.
std::int64_t characters(QByteArrayView text) {
  std::int64_t count = 0;
  for (qsizetype i = 0; i < text.size(); ++count) {
    i += ncCharacterLength(reinterpret_cast<const unsigned char*>(text.data()) + i, text.size() - i);
  }
  return count;
}

void checkProgram(const QByteArray& program, const MachineModel& machine, const std::string& name) {
  Told told;
  readProgramBytes(program, QStringLiteral("p.nc"), machine, told);
  const std::unique_ptr<Toolpath> path = readToolpathBytes(program, machine);
  ASSERT_EQ(path->blockCount(), static_cast<std::int64_t>(told.blocks.size())) << name;

  // The moves each block made, and the last of them.
  std::map<std::int64_t, const Move*> lastMove;
  std::map<std::int64_t, std::size_t> movesUpTo;
  for (const Move& m : told.moves) lastMove[m.block] = &m;
  std::int64_t line = 0;
  for (std::int64_t k = 0; k < path->blockCount(); ++k) {
    const Toolpath::BlockInfo info = path->block(k);
    const Told::Block& read = told.blocks[static_cast<std::size_t>(k)];
    SCOPED_TRACE(name + " block " + std::to_string(k));
    EXPECT_EQ(info.place.line, read.place.line);
    EXPECT_EQ(info.place.offset, read.place.offset);
    EXPECT_EQ(info.place.bytes, read.place.bytes);
    // The block's words were read from its own line: as many characters (a line holds one block,
    // or several split at LF characters).
    const QByteArrayView text(program.constData() + read.place.offset, read.place.bytes);
    if (!text.contains('\n')) {
      EXPECT_EQ(read.length, characters(text));
    }
    EXPECT_GE(read.place.line, line);
    line = read.place.line;
    if (const auto row = told.rowAt.find(k); row != told.rowAt.end()) {
      EXPECT_DOUBLE_EQ(info.minutes, row->second);  // the row's time: what 加工長、時間 shows
    } else if (const auto last = lastMove.find(k); last != lastMove.end() && !info.passedOver) {
      EXPECT_NEAR(info.minutes, last->second->minutes, 1e-9);
      const double x = machine.lathe() ? 2 * last->second->end.x : last->second->end.x;
      EXPECT_NEAR(info.position.x, x, 1e-4);
      EXPECT_NEAR(info.position.y, last->second->end.y, 1e-4);
      EXPECT_NEAR(info.position.z, last->second->end.z, 1e-4);
    }
    // The path drawn up to the block: its moves and those before, no other.
    const std::size_t drawn = path->movesThrough(k);
    std::size_t travelled = 0;
    for (std::size_t i = 0; i < drawn; ++i) {
      EXPECT_LE(static_cast<std::int64_t>(path->move(i).block), k);
      if (path->kind(i) != Toolpath::Kind::Jump) ++travelled;
    }
    if (drawn < path->moveCount()) {
      EXPECT_GT(static_cast<std::int64_t>(path->move(drawn).block), k);
    }
    std::size_t told_ = 0;
    for (const Move& m : told.moves) told_ += m.block <= k;
    EXPECT_EQ(travelled, told_);
    if (::testing::Test::HasFailure()) return;
  }
  // The rows, and their times, are the estimate's.
  QList<MachiningRow> estimated;
  MachiningTimeCalculator calculator([&estimated](const MachiningRow& row) { estimated << row; },
                                     MachiningTimeCalculator::kDefaultBufferSize, machine);
  calculator.computeBytes(QStringLiteral("program.nc"), program);
  ASSERT_EQ(path->rows().size(), static_cast<std::size_t>(estimated.size())) << name;
  for (qsizetype i = 0; i < estimated.size(); ++i) {
    EXPECT_EQ(path->rows()[static_cast<std::size_t>(i)].texts(), estimated[i].texts()) << name;
  }
}

}  // namespace

TEST(ToolpathModel, BlocksOfRandomMillProgramsAreWhereAndWhenTheReadingHasThem) {
  for (unsigned seed = 100; seed < 120; ++seed) {
    checkProgram(test::RandomProgram(seed).mill(60), MachineModel{}, "mill seed " + std::to_string(seed));
    if (HasFailure()) return;
  }
}

TEST(ToolpathModel, BlocksOfRandomLatheProgramsAreWhereAndWhenTheReadingHasThem) {
  MachineModel lathe;
  lathe.kind = MachineModel::Kind::Lathe;
  for (unsigned seed = 100; seed < 120; ++seed) {
    checkProgram(test::RandomProgram(seed).lathe(20), lathe, "lathe seed " + std::to_string(seed));
    if (HasFailure()) return;
  }
}

TEST(ToolpathModel, ABlockIsNamedByItsNumberLineToolChangeOrText) {
  const QByteArray program =
      "%\r\nO1\r\nT1 M06\r\nN10 G00 X0 Y0\r\nN20 G01 X10. F100\r\nT2 M06 (\x83\x65\x83\x58\x83\x67)\r\nN30 G01 Y10.\r\nM30\r\n%\r\n";
  const auto selected = [&](const char* name) {
    QString why;
    const std::optional<BlockSelector> selector = BlockSelector::parse(QString::fromUtf8(name), &why);
    EXPECT_TRUE(selector) << why.toStdString();
    return selector ? readToolpathBytes(program, MachineModel{}, selector)->selectedBlock() : std::nullopt;
  };
  EXPECT_EQ(selected("N20"), 4);
  EXPECT_EQ(selected("line:7"), 6);
  EXPECT_EQ(selected("7"), 6);
  EXPECT_EQ(selected("tool:2"), 6);  // the first block after the second tool change
  EXPECT_EQ(selected("text:テスト"), 5);
  EXPECT_EQ(selected("N99"), std::nullopt);
}
