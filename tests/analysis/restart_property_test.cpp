// A restart at a random block, read back through the same reading, makes from that block on
// the moves the whole program makes there: the same end points, feed rates, spindle speeds and
// tools; and its approach goes below the block's start only by the one feed down. Refusals are
// allowed only where the state says the block cannot be restarted.
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <vector>

#include "analysis/restart_program.h"
#include "restart_programs.h"

using namespace korvane;

namespace {

struct Reading final : ReadingObserver {
  std::vector<BlockPlace> places;
  std::vector<ModalState> states;
  std::vector<Move> moves;
  void blockRead(std::int64_t ordinal, const BlockPlace& place, const BlockWords&) override {
    places.resize(static_cast<std::size_t>(ordinal) + 1);
    places[static_cast<std::size_t>(ordinal)] = place;
  }
  void block(std::int64_t ordinal, const ModalState& state, double) override {
    states.resize(std::max(states.size(), static_cast<std::size_t>(ordinal) + 1));
    states[static_cast<std::size_t>(ordinal)] = state;
  }
  void move(const Move& m) override { moves.push_back(m); }
  void rowEnded(const MachiningRow&) override {}
};

Reading readOf(const QByteArray& program, const MachineModel& machine) {
  Reading r;
  readProgramBytes(program, QStringLiteral("p.nc"), machine, r);
  return r;
}

std::vector<Move> movesFrom(const Reading& r, std::int64_t block) {
  std::vector<Move> out;
  for (const Move& m : r.moves) {
    if (m.block >= block) out.push_back(m);
  }
  return out;
}

bool near(double a, double b, double tolerance) { return std::fabs(a - b) <= tolerance; }

std::string describe(const Move& m) {
  return "kind " + std::to_string(int(m.kind)) + " to (" + std::to_string(m.end.x) + ", " + std::to_string(m.end.y) +
         ", " + std::to_string(m.end.z) + ") F " + std::to_string(m.feedRate) + " S " + std::to_string(m.spindle) + " T " +
         std::to_string(m.tool);
}

// Whether the state a block finds is one the restart may refuse (or one the generator makes
// unrestartable): a cycle's shape, compensation, a macro, a block inside a cycle without a
// position, a shape cycle after it whose shape stands before it.
struct Outcome {
  int restarted = 0;
  int refused = 0;
};

void checkRestart(const QByteArray& program, const MachineModel& machine, std::int64_t b, Outcome& outcome) {
  const Reading whole = readOf(program, machine);
  RestartAt at;
  at.ordinal = b;
  const RestartProgram restart = buildRestartProgram(program, QStringLiteral("p.nc"), at, machine);
  const ModalState& found = whole.states[static_cast<std::size_t>(b)];
  // A shape's block and compensation in force are always refused; a refusal names one of the
  // reasons the programs written here can give.
  if (found.shapeBlock || found.cutterCompensation != 40) {
    EXPECT_FALSE(restart.ok) << "block " << b << "\n" << program.toStdString();
  }
  if (!restart.ok) {
    ++outcome.refused;
    const QString& why = restart.reason;
    const bool shape = found.shapeBlock && why.contains(QStringLiteral("形状のブロック"));
    const bool compensation = found.cutterCompensation != 40 && why.contains(QStringLiteral("工具径補正"));
    const bool inCycle = found.cycle != 0 && why.contains(QStringLiteral("サイクルの途中"));
    const bool shapeBefore = machine.lathe() && why.contains(QStringLiteral("その形状は"));
    EXPECT_TRUE(shape || compensation || inCycle || shapeBefore)
        << "block " << b << " refused: " << why.toStdString() << "\n" << program.toStdString();
    return;
  }
  ++outcome.restarted;
  const Reading again = readOf(restart.text, machine);
  const std::int64_t headerLines = restart.header.count('\n') ? restart.header.count('\n') : restart.header.count('\r');
  std::int64_t start = -1;
  for (std::size_t k = 0; k < again.places.size() && start < 0; ++k) {
    if (again.places[k].line == headerLines + 1) start = static_cast<std::int64_t>(k);
  }
  ASSERT_GE(start, 0);
  std::vector<Move> expected = movesFrom(whole, b);
  std::vector<Move> got = movesFrom(again, start);
  // A drilling cycle that goes on starts from the level the cycle started from: the rapids of
  // its first hole up to the R level over the hole may differ; from there on nothing may.
  const bool drillingGoesOn = found.cycle != 0 && !machine.lathe() && !got.empty() && got.front().cycle;
  if (drillingGoesOn) {
    const auto dropRapidsToR = [](std::vector<Move>& moves) {
      std::size_t n = 0;
      while (n < moves.size() && moves[n].kind == MoveKind::Rapid && moves[n].block == moves.front().block) ++n;
      const Move last = n > 0 ? moves[n - 1] : Move{};
      moves.erase(moves.begin(), moves.begin() + static_cast<std::ptrdiff_t>(n));
      return last;
    };
    const Move e = dropRapidsToR(expected);
    const Move g = dropRapidsToR(got);
    EXPECT_TRUE(near(g.end.x, e.end.x, 0.0026) && near(g.end.y, e.end.y, 0.0026) && near(g.end.z, e.end.z, 0.0026))
        << describe(g) << " / " << describe(e) << "\n" << restart.text.toStdString();
  }
  const std::string context = "block " + std::to_string(b) + " (line " +
                              std::to_string(whole.places[static_cast<std::size_t>(b)].line) + ")\n" +
                              restart.text.toStdString() + "\n---- the program:\n" + program.toStdString();
  ASSERT_EQ(got.size(), expected.size()) << context;
  // Coordinates go into the header rounded as a program writes them.
  const double tolerance = found.inch ? 0.0026 : 0.0011;
  for (std::size_t i = 0; i < got.size(); ++i) {
    const Move& e = expected[i];
    const Move& g = got[i];
    EXPECT_EQ(int(g.kind), int(e.kind)) << i << "\n" << context;
    EXPECT_TRUE(near(g.end.x, e.end.x, tolerance) && near(g.end.y, e.end.y, tolerance) &&
                near(g.end.z, e.end.z, tolerance))
        << "move " << i << ": " << describe(g) << " where the program makes " << describe(e) << "\n" << context;
    // A lathe's speed kept from G96 goes out as a whole rpm: feeds per revolution follow it.
    const double spindleTolerance = machine.lathe() ? 0.5 : 1e-9;
    EXPECT_TRUE(near(g.feedRate, e.feedRate, 1e-6 * std::max(1.0, e.feedRate) + e.feedRate * spindleTolerance / std::max(1.0, e.spindle)))
        << "move " << i << ": " << describe(g) << " / " << describe(e) << "\n" << context;
    EXPECT_TRUE(near(g.spindle, e.spindle, spindleTolerance + 1e-9))
        << "move " << i << ": " << describe(g) << " / " << describe(e) << "\n" << context;
    EXPECT_EQ(g.tool, e.tool) << i << "\n" << context;
    if (testing::Test::HasFailure()) return;
  }
  // The approach: nothing goes down below where the block starts but the feed down, and the
  // lathe's approach is all rapid.
  const double startZ = found.position.z;
  std::vector<Move> approach;
  for (const Move& m : again.moves) {
    if (m.block < start) approach.push_back(m);
  }
  for (std::size_t i = 0; i < approach.size(); ++i) {
    const Move& m = approach[i];
    if (machine.lathe()) {
      EXPECT_EQ(int(m.kind), int(MoveKind::Rapid)) << context;
      continue;
    }
    const bool feedDown = i + 1 == approach.size() && m.kind == MoveKind::Feed;
    if (feedDown) {
      // Inside a drilling cycle the tool comes down to the level the cycle started from.
      EXPECT_TRUE(near(m.end.z, startZ, tolerance) || (found.cycle != 0 && near(m.end.z, found.drillInitialLevel, tolerance)))
          << context;
    } else if (m.end.z < m.start.z - 1e-9 && m.end.z < startZ - tolerance) {
      ADD_FAILURE() << "the approach goes down to " << m.end.z << " below " << startZ << "\n" << context;
    }
  }
}

void runPrograms(bool lathe, unsigned seed, int programs, Outcome& outcome) {
  test::ProgramWriter writer(seed);
  MachineModel machine;
  if (lathe) machine.kind = MachineModel::Kind::Lathe;
  std::mt19937 pick(seed + 1);
  for (int p = 0; p < programs && !testing::Test::HasFailure(); ++p) {
    const QByteArray program = lathe ? writer.lathe() : writer.mill();
    const std::int64_t blocks = readOf(program, machine).places.size();
    for (int n = 0; n < 12 && !testing::Test::HasFailure(); ++n) {
      const std::int64_t b = std::uniform_int_distribution<std::int64_t>(3, blocks - 2)(pick);
      checkRestart(program, machine, b, outcome);
    }
  }
}

}  // namespace

TEST(RestartProperty, MillRestartsMakeTheProgramsOwnMovesFromTheBlockOn) {
  Outcome outcome;
  runPrograms(false, 20261209, 40, outcome);
  // Most blocks of such programs can be restarted; the refusals are the ones allowed above.
  EXPECT_GT(outcome.restarted, 3 * outcome.refused);
  std::cout << outcome.restarted << " restarted, " << outcome.refused << " refused\n";
}

TEST(RestartProperty, LatheRestartsMakeTheProgramsOwnMovesFromTheBlockOn) {
  Outcome outcome;
  runPrograms(true, 20261210, 40, outcome);
  EXPECT_GT(outcome.restarted, outcome.refused);
  std::cout << outcome.restarted << " restarted, " << outcome.refused << " refused\n";
}
