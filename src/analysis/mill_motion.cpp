#include "analysis/mill_motion.h"

#include <cmath>
#include <cstdint>

#include "analysis/arc_centre.h"

namespace korvane {

using namespace machining;

void MillMotion::reset() {
  state_ = ModalState{};
  feed_ = kInitialFeed;
  spindle_ = 0;
  inCycle_ = false;
  selectedTool_ = -1;
  selectedToolDigits_ = 0;
  setUnits(21);
}

void MillMotion::setUnits(int code) {
  state_.inch = code == 20;
  const double increment = state_.inch ? 0.0001 : 0.001;
  incrementScale_[0] = machine_.calculatorInput ? 1.0 : increment;
}

Point MillMotion::target(const BlockWords& w) const {
  const Point& now = position();
  const auto axis = [&](Address a, double from) {
    if (!w.has(a)) return from;
    return state_.absolute ? length(w, a) : from + length(w, a);
  };
  return {axis(Address::X, now.x), axis(Address::Y, now.y), axis(Address::Z, now.z)};
}

void MillMotion::tellLine(MoveKind kind, const Point& to, double length, double rate, const MotionTotals& totals) const {
  Move move;
  move.kind = kind;
  move.cycle = inCycle_;
  move.plane = state_.plane;
  move.start = position();
  move.end = to;
  move.length = length;
  move.feedRate = rate;
  move.spindle = spindle_;
  tell(move, totals);
}

void MillMotion::rapid(const Point& to, MotionTotals& totals) {
  const double length = lineLength(position(), to);
  totals.minutes += length / machine_.rapidRate;
  totals.moved = true;
  if (observer_) [[unlikely]] tellLine(MoveKind::Rapid, to, length, machine_.rapidRate, totals);
  state_.position = to;
}

void MillMotion::feed(const Point& to, MotionTotals& totals) {
  const double length = lineLength(position(), to);
  const double rate = feedRate();
  totals.minutes += length / rate;
  totals.cuttingMillimetres += length;
  totals.moved = true;
  if (observer_) [[unlikely]] tellLine(MoveKind::Feed, to, length, rate, totals);
  state_.position = to;
}

void MillMotion::dwell(double seconds, MotionTotals& totals) {
  if (!(seconds > 0)) return;
  totals.minutes += seconds / 60;
  if (observer_) [[unlikely]] tellLine(MoveKind::Dwell, position(), 0, 0, totals);
}

void MillMotion::setModes(const BlockWords& w) {
  if (setsModes(w)) [[unlikely]] {
    if (const auto units = w.code(Group::Units); units != kNoCode) setUnits(units);
    if (const auto distance = w.code(Group::Distance); distance != kNoCode) state_.absolute = distance == 90;
    if (const auto plane = w.code(Group::Plane); plane != kNoCode) {
      state_.plane = plane == 17 ? Plane::XY : plane == 18 ? Plane::ZX : Plane::YZ;
    }
    if (const auto feedMode = w.code(Group::FeedMode); feedMode != kNoCode) state_.perRevolution = feedMode == 95;
    if (const auto retract = w.code(Group::Retract); retract != kNoCode) state_.returnToR = retract == 99;
    setOffsets(w);
  }
  // F as written: mm/min (F100 and F100. alike), inch/min under G20, per revolution under G95.
  if (w.has(Address::F)) {
    state_.feed = w.number(Address::F);
    state_.feedWritten = true;
    feed_ = state_.feed * (state_.inch ? kMillimetresPerInch : 1);
  }
  if (w.has(Address::S)) {
    state_.spindleWord = w.number(Address::S);
    state_.spindleWritten = true;
    spindle_ = std::fabs(state_.spindleWord);
  }
  if (const int code = w.code(Group::Motion); code != kNoCode) {
    if (code <= 3) {
      state_.motion = code;
      state_.cycle = 0;
    } else if (code == 80) {
      state_.cycle = 0;
    } else if (code == 73 || code == 74 || code == 76 || code >= 81) {
      if (state_.cycle == 0) state_.drillInitialLevel = position().z;  // a series of holes starts here
      state_.cycle = code;
    }
    // G32 and G70-G72, G75 are a lathe's: a mill reads them as nothing.
  }
}

void MillMotion::rareWords(const BlockWords& w, MotionTotals& totals) {
  if (w.has(Address::T)) {
    selectedTool_ = state_.nextToolWord = w.number(Address::T);
    selectedToolDigits_ = state_.nextToolDigits = w.tDigits;
  }
  if (w.is(BlockWords::kMacro)) state_.macroSeen = true;
  switchSpindleAndCoolant(w);
  if (w.hasM(kToolChange)) {
    // The tool selected by the last T goes into the spindle; the time is the machine's.
    if (selectedTool_ >= 0) {
      state_.toolWord = selectedTool_;
      state_.toolDigits = selectedToolDigits_;
      state_.tool = static_cast<int>(selectedTool_);
    }
    ++state_.toolChanges;
    state_.clearanceKnown = false;
    totals.minutes += machine_.toolChangeSeconds / 60;
  }
}

void MillMotion::oneShot(const BlockWords& w, MotionTotals& totals) {
  switch (w.code(Group::OneShot)) {
    case 4:
      dwell(dwellSeconds(w), totals);
      return;
    case 92: {
      // The position is renamed, not moved.
      if (w.has(Address::X)) state_.position.x = length(w, Address::X);
      if (w.has(Address::Y)) state_.position.y = length(w, Address::Y);
      if (w.has(Address::Z)) state_.position.z = length(w, Address::Z);
      placeAxes(w, AxisPlace::Program);
      return;
    }
    case 53: {
      // Machine coordinates: absolute whatever the distance mode, at the rapid rate.
      Point to = position();
      if (w.has(Address::X)) to.x = length(w, Address::X);
      if (w.has(Address::Y)) to.y = length(w, Address::Y);
      if (w.has(Address::Z)) to.z = length(w, Address::Z);
      rapid(to, totals);
      placeAxes(w, AxisPlace::Machine);
      return;
    }
    case 28:
    case 30: {
      // Through the intermediate point to the reference point, the origin of each axis named.
      rapid(target(w), totals);
      Point home = position();
      if (w.has(Address::X)) home.x = 0;
      if (w.has(Address::Y)) home.y = 0;
      if (w.has(Address::Z)) home.z = 0;
      rapid(home, totals);
      placeAxes(w, w.code(Group::OneShot) == 28 ? AxisPlace::Reference : AxisPlace::SecondReference);
      return;
    }
    default:
      return;
  }
}

// One body for the path every block takes: the calls it makes cost more than their work.
void MillMotion::apply(const BlockWords& w, std::int64_t ordinal, MotionTotals& totals) {
  beginBlock(ordinal, totals);
  setModes(w);
  // Tools, M codes and macros: rare words, looked at together.
  if (w.flags & BlockWords::kRareWords) [[unlikely]] rareWords(w, totals);
  if (w.code(Group::OneShot) != kNoCode) {
    noteMacro(w);
    oneShot(w, totals);
    return;
  }
  if (state_.cycle != 0) {
    inCycle_ = true;
    drill(w, totals);
    inCycle_ = false;
    return;
  }
  const bool arcMotion = state_.motion >= 2;
  if (!hasAxisWord(w) && !(arcMotion && (w.found & (bitOf(Address::I) | bitOf(Address::J) | bitOf(Address::K) |
                                                    bitOf(Address::R))) != 0)) {
    return;
  }
  const Point to = target(w);
  // How each axis was last placed and the clearance height are for a restart, which listens as
  // an observer: the estimate alone passes them by.
  if (observer_) [[unlikely]] {
    placeAxes(w, AxisPlace::Program);
    // The height a tool first goes to after it was put in: where a restart brings it back.
    if (state_.motion == 0 && !state_.clearanceKnown && w.has(Address::Z)) {
      state_.clearanceKnown = true;
      state_.clearanceZ = to.z;
    }
  }
  if (state_.motion == 0) {
    rapid(to, totals);
  } else if (state_.motion == 1) {
    feed(to, totals);
  } else {
    arc(w, to, totals);
  }
}

void MillMotion::arc(const BlockWords& w, const Point& to, MotionTotals& totals) {
  double arcLength = 0;
  const bool clockwise = state_.motion == 2;
  // I, J and K give the centre along X, Y and Z, from the start point.
  const auto centreOffsets = [&] {
    const auto offset = [&](Address a) { return w.has(a) ? length(w, a) : 0.0; };
    return inPlane({offset(Address::I), offset(Address::J), offset(Address::K)}, state_.plane);
  };
  if (w.has(Address::R)) {
    arcLength = arcLengthByRadius(position(), to, state_.plane, length(w, Address::R));
  } else {
    const PlanePoint centre = centreOffsets();
    arcLength = arcLengthByCentre(position(), to, state_.plane, centre.a, centre.b, clockwise);
  }
  const double rate = feedRate();
  totals.minutes += arcLength / rate;
  totals.cuttingMillimetres += arcLength;
  totals.moved = true;
  if (observer_) [[unlikely]] {
    const PlanePoint centre = w.has(Address::R)
                                  ? arcCentreByRadius(position(), to, state_.plane, length(w, Address::R), clockwise)
                                  : centreOffsets();
    Move move;
    move.kind = MoveKind::Arc;
    move.clockwise = clockwise;
    move.plane = state_.plane;
    move.start = position();
    move.end = to;
    move.centre = fromPlane(position(), state_.plane, centre.a, centre.b);
    move.length = arcLength;
    move.feedRate = rate;
    move.spindle = spindle_;
    tell(move, totals);
  }
  state_.position = to;
}

}  // namespace korvane
