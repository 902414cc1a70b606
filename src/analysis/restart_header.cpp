// The header of a restart program: the state the block finds, one block each, then the approach
// to where the tool stood, then the block with the motion code or the cycle in force in front.
#include <cmath>

#include "analysis/restart_builder.h"

namespace korvane::restart {

namespace {

QByteArray rpm(double value) { return rt::plain(std::round(value)); }

}  // namespace

void Builder::writeHeader() {
  line(QByteArray("%"));
  for (std::int64_t k = b_ - 1; k >= programStart_; --k) {
    if (at(k).is(BlockWords::kNumbered)) {
      line(textOf(k).toByteArray());
      break;
    }
  }
  if (machine_.lathe()) {
    writeLatheState();
    for (const QByteArray& l : latheApproach()) line(l);
    writeCycleSettings();
  } else {
    bool feedDown = false;
    const QList<QByteArray> approach = millApproach(&feedDown);
    if (!problem_.isEmpty()) return;
    writeMillState(!feedDown);
    for (const QByteArray& l : approach) line(l);
    // The approach is absolute; a block in incremental mode gets it back after it.
    if (!s_.absolute) line(QByteArray("G91"));
  }
  writeMotionAndBlock();
}

void Builder::writeWorkOffset() {
  if (s_.workOffset == kExtraWorkOffsetCode) {
    line(QByteArray("G54.1 P") + rt::plain(s_.workOffsetNumber));
  } else if (s_.workOffset >= 54 && s_.workOffset <= 59) {
    line(gCode(s_.workOffset));
  }
}

void Builder::writeSpindleDirectionAndCoolant(bool directionOnItsOwn) {
  if (directionOnItsOwn && (s_.spindleDirection == 3 || s_.spindleDirection == 4)) line(QByteArray("M0") + QByteArray::number(s_.spindleDirection));
  // One M code a block: older controls take no more.
  if (s_.mist) line(QByteArray("M07"));
  if (s_.flood) line(QByteArray("M08"));
}

void Builder::writeMillState(bool feedInState) {
  line(QByteArray(s_.inch ? "G20" : "G21"));
  line(QByteArray(s_.plane == machining::Plane::XY ? "G17" : s_.plane == machining::Plane::ZX ? "G18" : "G19"));
  line(QByteArray("G90"));
  QByteArray feedMode(s_.perRevolution ? "G95" : "G94");
  if (feedInState && s_.feedWritten) feedMode += " F" + rt::plain(s_.feed);
  line(feedMode);
  writeWorkOffset();
  if (options_.writeToolChange && s_.toolWord >= 0) line("T" + rt::toolNumber(s_.toolWord, s_.toolDigits) + " M06");
  // The tool called up for the next M06, where it is not the one in the spindle.
  if (s_.nextToolWord >= 0 && s_.nextToolWord != s_.toolWord) line("T" + rt::toolNumber(s_.nextToolWord, s_.nextToolDigits));
  if (s_.spindleWritten) {
    QByteArray spindle = "S" + rpm(s_.spindleWord);
    if (s_.spindleDirection == 3 || s_.spindleDirection == 4) spindle += " M0" + QByteArray::number(s_.spindleDirection);
    line(spindle);
    writeSpindleDirectionAndCoolant(false);
  } else {
    writeSpindleDirectionAndCoolant(true);
  }
}

void Builder::writeLatheState() {
  line(QByteArray(s_.inch ? "G20" : "G21"));
  writeWorkOffset();
  if (s_.spindleLimitWord > 0) line("G50 S" + rpm(s_.spindleLimitWord));
  if (s_.constantSurfaceSpeed) {
    line(QByteArray("G96") + (s_.spindleWritten ? " S" + rt::plain(s_.spindleWord) : QByteArray()));
  } else if (s_.spindleWritten) {
    line("G97 S" + rpm(s_.spindleWord));
  }
  // A lathe has no feed down in its approach: the feed in force goes with the feed mode.
  QByteArray feedMode(s_.perRevolution ? "G99" : "G98");
  if (s_.feedWritten) feedMode += " F" + rt::plain(s_.feed);
  line(feedMode);
  // The turret goes back to where the program left it before it indexes.
  for (const QByteArray& l : referenceReturns(true, 0, 2)) line(l);
  if (s_.toolWord >= 0) line("T" + rt::toolNumber(s_.toolWord, s_.toolDigits));
  writeSpindleDirectionAndCoolant(true);
}

// Axes the program left at a reference point go back there as the program sent them: the
// reading has them at the origin, the machine at its reference point, and both agree again.
QList<QByteArray> Builder::referenceReturns(bool lathe, int firstAxis, int lastAxis) const {
  QList<QByteArray> lines;
  const char* const names[3] = {lathe ? "U0." : "X0.", "Y0.", lathe ? "W0." : "Z0."};
  for (const AxisPlace place : {AxisPlace::Reference, AxisPlace::SecondReference}) {
    QByteArray words;
    for (int axis = firstAxis; axis <= lastAxis; ++axis) {
      if (axis == 1 && lathe) continue;
      if (s_.axisPlace[static_cast<std::size_t>(axis)] == place) words += QByteArray(" ") + names[axis];
    }
    if (words.isEmpty()) continue;
    const QByteArray code(place == AxisPlace::Reference ? "G28" : "G30");
    if (lathe) {
      lines << code + words;
    } else {
      lines << "G91 " + code + words << QByteArray("G90");
    }
  }
  return lines;
}

QList<QByteArray> Builder::millApproach(bool* feedDown) {
  const auto placeOf = [&](int axis) { return s_.axisPlace[static_cast<std::size_t>(axis)]; };
  // X and Y first, with the tool up where the tool change left it; Z last.
  QList<QByteArray> lines = referenceReturns(false, 0, 1);
  QByteArray machine;
  QByteArray program;
  const char* const letters[2] = {"X", "Y"};
  const double position[2] = {s_.position.x, s_.position.y};
  for (int axis = 0; axis < 2; ++axis) {
    if (placeOf(axis) == AxisPlace::Machine) machine += QByteArray(" ") + letters[axis] + len(position[axis]);
    if (placeOf(axis) == AxisPlace::Program) program += QByteArray(" ") + letters[axis] + len(position[axis]);
  }
  if (!machine.isEmpty()) lines << "G53" + machine;
  if (!program.isEmpty()) lines << "G00" + program;
  if (placeOf(2) != AxisPlace::Program) {
    if (placeOf(2) == AxisPlace::Machine) lines << "G53 Z" + len(s_.position.z);
    return lines + referenceReturns(false, 2, 2);
  }
  // Down to the clearance height at rapid with the tool's length offset, then at the feed in
  // force to where the tool stood.
  const double target = approachTargetZ();
  const double clearance = s_.clearanceKnown ? std::max(s_.clearanceZ, target) : target;
  const auto [code, offset] = lengthCompensationForApproach();
  QByteArray rapid = program.isEmpty() ? QByteArray("G00 ") : QByteArray();
  if (code == 43 || code == 44) rapid += gCode(code) + " H" + rt::plain(offset) + " ";
  lines << rapid + "Z" + len(clearance);
  if (len(target) == len(clearance)) return lines;
  double feed = s_.feed;
  if (!s_.feedWritten) {
    if (!words_.has(Address::F)) {
      problem_ = QStringLiteral("%1 までに送り速度 F が指令されていないため、Z%2 まで送りで下ろせません")
                     .arg(nameOf(b_).describe(), QString::fromLatin1(len(target)));
      return {};
    }
    feed = words_.number(Address::F);
  }
  lines << "G01 Z" + len(target) + " F" + rt::plain(feed);
  *feedDown = true;
  return lines;
}

QList<QByteArray> Builder::latheApproach() const {
  QList<QByteArray> lines;
  const bool x = s_.axisPlace[0] == AxisPlace::Program;
  const bool z = s_.axisPlace[2] == AxisPlace::Program;
  QByteArray machine;
  if (s_.axisPlace[0] == AxisPlace::Machine) machine += " X" + len(s_.position.x);
  if (s_.axisPlace[2] == AxisPlace::Machine) machine += " Z" + len(s_.position.z);
  if (!machine.isEmpty()) lines << "G53" + machine;
  if (x && z) {
    // In along Z at the diameter the tool last came in at, then down to where it stood.
    const double first = s_.lastRapidKnown ? s_.lastRapidX : s_.position.x;
    lines << "G00 X" + len(first) + " Z" + len(s_.position.z);
    if (len(first) != len(s_.position.x)) lines << "X" + len(s_.position.x);
  } else if (x) {
    lines << "G00 X" + len(s_.position.x);
  } else if (z) {
    lines << "G00 Z" + len(s_.position.z);
  }
  return lines;
}

// The two-block settings of a lathe's repetitive cycles (depth, retract, passes) that a cycle
// after the restart block uses without writing its own.
void Builder::writeCycleSettings() {
  const std::uint32_t axes = bitOf(Address::X) | bitOf(Address::U) | bitOf(Address::Z) | bitOf(Address::W);
  const auto isSettings = [&](const BlockRecord& r) {
    return r.motion <= 73 ? !(r.has(Address::P) && r.has(Address::Q)) : (r.found & axes) == 0;
  };
  for (int code = 71; code <= 76; ++code) {
    std::int64_t last = -1;
    for (std::int64_t k = 0; k < b_; ++k) {
      if (carriedOut(k) && at(k).motion == code && isSettings(at(k))) last = k;
    }
    if (last < 0) continue;
    for (std::int64_t k = b_; k <= programEnd_; ++k) {
      if (at(k).motion != code) continue;
      if (!isSettings(at(k))) line(textOf(last).toByteArray());
      break;
    }
  }
}

// The motion code in force goes in front of the block when it has none of its own, so that it
// does not run as the approach's feed. Where the block does not move it goes in front of the
// first block after it that does, unless a block with a motion code of its own comes first: a
// motion code without an end point is no move on a Fanuc-style control, but an arc code without
// one is refused by others, and a straight one is a move of no length to them. Inside a cycle the
// cycle and its data go in front of the block instead.
void Builder::writeMotionAndBlock() {
  const bool lathe = machine_.lathe();
  block_ = textOf(b_).toByteArray();
  if (continuesCycle()) {
    block_ = rt::withWordsInFront(block_, cycleWords());
    return;
  }
  const std::uint32_t moving = lathe ? bitOf(Address::X) | bitOf(Address::U) | bitOf(Address::Z) | bitOf(Address::W) |
                                           bitOf(Address::I) | bitOf(Address::K) | bitOf(Address::R)
                                     : bitOf(Address::X) | bitOf(Address::Y) | bitOf(Address::Z) | bitOf(Address::I) |
                                           bitOf(Address::J) | bitOf(Address::K) | bitOf(Address::R);
  for (std::int64_t k = b_; k <= programEnd_; ++k) {
    const BlockRecord& r = at(k);
    if (k > b_ && !carriedOut(k)) continue;
    if (r.motion != kNoCode || (lathe && latheSingleCycleCode(r) != 0)) return;
    // G53 goes at rapid on a Fanuc-style control, in the motion in force on others.
    if ((r.oneShot != kNoCode && r.oneShot != 53) || (r.found & moving) == 0) continue;
    if (k == b_) {
      block_ = rt::withWordsInFront(block_, gCode(s_.motion));
    } else {
      laterMotionBlock_ = k;
      laterMotion_ = gCode(s_.motion);
    }
    return;
  }
}

QByteArray Builder::cycleWords() const {
  const BlockRecord& r = at(b_);
  QByteArray words;
  const auto add = [&words](const QByteArray& word) { words += (words.isEmpty() ? "" : " ") + word; };
  if (machine_.lathe()) {
    add(gCode(s_.cycle));
    if (!r.has(Address::X) && !r.has(Address::U)) add("X" + len(s_.cycleX));
    if (!r.has(Address::Z) && !r.has(Address::W)) add("Z" + len(s_.cycleZ));
    if (!r.has(Address::R) && s_.cycleTaper != 0) add("R" + len(s_.cycleTaper));
  } else {
    if (r.retract == kNoCode) add(s_.returnToR ? "G99" : "G98");
    const int code = r.motion == kNoCode ? s_.cycle : r.motion;
    if (r.motion == kNoCode) add(gCode(code));
    if (!r.has(Address::Z)) add("Z" + len(s_.drillZ));
    if (!r.has(Address::R)) add("R" + len(s_.drillR));
    const bool usesQ = code == 73 || code == 83 || code == 76 || code == 87;
    if (usesQ && !r.has(Address::Q) && s_.drillQ > 0) add("Q" + len(s_.drillQ));
    const bool usesP = code == 74 || code == 76 || code == 82 || code == 84 || code == 87 || code == 88 || code == 89;
    if (usesP && !r.has(Address::P) && s_.drillP > 0) add("P" + rt::plain(s_.drillP));
  }
  if (!r.has(Address::F) && s_.feedWritten) add("F" + rt::plain(s_.feed));
  return words;
}

// The tool's own length offset: the one in force when the program wrote one since the tool
// went in; else the one the program writes for it next (the offset in force still belongs to
// the tool before); else the one in force.
std::pair<int, double> Builder::lengthCompensationForApproach() const {
  const int changes = s_.toolChanges;
  std::int64_t since = 0;
  for (std::int64_t k = b_ - 1; k >= 0; --k) {
    if (at(k).told && at(k).toolChanges < changes) {
      since = k + 1;
      break;
    }
  }
  for (std::int64_t k = since; k < b_; ++k) {
    if (carriedOut(k) && at(k).length != kNoCode) return {s_.lengthCompensation, s_.lengthOffset};
  }
  for (std::int64_t k = b_; k <= programEnd_; ++k) {
    const BlockRecord& r = at(k);
    if (!carriedOut(k)) continue;
    if (r.length == 43 || r.length == 44) return {r.length, r.has(Address::H) ? r.h : s_.lengthOffset};
    if (r.length == 49 || (r.mCodes & kToolChange) != 0) break;
  }
  return {s_.lengthCompensation, s_.lengthOffset};
}

// Where the approach brings the tool down to: where it stood, or, for a drilling cycle that goes
// on, the level the cycle started from: the cycle's return (G98) and its incremental R (G91) are
// measured from there, and with it the holes after come out where the program has them.
double Builder::approachTargetZ() const {
  return continuesCycle() && !machine_.lathe() ? s_.drillInitialLevel : s_.position.z;
}

}  // namespace korvane::restart
