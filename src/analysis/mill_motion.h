#pragma once
// Follows the moves of a mill program block by block as a Fanuc-style control makes them, and
// adds up their time and cutting length: modal G code groups (motion, plane, distance, units,
// feed mode, drilling return level), feeds per minute or per revolution, arcs and helices in
// any plane, dwells, drilling cycles, reference point returns, machine coordinate moves and tool
// changes.

#include "analysis/motion_base.h"

namespace korvane {

class MillMotion : public MotionBase {
 public:
  explicit MillMotion(const MachineModel& machine = {}) : MotionBase(machine) { reset(); }

  // Every file starts from G90 G17 G21 G94 G98, rapid, position 0 and the initial feed.
  void reset();

  // Carries out one block, the file's block number `ordinal`, adding its moves, dwells and tool
  // changes to `totals`.
  [[gnu::flatten]] void apply(const BlockWords& words, std::int64_t ordinal, MotionTotals& totals);

 private:
  // A length word in millimetres: a value without a decimal point is in the least input
  // increment (0.001 mm, or 0.0001 inch under G20), or in millimetres (inches) on a
  // calculator-type control.
  double length(const BlockWords& w, Address a) const {
    // A value written with a point is multiplied by 1, exactly, rather than asked about: whether
    // a word has one follows no pattern.
    const double value = w.number(a) * incrementScale_[w.hasPoint(a)];
    return state_.inch ? value * machining::kMillimetresPerInch : value;
  }
  // Where the axis words of the block lead: absolute or incremental, unwritten axes staying.
  machining::Point target(const BlockWords& w) const;
  bool hasAxisWord(const BlockWords& w) const { return (w.found & (bitOf(Address::X) | bitOf(Address::Y) | bitOf(Address::Z))) != 0; }
  double feedRate() const {  // mm/min
    const double rate = state_.perRevolution ? feed_ * spindle_ : feed_;
    return rate > 0 ? rate : machining::kDefaultFeed;
  }
  const machining::Point& position() const { return state_.position; }

  void rapid(const machining::Point& to, MotionTotals& totals);
  void feed(const machining::Point& to, MotionTotals& totals);
  void dwell(double seconds, MotionTotals& totals);
  void tellLine(MoveKind kind, const machining::Point& to, double length, double rate, const MotionTotals& totals) const;

  void setModes(const BlockWords& w);
  void setUnits(int code);
  [[gnu::cold]] void rareWords(const BlockWords& w, MotionTotals& totals);  // T, M codes, macros
  [[gnu::noinline]] void oneShot(const BlockWords& w, MotionTotals& totals);
  void arc(const BlockWords& w, const machining::Point& to, MotionTotals& totals);
  // Drilling cycles (mill_cycles.cpp).
  void drill(const BlockWords& w, MotionTotals& totals);
  void drillHole(const machining::Point& hole, double rLevel, double bottom, double clear, MotionTotals& totals);
  void peck(double rLevel, double bottom, bool fullRetract, MotionTotals& totals);

  double incrementScale_[2] = {0.001, 1.0};  // a length word without a point, with one
  double feed_ = machining::kInitialFeed;  // mm/min, or mm per revolution under G95
  double spindle_ = 0;                     // rev/min
  bool inCycle_ = false;                   // the moves being made are a drilling cycle's
  double selectedTool_ = -1;               // the T an M06 puts in the spindle
  int selectedToolDigits_ = 0;
};

}  // namespace korvane
