// The drilling cycles, hole by hole, as a Fanuc-style control moves them. Between pecks the
// tool backs off by the clearance such controls keep by default (0.254 mm, a hundredth of an
// inch).
#include <algorithm>
#include <cmath>

#include "analysis/mill_motion.h"

namespace korvane {

using namespace machining;

namespace {

constexpr double kPeckClearance = 0.254;  // mm

}  // namespace

void MillMotion::drill(const BlockWords& w, MotionTotals& totals) {
  if (w.has(Address::R)) state_.drillR = length(w, Address::R);
  if (w.has(Address::Z)) state_.drillZ = length(w, Address::Z);
  if (w.has(Address::Q)) state_.drillQ = std::fabs(length(w, Address::Q));
  if (w.has(Address::P)) state_.drillP = w.number(Address::P);  // milliseconds
  // A block with a position drills; one with only cycle data (or none) keeps it for later.
  if (!(w.has(Address::X) || w.has(Address::Y) || w.has(Address::Z) || w.has(Address::R))) return;
  placeAxes(w, AxisPlace::Program);
  state_.axisPlace[2] = AxisPlace::Program;  // every hole ends at the R level or the initial level

  // In G91 R is measured from the initial level and Z from the R level.
  const double rLevel = state_.absolute ? state_.drillR : state_.drillInitialLevel + state_.drillR;
  const double bottom = state_.absolute ? state_.drillZ : rLevel + state_.drillZ;
  const double clear = state_.returnToR ? rLevel : std::max(state_.drillInitialLevel, rLevel);
  // K (or L) repeats the hole: in G91 each repeat moves on by X and Y again; K0 drills nothing.
  const Address repeatWord = w.has(Address::K) ? Address::K : Address::L;
  const double repeats = w.has(repeatWord) ? std::floor(w.number(repeatWord)) : 1;
  for (double n = 0; n < repeats && n < 10000; ++n) {
    Point hole = state_.position;
    if (w.has(Address::X)) hole.x = state_.absolute ? length(w, Address::X) : state_.position.x + length(w, Address::X);
    if (w.has(Address::Y)) hole.y = state_.absolute ? length(w, Address::Y) : state_.position.y + length(w, Address::Y);
    drillHole(hole, rLevel, bottom, clear, totals);
  }
}

void MillMotion::drillHole(const Point& hole, double rLevel, double bottom, double clear, MotionTotals& totals) {
  // Up to the R level first when below it, then over the hole, then down to the R level.
  if (state_.position.z < rLevel) rapid({state_.position.x, state_.position.y, rLevel}, totals);
  rapid({hole.x, hole.y, state_.position.z}, totals);
  rapid({hole.x, hole.y, rLevel}, totals);
  const Point atBottom{hole.x, hole.y, bottom};
  const Point atR{hole.x, hole.y, rLevel};
  const Point atClear{hole.x, hole.y, clear};
  switch (state_.cycle) {
    case 73:
    case 83:
      peck(rLevel, bottom, state_.cycle == 83, totals);
      rapid(atClear, totals);
      break;
    case 74:  // tapping: in at the feed, dwell, out at the feed to the R level
    case 84:
    case 85:  // boring: out at the feed
    case 89:
      feed(atBottom, totals);
      if (state_.cycle != 85) dwell((state_.drillP / 1000), totals);
      feed(atR, totals);
      rapid(atClear, totals);
      break;
    case 76: {  // fine boring: the tool shifts off the wall by Q, comes out, shifts back
      feed(atBottom, totals);
      dwell((state_.drillP / 1000), totals);
      totals.minutes += 2 * state_.drillQ / machine_.rapidRate;
      rapid(atClear, totals);
      break;
    }
    case 87: {  // back boring: from below the part up to Z, then out over the top
      totals.minutes += 4 * state_.drillQ / machine_.rapidRate;
      feed(atBottom, totals);
      dwell((state_.drillP / 1000), totals);
      rapid({hole.x, hole.y, std::max(state_.drillInitialLevel, bottom)}, totals);
      break;
    }
    default:  // 81 drilling, 82 with a dwell, 86 out with the spindle stopped, 88 manual return
      feed(atBottom, totals);
      if (state_.cycle == 82 || state_.cycle == 88) dwell((state_.drillP / 1000), totals);
      rapid(atClear, totals);
      break;
  }
}

void MillMotion::peck(double rLevel, double bottom, bool fullRetract, MotionTotals& totals) {
  const double x = state_.position.x;
  const double y = state_.position.y;
  if (state_.drillQ > 0 && bottom < rLevel) {
    // Hole by hole up to this many pecks; a deeper hole in smaller pecks (a Q written without its
    // decimal point, say) is added up in one step rather than peck by peck.
    constexpr double kPecksOneByOne = 10000;
    const double pecks = std::ceil((rLevel - bottom) / state_.drillQ) - 1;
    if (pecks > kPecksOneByOne) {
      // Pecks k = 1..n reach R - kQ. Each after the first is fed from the clearance above the
      // one before; G83 goes back to R and down to the clearance each time, G73 backs off by it.
      const double last = rLevel - pecks * state_.drillQ;
      const double fed = state_.drillQ + (pecks - 1) * (state_.drillQ + kPeckClearance) + (last + kPeckClearance - bottom);
      const double rapids = fullRetract ? state_.drillQ * pecks * (pecks + 1) - pecks * kPeckClearance : pecks * kPeckClearance;
      totals.minutes += fed / feedRate() + rapids / machine_.rapidRate;
      totals.cuttingMillimetres += fed;
      totals.moved = true;
      if (observer_) [[unlikely]] tellLine(MoveKind::Feed, {x, y, bottom}, fed, feedRate(), totals);
      state_.position = {x, y, bottom};
      return;
    }
    for (double depth = rLevel - state_.drillQ; depth > bottom; depth -= state_.drillQ) {
      feed({x, y, depth}, totals);
      // G83 backs out to the R level and comes down again short of the last depth;
      // G73 only backs off a little to break the chip.
      if (fullRetract) rapid({x, y, rLevel}, totals);
      rapid({x, y, depth + kPeckClearance}, totals);
    }
  }
  feed({x, y, bottom}, totals);
}

}  // namespace korvane
