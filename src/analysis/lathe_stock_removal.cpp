// The cycles that work from a finished shape: G71 stock removal in turning, G72 in facing, G73
// pattern repeating, G70 finishing.
#include <algorithm>
#include <cmath>

#include "analysis/lathe_motion.h"

namespace korvane {

namespace {

// Passes times the shape's segments: far more than any program asks for, and a bound on the time
// a program written without its points (a depth of cut of 0.001 mm) takes to measure.
constexpr double kMostPassWork = 1e6;

double mostPasses(const lathe::Shape& shape) { return std::max(1.0, std::floor(kMostPassWork / static_cast<double>(shape.path.size()))); }

double sign(double v) { return v > 0 ? 1 : v < 0 ? -1 : 0; }

}  // namespace

void LatheMotion::shapeCycle(const BlockWords& w, const std::vector<lathe::ShapeBlock>& shapeBlocks, MotionTotals& totals) {
  if (shapeBlocks.empty()) return;
  const lathe::Shape shape =
      lathe::readShape(shapeBlocks, at_, [this](const BlockWords& b, Address a) { return length(b, a); });
  if (shape.empty()) return;
  const int code = w.code(Group::Motion);
  inCycle_ = true;
  if (code == 70) {
    finish(shape, totals);
  } else if (code == 73) {
    patternRepeat(w, shape, totals);
  } else {
    stockRemoval(code, w, shape, totals);
  }
  inCycle_ = false;
}

void LatheMotion::followShape(const lathe::Shape& shape, double dr, double dz, MotionTotals& totals) {
  // Every block after ns at the feed, its G00 blocks too.
  for (std::size_t i = 1; i < shape.path.size(); ++i) {
    const lathe::Segment s = shape.path[i].moved(dr, dz);
    if (s.arc) {
      arcAlong(s, totals);
    } else {
      feedTo(s.to, Pace::Cut, totals);
    }
  }
}

void LatheMotion::stockRemoval(int code, const BlockWords& w, const lathe::Shape& shape, MotionTotals& totals) {
  const bool facing = code == 72;
  const CycleSettings& settings = settingsOf(code);
  // The one-block form writes the depth of cut as D; e is then the last two-block R, or 0.5 mm.
  const double depth = w.has(Address::D) ? std::fabs(length(w, Address::D)) : settings.depth;
  const double e = settings.retract;
  const double dr = w.has(Address::U) ? length(w, Address::U) / 2 : 0;  // Δu is a diameter
  const double dz = w.has(Address::W) ? length(w, Address::W) : 0;
  const Spot a = at_;
  const Spot first{shape.first().r + dr, shape.first().z + dz};
  const Spot last{shape.last().r + dr, shape.last().z + dz};
  // The passes step along the depth axis (X for G71, Z for G72) from A toward the shape's first
  // point and cut along the other axis from A toward the shape.
  const double depthFrom = facing ? a.z : a.r;
  const double depthTo = facing ? first.z : first.r;
  const double cutFrom = facing ? a.r : a.z;
  const double total = std::fabs(depthTo - depthFrom);
  const double away = sign(depthFrom - depthTo);  // from the shape back toward A, along the depth axis
  const auto spot = [facing](double along, double across) { return facing ? Spot{across, along} : Spot{along, across}; };
  // Without a depth of cut (no D, no first block) there are no roughing passes to count.
  const double passes = total > 0 && depth > 0 ? std::min(lathe::stepsToCover(total, depth), mostPasses(shape)) : 0;
  for (double k = 1; k <= passes; ++k) {
    const double level = k >= passes ? depthTo : depthFrom - away * k * depth;
    // In along the depth axis, from A or from where the last pass came back to.
    const double across = facing ? at_.r : at_.z;
    if (shape.startsWithRapid) {
      rapidTo(spot(level, across), totals);
    } else {
      feedTo(spot(level, across), Pace::Cut, totals);
    }
    const auto crossing = lathe::firstCrossing(shape, dr, dz, !facing, level, away);
    const double cutTo = crossing ? *crossing : (facing ? last.r : last.z);
    feedTo(spot(level, cutTo), Pace::Cut, totals);
    // Off the wall at 45°, then back along the cut to A's side.
    const double retracted = level + away * e;
    rapidTo(spot(retracted, cutTo + sign(cutFrom - cutTo) * e), totals);
    rapidTo(spot(retracted, cutFrom), totals);
  }
  // The finishing allowance: along the shape moved by the allowances, then straight back to A.
  rapidTo(first, totals);
  followShape(shape, dr, dz, totals);
  rapidTo(a, totals);
}

void LatheMotion::patternRepeat(const BlockWords& w, const lathe::Shape& shape, MotionTotals& totals) {
  const CycleSettings& settings = settingsOf(73);
  const bool oneBlock = w.has(Address::D);
  const double di = oneBlock ? (w.has(Address::I) ? length(w, Address::I) : 0) : settings.depth;  // a radius
  const double dk = oneBlock ? (w.has(Address::K) ? length(w, Address::K) : 0) : settings.depthZ;
  const double count = std::clamp(std::floor(oneBlock ? w.number(Address::D) : settings.retract), 1.0, mostPasses(shape));
  const double dr = w.has(Address::U) ? length(w, Address::U) / 2 : 0;
  const double dz = w.has(Address::W) ? length(w, Address::W) : 0;
  const Spot a = at_;
  for (double j = 1; j <= count; ++j) {
    const double share = count > 1 ? (count - j) / (count - 1) : 0;
    const double mr = di * share + dr;
    const double mz = dk * share + dz;
    rapidTo({shape.first().r + mr, shape.first().z + mz}, totals);
    followShape(shape, mr, mz, totals);
    rapidTo(a, totals);
  }
}

void LatheMotion::finish(const lathe::Shape& shape, MotionTotals& totals) {
  // The shape as programmed, from A, with the F and S of its blocks (not their G96 or G97); G00
  // at rapid.
  const Spot a = at_;
  for (const lathe::Segment& s : shape.path) {
    const BlockWords& b = *s.block;
    if (b.has(Address::F)) {
      state_.feed = b.number(Address::F);
      state_.feedWritten = true;
    }
    if (b.has(Address::S)) setSpeedWord(b);
    if (s.arc) {
      arcAlong(s, totals);
    } else if (s.rapid) {
      rapidTo(s.to, totals);
    } else {
      feedTo(s.to, Pace::Cut, totals);
    }
  }
  rapidTo(a, totals);
}

}  // namespace korvane
