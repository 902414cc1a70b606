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

void MillMotion::drill(const BlockWords& w, Totals& totals) {
  if (w.has(Address::R)) rWord_ = length(w, Address::R);
  if (w.has(Address::Z)) zWord_ = length(w, Address::Z);
  if (w.has(Address::Q)) peckDepth_ = std::fabs(length(w, Address::Q));
  if (w.has(Address::P)) dwellSeconds_ = w.number(Address::P) / 1000;  // milliseconds
  // A block with a position drills; one with only cycle data (or none) keeps it for later.
  if (!(w.has(Address::X) || w.has(Address::Y) || w.has(Address::Z) || w.has(Address::R))) return;

  // In G91 R is measured from the initial level and Z from the R level.
  const double rLevel = absolute_ ? rWord_ : initialLevel_ + rWord_;
  const double bottom = absolute_ ? zWord_ : rLevel + zWord_;
  const double clear = returnToR_ ? rLevel : std::max(initialLevel_, rLevel);
  // K (or L) repeats the hole: in G91 each repeat moves on by X and Y again; K0 drills nothing.
  const Address repeatWord = w.has(Address::K) ? Address::K : Address::L;
  const double repeats = w.has(repeatWord) ? std::floor(w.number(repeatWord)) : 1;
  for (double n = 0; n < repeats && n < 10000; ++n) {
    Point hole = position_;
    if (w.has(Address::X)) hole.x = absolute_ ? length(w, Address::X) : position_.x + length(w, Address::X);
    if (w.has(Address::Y)) hole.y = absolute_ ? length(w, Address::Y) : position_.y + length(w, Address::Y);
    drillHole(hole, rLevel, bottom, clear, totals);
  }
}

void MillMotion::drillHole(const Point& hole, double rLevel, double bottom, double clear, Totals& totals) {
  // Up to the R level first when below it, then over the hole, then down to the R level.
  if (position_.z < rLevel) rapid({position_.x, position_.y, rLevel}, totals);
  rapid({hole.x, hole.y, position_.z}, totals);
  rapid({hole.x, hole.y, rLevel}, totals);
  const Point atBottom{hole.x, hole.y, bottom};
  const Point atR{hole.x, hole.y, rLevel};
  const Point atClear{hole.x, hole.y, clear};
  switch (cycle_) {
    case 73:
    case 83:
      peck(rLevel, bottom, cycle_ == 83, totals);
      rapid(atClear, totals);
      break;
    case 74:  // tapping: in at the feed, dwell, out at the feed to the R level
    case 84:
    case 85:  // boring: out at the feed
    case 89:
      feed(atBottom, totals);
      if (cycle_ != 85) dwell(dwellSeconds_, totals);
      feed(atR, totals);
      rapid(atClear, totals);
      break;
    case 76: {  // fine boring: the tool shifts off the wall by Q, comes out, shifts back
      feed(atBottom, totals);
      dwell(dwellSeconds_, totals);
      totals.minutes += 2 * peckDepth_ / rapidRate_;
      rapid(atClear, totals);
      break;
    }
    case 87: {  // back boring: from below the part up to Z, then out over the top
      totals.minutes += 4 * peckDepth_ / rapidRate_;
      feed(atBottom, totals);
      dwell(dwellSeconds_, totals);
      rapid({hole.x, hole.y, std::max(initialLevel_, bottom)}, totals);
      break;
    }
    default:  // 81 drilling, 82 with a dwell, 86 out with the spindle stopped, 88 manual return
      feed(atBottom, totals);
      if (cycle_ == 82 || cycle_ == 88) dwell(dwellSeconds_, totals);
      rapid(atClear, totals);
      break;
  }
}

void MillMotion::peck(double rLevel, double bottom, bool fullRetract, Totals& totals) {
  const double x = position_.x;
  const double y = position_.y;
  if (peckDepth_ > 0 && bottom < rLevel) {
    // Hole by hole up to this many pecks; a deeper hole in smaller pecks (a Q written without its
    // decimal point, say) is added up in one step rather than peck by peck.
    constexpr double kPecksOneByOne = 10000;
    const double pecks = std::ceil((rLevel - bottom) / peckDepth_) - 1;
    if (pecks > kPecksOneByOne) {
      // Pecks k = 1..n reach R - kQ. Each after the first is fed from the clearance above the
      // one before; G83 goes back to R and down to the clearance each time, G73 backs off by it.
      const double last = rLevel - pecks * peckDepth_;
      const double fed = peckDepth_ + (pecks - 1) * (peckDepth_ + kPeckClearance) + (last + kPeckClearance - bottom);
      const double rapids = fullRetract ? peckDepth_ * pecks * (pecks + 1) - pecks * kPeckClearance : pecks * kPeckClearance;
      totals.minutes += fed / feedRate() + rapids / rapidRate_;
      totals.cuttingMillimetres += fed;
      position_ = {x, y, bottom};
      return;
    }
    for (double depth = rLevel - peckDepth_; depth > bottom; depth -= peckDepth_) {
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
