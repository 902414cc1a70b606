#pragma once
// Follows the moves of a lathe program as a Fanuc-style lathe control (G code system A) makes
// them: X a diameter, U and W incremental, arcs in the ZX plane, feeds per revolution with the
// spindle speed following the diameter under G96, threads at the lead, the single cycles G90,
// G92 and G94 and the multiple repetitive cycles G70 to G76.
//
// A cycle that roughs out a shape (G70 to G73) needs the shape's blocks, which may come after it:
// such a cycle waits, and the blocks after it are held back, until the shape is found or the
// program ends. The program's blocks are kept for the shapes written before their cycle.

#include <vector>

#include "analysis/lathe_shape.h"
#include "analysis/lathe_spindle.h"
#include "analysis/motion_base.h"

namespace korvane {

class LatheMotion : public MotionBase {
 public:
  explicit LatheMotion(const MachineModel& machine = {}) : MotionBase(machine) { reset(); }

  // Every file starts at X0 Z0 in G18 G21 G99 G97 G40, rapid, spindle speed unknown, no tool.
  void reset();

  // Takes one block, the file's block number `ordinal`. Its moves are added to `totals` now, or
  // once a cycle before it that waits for its shape has been carried out.
  void apply(const BlockWords& words, std::int64_t ordinal, MotionTotals& totals);

  // The program ends (a result row follows): a waiting cycle takes the shape the program holds,
  // the blocks held back behind it are carried out, and the program's blocks are forgotten.
  void endProgram(MotionTotals& totals);

  // The blocks a waiting cycle may hold back, and the blocks of a program kept for shapes written
  // before their cycle: a shape further away is not found, and its cycle moves nothing.
  static constexpr std::size_t kHeldBlocksLimit = 1 << 16;

 private:
  struct Held {
    BlockWords words;
    std::int64_t ordinal = 0;
  };
  using Spot = lathe::Spot;

  // How a feed move is timed: at the modal feed (per minute or per revolution), or as a thread
  // at its lead times the spindle speed.
  enum class Pace { Cut, Thread };

  // A length word in millimetres, as the mill reads it (the coordinate rule).
  double length(const BlockWords& w, Address a) const {
    const double value = w.number(a) * incrementScale_[w.hasPoint(a)];
    return state_.inch ? value * machining::kMillimetresPerInch : value;
  }
  // A word in the least input increment whether or not it has a point (G74-G76 depths).
  double increments(const BlockWords& w, Address a) const {
    const double value = w.number(a) * leastIncrement();
    return state_.inch ? value * machining::kMillimetresPerInch : value;
  }
  double leastIncrement() const { return state_.inch ? 0.0001 : 0.001; }
  // Where the X (U) and Z (W) words lead from `from`: X a diameter, U a diameter's change.
  Spot target(const BlockWords& w, Spot from) const;
  static bool hasAxisWord(const BlockWords& w) {
    return (w.found & (bitOf(Address::X) | bitOf(Address::U) | bitOf(Address::Z) | bitOf(Address::W))) != 0;
  }

  void feedHeld(const Held& held, MotionTotals& totals);
  void tryShapeAhead(MotionTotals& totals);
  void runWaitingCycleWithoutShapeAhead(MotionTotals& totals);
  // Carries a shape cycle out; after a G70 the feed and the spindle in force before it are back.
  void carryOutShapeCycle(const Held& cycle, const std::vector<lathe::ShapeBlock>& shape, MotionTotals& totals);
  void execute(const BlockWords& w, std::int64_t ordinal, MotionTotals& totals);
  void tellSkipped(const Held& held);

  // Modes and words (lathe_words.cpp).
  void setUnits(int code);
  void setModes(const BlockWords& w);
  void setSpindle(const BlockWords& w);
  void setSpeedWord(const BlockWords& w);  // S: a surface speed, a speed, or G50's limit
  void changeTool(const BlockWords& w, MotionTotals& totals);
  bool oneShot(const BlockWords& w, MotionTotals& totals);  // true when the block was one
  static int singleCycleCode(const BlockWords& w);
  void plainMove(const BlockWords& w, MotionTotals& totals);

  // Moves; each adds its time and cutting length and tells the observer.
  void rapidTo(Spot to, MotionTotals& totals);
  void feedTo(Spot to, Pace pace, MotionTotals& totals);
  void arcAlong(const lathe::Segment& arc, MotionTotals& totals);
  void dwell(double seconds, MotionTotals& totals);
  double feedMinutes(double inverseTurns, double length, Pace pace) const;
  double feedRateAt(double radius, Pace pace) const;  // mm/min, for the observer
  void place(Spot at);
  void tellMove(MoveKind kind, Spot to, double length, double rate, const MotionTotals& totals,
                const lathe::Segment* arc = nullptr) const;

  // The single cycles, and the peck and thread cycles (lathe_cycles.cpp).
  void singleCycle(const BlockWords& w, MotionTotals& totals);

  // The multiple repetitive cycles (lathe_stock_removal.cpp, lathe_cycles.cpp).
  bool isShapeCycle(const BlockWords& w) const;
  void repetitiveCycle(const BlockWords& w, MotionTotals& totals);
  void shapeCycle(const BlockWords& w, const std::vector<lathe::ShapeBlock>& shapeBlocks, MotionTotals& totals);
  void stockRemoval(int code, const BlockWords& w, const lathe::Shape& shape, MotionTotals& totals);
  void patternRepeat(const BlockWords& w, const lathe::Shape& shape, MotionTotals& totals);
  void finish(const lathe::Shape& shape, MotionTotals& totals);
  void followShape(const lathe::Shape& shape, double dr, double dz, MotionTotals& totals);
  void peckCycle(int code, const BlockWords& w, MotionTotals& totals);
  void threadCycle(const BlockWords& w, MotionTotals& totals);
  void threadPass(Spot start, double passRadius, double endZ, MotionTotals& totals);
  std::vector<lathe::ShapeBlock> shapeBefore(std::int64_t cycleOrdinal, double ns, double nf) const;

  double incrementScale_[2] = {0.001, 1.0};
  Spot at_;                    // radius and Z
  lathe::Spindle spindle_;
  bool inCycle_ = false;
  int lastMotion_ = 0;         // the last of G00-G03 and G32, which a single cycle interrupts
  // A single cycle in force: its start point and its modal words.
  Spot cycleStart_;
  double cycleX_ = 0;  // radius
  double cycleZ_ = 0;
  double cycleTaper_ = 0;
  // Two-block settings of the multiple repetitive cycles, per code (G71-G76), and whether each
  // was read.
  struct CycleSettings {
    double depth = 0;      // G71 U, G72 W: Δd; G73 U: Δi
    double depthZ = 0;     // G73 W: Δk
    double retract = 0.5;  // R: e in mm; G73 d, a count; G76 d
    double p = 10000;      // G76 P (m r a): one finishing pass
    double q = 0;          // G76 Q: Δdmin
  };
  CycleSettings settings_[7];  // index code - 70
  CycleSettings& settingsOf(int code) { return settings_[code - 70]; }
  struct SavedFeedAndSpindle {
    double feed;
    bool feedWritten;
    lathe::Spindle spindle;
    double spindleWord;
    bool spindleWritten;
    bool constantSurfaceSpeed;
  };

  std::vector<Held> program_;  // the program's blocks so far, for shapes before their cycle
  bool waiting_ = false;       // a shape cycle waits for its shape
  Held waitingCycle_;
  std::vector<Held> ahead_;    // the blocks after it, held back
  std::ptrdiff_t nsAhead_ = -1;
};

}  // namespace korvane
