// The words of a lathe block: modes, the spindle, tools, one-shot codes and plain moves, and the
// moves themselves with their times.
#include <algorithm>
#include <cmath>

#include "analysis/lathe_motion.h"

namespace korvane {

using namespace machining;

namespace {

constexpr double kMetresPerFoot = 0.3048;

}  // namespace

void LatheMotion::setModes(const BlockWords& w) {
  if (setsModes(w)) [[unlikely]] {
    if (const auto units = w.code(Group::Units); units != kNoCode) setUnits(units);
    // G98 and G99: feed per minute and per revolution.
    if (const auto feedMode = w.code(Group::Retract); feedMode != kNoCode) state_.perRevolution = feedMode == 99;
    setOffsets(w);
  }
  // F as written, a plain number: per revolution or per minute, the lead of a thread.
  if (w.has(Address::F)) {
    state_.feed = w.number(Address::F);
    state_.feedWritten = true;
  }
  if (w.has(Address::S) || w.code(Group::SpindleMode) != kNoCode) setSpindle(w);
}

void LatheMotion::setSpindle(const BlockWords& w) {
  const auto mode = w.code(Group::SpindleMode);
  if (mode == 96) {
    spindle_.constantSurface = true;
  } else if (mode == 97 && spindle_.constantSurface) {
    // The spindle keeps the speed it has at that moment (the limit, where no surface speed was
    // known).
    spindle_.rpm = spindle_.rpmAt(at_.r);
    spindle_.constantSurface = false;
    state_.spindleWord = spindle_.rpm;  // the S that gives this speed again
    state_.spindleWritten = spindle_.rpm > 0;
  }
  state_.constantSurfaceSpeed = spindle_.constantSurface;
  if (w.has(Address::S)) setSpeedWord(w);
}

void LatheMotion::setSpeedWord(const BlockWords& w) {
  const double s = std::fabs(w.number(Address::S));
  if (w.code(Group::OneShot) == 50 && !hasAxisWord(w)) {
    // G50 S: the top speed under G96.
    if (s > 0) spindle_.limit = s;
    state_.spindleLimitWord = s;
    return;
  }
  state_.spindleWord = w.number(Address::S);
  state_.spindleWritten = true;
  if (spindle_.constantSurface) {
    spindle_.surfaceSpeed = state_.inch ? s * kMetresPerFoot : s;  // ft/min under G20
  } else {
    spindle_.rpm = s;
  }
}

void LatheMotion::changeTool(const BlockWords& w, MotionTotals& totals) {
  // T0101 and T101 name tool 1 (its last two digits are the offset), T11 tool 1 too (one digit).
  const double written = std::fabs(w.number(Address::T));
  const double drop = w.tDigits >= 3 ? 100 : 10;
  const int tool = static_cast<int>(std::min(std::floor(written / drop), 1e9));
  const bool first = state_.toolWord < 0;
  state_.toolWord = w.number(Address::T);
  state_.toolDigits = w.tDigits;
  if (first || tool != state_.tool) {
    state_.tool = tool;
    ++state_.toolChanges;
    totals.minutes += machine_.toolChangeSeconds / 60;
  }
}

bool LatheMotion::oneShot(const BlockWords& w, MotionTotals& totals) {
  switch (w.code(Group::OneShot)) {
    case 4:
      dwell(dwellSeconds(w), totals);
      return true;
    case 28:
    case 30: {
      // Through the intermediate point to the reference point, the origin of each axis named.
      if (!hasAxisWord(w)) return true;
      rapidTo(target(w, at_), totals);
      Spot home = at_;
      if (w.has(Address::X) || w.has(Address::U)) home.r = 0;
      if (w.has(Address::Z) || w.has(Address::W)) home.z = 0;
      rapidTo(home, totals);
      placeAxes(w, w.code(Group::OneShot) == 28 ? AxisPlace::Reference : AxisPlace::SecondReference);
      return true;
    }
    case 50:
      // With X/Z (U/W) the position is renamed, not moved; its S was read with the spindle.
      if (hasAxisWord(w)) place(target(w, at_));
      placeAxes(w, AxisPlace::Program);
      return true;
    case 53: {
      Spot to = at_;
      if (w.has(Address::X)) to.r = length(w, Address::X) / 2;
      if (w.has(Address::Z)) to.z = length(w, Address::Z);
      rapidTo(to, totals);
      placeAxes(w, AxisPlace::Machine);
      return true;
    }
    case 10:
    case 52:
    case 65:
    case 66:
      noteMacro(w);
      return true;
    default:
      return false;  // G92 is a lathe's threading cycle, no one-shot code
  }
}

int LatheMotion::singleCycleCode(const BlockWords& w) {
  if (w.code(Group::Distance) == 90) return 90;
  if (w.code(Group::OneShot) == 92) return 92;
  if (w.code(Group::FeedMode) == 94) return 94;
  return 0;
}

void LatheMotion::plainMove(const BlockWords& w, MotionTotals& totals) {
  const int motion = state_.motion;
  const bool arc = motion == 2 || motion == 3;
  if (!hasAxisWord(w) &&
      !(arc && (w.found & (bitOf(Address::I) | bitOf(Address::K) | bitOf(Address::R))) != 0)) {
    return;
  }
  const Spot to = target(w, at_);
  placeAxes(w, AxisPlace::Program);
  switch (motion) {
    case 0:
      rapidTo(to, totals);
      // Where a restart brings this tool back in from.
      state_.lastRapidKnown = true;
      state_.lastRapidX = 2 * to.r;
      state_.lastRapidZ = to.z;
      break;
    case 1: feedTo(to, Pace::Cut, totals); break;
    case 32: feedTo(to, Pace::Thread, totals); break;
    default:
      arcAlong(lathe::arcOf(w, at_, to, motion == 2, [this](const BlockWords& b, Address a) { return length(b, a); }),
               totals);
      break;
  }
}

// ---- Moves ----

void LatheMotion::place(Spot at) {
  at_ = at;
  state_.position = {2 * at.r, 0, at.z};
}

void LatheMotion::tellMove(MoveKind kind, Spot to, double length, double rate, const MotionTotals& totals,
                           const lathe::Segment* arc) const {
  Move move;
  move.kind = kind;
  move.cycle = inCycle_;
  move.plane = Plane::ZX;
  move.start = {at_.r, 0, at_.z};
  move.end = {to.r, 0, to.z};
  if (arc) {
    move.clockwise = arc->clockwise;
    move.centre = {arc->centre.r, 0, arc->centre.z};
  }
  move.length = length;
  move.feedRate = rate;
  move.spindle = spindle_.rpmAt(at_.r);
  tell(move, totals);
}

void LatheMotion::rapidTo(Spot to, MotionTotals& totals) {
  const double length = std::hypot(to.r - at_.r, to.z - at_.z);
  totals.minutes += length / machine_.rapidRate;
  totals.moved = true;
  if (observer_) [[unlikely]] tellMove(MoveKind::Rapid, to, length, machine_.rapidRate, totals);
  place(to);
}

double LatheMotion::feedMinutes(double inverseTurns, double length, Pace pace) const {
  // Before any F, and for F0, a feed per minute whatever G98 or G99 says.
  if (!state_.feedWritten) return length / kInitialFeed;
  if (state_.feed == 0) return length / kDefaultFeed;
  const double feed = std::fabs(state_.feed) * (state_.inch ? kMillimetresPerInch : 1);
  if (pace == Pace::Thread || state_.perRevolution) return inverseTurns / feed;
  return length / feed;
}

double LatheMotion::feedRateAt(double radius, Pace pace) const {
  if (!state_.feedWritten) return kInitialFeed;
  if (state_.feed == 0) return kDefaultFeed;
  const double feed = std::fabs(state_.feed) * (state_.inch ? kMillimetresPerInch : 1);
  if (pace == Pace::Thread || state_.perRevolution) return feed * spindle_.rpmAt(radius);
  return feed;
}

void LatheMotion::feedTo(Spot to, Pace pace, MotionTotals& totals) {
  const double length = std::hypot(to.r - at_.r, to.z - at_.z);
  const bool perTurn = state_.feedWritten && state_.feed != 0 && (pace == Pace::Thread || state_.perRevolution);
  const double inverseTurns = perTurn ? spindle_.lineInverseTurns(at_.r, to.r, length) : 0;
  totals.minutes += feedMinutes(inverseTurns, length, pace);
  totals.cuttingMillimetres += length;
  totals.moved = true;
  if (observer_) [[unlikely]] tellMove(MoveKind::Feed, to, length, feedRateAt(at_.r, pace), totals);
  place(to);
}

void LatheMotion::arcAlong(const lathe::Segment& arc, MotionTotals& totals) {
  const double length = arc.length();
  const bool perTurn = state_.feedWritten && state_.feed != 0 && state_.perRevolution;
  const double inverseTurns = perTurn ? spindle_.arcInverseTurns(arc.centre.r, arc.radius, arc.startAngle, arc.sweep) : 0;
  totals.minutes += feedMinutes(inverseTurns, length, Pace::Cut);
  totals.cuttingMillimetres += length;
  totals.moved = true;
  if (observer_) [[unlikely]] tellMove(MoveKind::Arc, arc.to, length, feedRateAt(at_.r, Pace::Cut), totals, &arc);
  place(arc.to);
}

void LatheMotion::dwell(double seconds, MotionTotals& totals) {
  if (!(seconds > 0)) return;
  totals.minutes += seconds / 60;
  if (observer_) [[unlikely]] tellMove(MoveKind::Dwell, at_, 0, 0, totals);
}

}  // namespace korvane
