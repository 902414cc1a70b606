#include "analysis/lathe_motion.h"

#include <cmath>

#include "analysis/arc_centre.h"

namespace korvane {

using namespace machining;
using lathe::Segment;

void LatheMotion::reset() {
  state_ = ModalState{};
  state_.plane = Plane::ZX;
  state_.perRevolution = true;
  at_ = {};
  spindle_ = lathe::Spindle{};
  spindle_.limit = machine_.spindleLimit;
  inCycle_ = false;
  lastMotion_ = 0;
  for (CycleSettings& s : settings_) s = CycleSettings{};
  // G73's pass count and G76's finishing allowance start as one pass and none.
  settingsOf(73).retract = 1;
  settingsOf(76).retract = 0;
  program_.clear();
  waiting_ = false;
  ahead_.clear();
  nsAhead_ = -1;
  setUnits(21);
}

void LatheMotion::setUnits(int code) {
  state_.inch = code == 20;
  incrementScale_[0] = machine_.calculatorInput ? 1.0 : leastIncrement();
}

lathe::Spot LatheMotion::target(const BlockWords& w, Spot from) const {
  return lathe::targetOf(w, from, [this](const BlockWords& b, Address a) { return length(b, a); });
}

// ---- Blocks held back behind a cycle that waits for its shape ----

void LatheMotion::apply(const BlockWords& words, std::int64_t ordinal, MotionTotals& totals) {
  if (program_.size() < kHeldBlocksLimit) program_.push_back({words, ordinal});
  feedHeld({words, ordinal}, totals);
}

void LatheMotion::feedHeld(const Held& held, MotionTotals& totals) {
  if (waiting_) {
    ahead_.push_back(held);
    tryShapeAhead(totals);
  } else if (isShapeCycle(held.words)) {
    // A cycle that roughs a shape out waits, its block not yet carried out, until the shape is
    // found after it or the program ends.
    waiting_ = true;
    waitingCycle_ = held;
  } else {
    execute(held.words, held.ordinal, totals);
  }
}

namespace {

bool numbered(const BlockWords& w, double n) { return w.has(Address::N) && w.number(Address::N) == n; }

}  // namespace

void LatheMotion::tryShapeAhead(MotionTotals& totals) {
  const BlockWords& cycle = waitingCycle_.words;
  const double ns = cycle.number(Address::P);
  const double nf = cycle.number(Address::Q);
  const BlockWords& last = ahead_.back().words;
  if (nsAhead_ < 0 && numbered(last, ns)) nsAhead_ = static_cast<std::ptrdiff_t>(ahead_.size()) - 1;
  if (nsAhead_ >= 0 && numbered(last, nf)) {
    // The shape follows its cycle: the control carries the cycle out, then goes on after N(nf).
    std::vector<Held> held = std::move(ahead_);
    ahead_.clear();
    std::vector<lathe::ShapeBlock> shape;
    for (std::size_t i = static_cast<std::size_t>(nsAhead_); i < held.size(); ++i) {
      shape.push_back({&held[i].words, held[i].ordinal});
    }
    nsAhead_ = -1;
    waiting_ = false;
    carryOutShapeCycle(waitingCycle_, shape, totals);
    for (const Held& skipped : held) tellSkipped(skipped);
    return;
  }
  if (ahead_.size() >= kHeldBlocksLimit) runWaitingCycleWithoutShapeAhead(totals);
}

void LatheMotion::runWaitingCycleWithoutShapeAhead(MotionTotals& totals) {
  // No shape after the cycle: the first one of the program before it, else nothing; the blocks
  // held back are then carried out as they stand (one of them may be a cycle that waits in turn).
  std::vector<Held> held = std::move(ahead_);
  ahead_.clear();
  nsAhead_ = -1;
  waiting_ = false;
  const Held cycle = waitingCycle_;
  const auto shape = shapeBefore(cycle.ordinal, cycle.words.number(Address::P), cycle.words.number(Address::Q));
  carryOutShapeCycle(cycle, shape, totals);
  for (const Held& h : held) feedHeld(h, totals);
}

std::vector<lathe::ShapeBlock> LatheMotion::shapeBefore(std::int64_t cycleOrdinal, double ns, double nf) const {
  std::vector<lathe::ShapeBlock> shape;
  std::size_t i = 0;
  while (i < program_.size() && program_[i].ordinal < cycleOrdinal && !numbered(program_[i].words, ns)) ++i;
  for (; i < program_.size() && program_[i].ordinal < cycleOrdinal; ++i) {
    shape.push_back({&program_[i].words, program_[i].ordinal});
    if (numbered(program_[i].words, nf)) return shape;
  }
  return {};  // no N(ns), or no N(nf) after it: the cycle moves nothing
}

void LatheMotion::endProgram(MotionTotals& totals) {
  while (waiting_) runWaitingCycleWithoutShapeAhead(totals);
  program_.clear();
}

void LatheMotion::tellSkipped(const Held& held) {
  if (!observer_) return;
  state_.shapeBlock = true;
  observer_->block(held.ordinal, state_, 0);
  state_.shapeBlock = false;
}

void LatheMotion::carryOutShapeCycle(const Held& cycle, const std::vector<lathe::ShapeBlock>& shape,
                                     MotionTotals& totals) {
  const bool finishing = cycle.words.code(Group::Motion) == 70;
  const SavedFeedAndSpindle before{state_.feed,        state_.feedWritten,    spindle_,
                                   state_.spindleWord, state_.spindleWritten, state_.constantSurfaceSpeed};
  execute(cycle.words, cycle.ordinal, totals);
  shapeCycle(cycle.words, shape, totals);
  if (finishing) {
    state_.feed = before.feed;
    state_.feedWritten = before.feedWritten;
    spindle_ = before.spindle;
    state_.spindleWord = before.spindleWord;
    state_.spindleWritten = before.spindleWritten;
    state_.constantSurfaceSpeed = before.constantSurfaceSpeed;
  }
}

// ---- One block ----

void LatheMotion::execute(const BlockWords& w, std::int64_t ordinal, MotionTotals& totals) {
  beginBlock(ordinal, totals);
  if (w.flags & BlockWords::kMacro) [[unlikely]] state_.macroSeen = true;
  setModes(w);
  if (w.has(Address::T)) changeTool(w, totals);
  if (w.mCodes != 0) switchSpindleAndCoolant(w);
  const auto motion = w.code(Group::Motion);
  if (motion >= 70 && motion <= 76) {
    // A multiple repetitive cycle ends a single cycle in force; the motion mode stays. A shape
    // cycle's moves follow once its shape is known (its caller has it).
    state_.cycle = 0;
    if (!isShapeCycle(w)) repetitiveCycle(w, totals);
    return;
  }
  if (oneShot(w, totals)) return;
  if (motion <= 3 || motion == 32) {
    state_.motion = lastMotion_ = motion;
    state_.cycle = 0;
  } else if (const int cycle = singleCycleCode(w); cycle != 0) {
    // Entered from another motion, the cycle starts where the tool is, X and Z there and no
    // taper; switching among G90, G92 and G94 keeps them.
    if (state_.cycle == 0) {
      cycleX_ = at_.r;
      cycleZ_ = at_.z;
      cycleTaper_ = 0;
    }
    state_.cycle = cycle;
    cycleStart_ = at_;
    state_.cycleX = 2 * cycleX_;
    state_.cycleZ = cycleZ_;
    state_.cycleTaper = cycleTaper_;
  }
  if (state_.cycle != 0) {
    if (hasAxisWord(w)) singleCycle(w, totals);
    return;
  }
  plainMove(w, totals);
}

}  // namespace korvane
