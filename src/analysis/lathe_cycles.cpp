// A lathe's single cycles (G90 turning, G92 threading, G94 facing) and the multiple repetitive
// cycles that need no shape: G74 end-face peck drilling, G75 grooving, G76 threading.
#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/lathe_motion.h"

namespace korvane {

namespace {

// Far more passes, pecks or steps than any program asks for: a number written without its point
// (a peck of 0.001 mm over 10 mm) is still measured, in this many at most.
constexpr double kMostRepeats = 10000;

double sign(double v) { return v > 0 ? 1 : v < 0 ? -1 : 0; }

// The positions from `from` to `to` in steps of `step`, both ends included; only `from` when
// they are the same, and both alone when there is no step.
std::vector<double> stepsBetween(double from, double to, double step) {
  if (from == to) return {from};
  if (!(step > 0)) return {from, to};
  const double count = std::min(lathe::stepsToCover(std::fabs(to - from), step), kMostRepeats);
  std::vector<double> at;
  at.reserve(static_cast<std::size_t>(count) + 1);
  for (double i = 0; i < count; ++i) at.push_back(from + sign(to - from) * i * step);
  at.push_back(to);
  return at;
}

}  // namespace

void LatheMotion::singleCycle(const BlockWords& w, MotionTotals& totals) {
  // X, Z and R stay in force inside the cycle; U and W are measured from its start point A.
  const Spot a = cycleStart_;
  if (w.has(Address::X)) {
    cycleX_ = length(w, Address::X) / 2;
  } else if (w.has(Address::U)) {
    cycleX_ = a.r + length(w, Address::U) / 2;
  }
  if (w.has(Address::Z)) {
    cycleZ_ = length(w, Address::Z);
  } else if (w.has(Address::W)) {
    cycleZ_ = a.z + length(w, Address::W);
  }
  if (w.has(Address::R)) cycleTaper_ = length(w, Address::R);  // a radius
  state_.cycleX = 2 * cycleX_;
  state_.cycleZ = cycleZ_;
  state_.cycleTaper = cycleTaper_;
  inCycle_ = true;
  switch (state_.cycle) {
    case 90:
      rapidTo({cycleX_ + cycleTaper_, a.z}, totals);
      feedTo({cycleX_, cycleZ_}, Pace::Cut, totals);
      feedTo({a.r, cycleZ_}, Pace::Cut, totals);
      rapidTo(a, totals);
      break;
    case 92:
      rapidTo({cycleX_ + cycleTaper_, a.z}, totals);
      feedTo({cycleX_, cycleZ_}, Pace::Thread, totals);
      rapidTo({a.r, cycleZ_}, totals);
      rapidTo(a, totals);
      break;
    default:  // 94
      rapidTo({a.r, cycleZ_ + cycleTaper_}, totals);
      feedTo({cycleX_, cycleZ_}, Pace::Cut, totals);
      feedTo({cycleX_, a.z}, Pace::Cut, totals);
      rapidTo(a, totals);
      break;
  }
  inCycle_ = false;
}

bool LatheMotion::isShapeCycle(const BlockWords& w) const {
  const auto code = w.code(Group::Motion);
  return code >= 70 && code <= 73 && w.has(Address::P) && w.has(Address::Q);
}

void LatheMotion::repetitiveCycle(const BlockWords& w, MotionTotals& totals) {
  const int code = w.code(Group::Motion);
  CycleSettings& settings = settingsOf(code);
  switch (code) {
    case 71:  // U(Δd) R(e)
    case 72:  // W(Δd) R(e)
      if (const Address depth = code == 71 ? Address::U : Address::W; w.has(depth)) settings.depth = std::fabs(length(w, depth));
      if (w.has(Address::R)) settings.retract = std::fabs(length(w, Address::R));
      return;
    case 73:  // U(Δi) W(Δk) R(d), d a count
      if (w.has(Address::U)) settings.depth = length(w, Address::U);
      if (w.has(Address::W)) settings.depthZ = length(w, Address::W);
      if (w.has(Address::R)) settings.retract = w.number(Address::R);
      return;
    case 74:
    case 75:
      if (hasAxisWord(w)) {
        peckCycle(code, w, totals);
      } else if (w.has(Address::R)) {
        settings.retract = std::fabs(length(w, Address::R));
      }
      return;
    case 76:
      if (hasAxisWord(w)) {
        threadCycle(w, totals);
        return;
      }
      if (w.has(Address::P)) settings.p = std::fabs(w.number(Address::P));
      if (w.has(Address::Q)) settings.q = std::fabs(length(w, Address::Q));
      if (w.has(Address::R)) settings.retract = std::fabs(length(w, Address::R));
      return;
    default:  // G70 without P and Q: nothing to finish
      return;
  }
}

void LatheMotion::peckCycle(int code, const BlockWords& w, MotionTotals& totals) {
  // Δi is along X (a radius), Δk along Z: G74 steps by Δi and pecks by Δk, G75 the other way.
  const bool oneBlock = w.has(Address::I) || w.has(Address::K);
  const double di = oneBlock ? (w.has(Address::I) ? std::fabs(length(w, Address::I)) : 0)
                             : (w.has(Address::P) ? std::fabs(increments(w, Address::P)) : 0);
  const double dk = oneBlock ? (w.has(Address::K) ? std::fabs(length(w, Address::K)) : 0)
                             : (w.has(Address::Q) ? std::fabs(increments(w, Address::Q)) : 0);
  const double retract = settingsOf(code).retract;
  const Spot a = at_;
  const Spot end = target(w, a);
  const bool drilling = code == 74;
  // Along the step axis and the peck axis: G74 steps in X and pecks in Z.
  const auto spot = [drilling](double step, double peck) { return drilling ? Spot{step, peck} : Spot{peck, step}; };
  const double stepFrom = drilling ? a.r : a.z;
  const double stepTo = drilling ? end.r : end.z;
  const double peckFrom = drilling ? a.z : a.r;
  const double peckTo = drilling ? end.z : end.r;
  const double stepSize = drilling ? di : dk;
  double peckStep = drilling ? dk : di;
  const double back = -sign(peckTo - peckFrom);
  inCycle_ = true;
  const std::vector<double> steps = stepsBetween(stepFrom, stepTo, stepSize);
  // Pecks of every step together: far more than any program asks for, and a bound on the time a
  // program written without its points takes to measure; beyond it the pecks are taken longer.
  constexpr double kMostPecks = 1e6;
  const double pecksEach = kMostPecks / static_cast<double>(steps.size());
  if (peckStep > 0 && std::fabs(peckTo - peckFrom) / peckStep > pecksEach) peckStep = std::fabs(peckTo - peckFrom) / pecksEach;
  for (std::size_t j = 0; j < steps.size(); ++j) {
    if (j > 0) rapidTo(spot(steps[j], peckFrom), totals);
    if (peckTo != peckFrom) {
      // Each peck after the first backs off by e at rapid and feeds in over it again.
      const std::vector<double> depths = stepsBetween(peckFrom, peckTo, peckStep);
      for (std::size_t i = 1; i < depths.size(); ++i) {
        if (i > 1) rapidTo(spot(steps[j], depths[i - 1] + back * retract), totals);
        feedTo(spot(steps[j], depths[i]), Pace::Cut, totals);
      }
      rapidTo(spot(steps[j], peckFrom), totals);
    }
  }
  rapidTo(a, totals);
  inCycle_ = false;
}

void LatheMotion::threadCycle(const BlockWords& w, MotionTotals& totals) {
  const CycleSettings& settings = settingsOf(76);
  // The one-block form gives k and Δd as coordinates, one finishing pass, no minimum depth and
  // no allowance; the two-block form takes them from the first block, k and Δd in increments.
  const bool oneBlock = w.has(Address::K) || w.has(Address::D);
  double height = 0;
  double firstDepth = 0;
  double finishingPasses = 1;
  double minimumDepth = 0;
  double allowance = 0;
  if (oneBlock) {
    height = w.has(Address::K) ? std::fabs(length(w, Address::K)) : 0;
    firstDepth = w.has(Address::D) ? std::fabs(length(w, Address::D)) : 0;
  } else {
    height = w.has(Address::P) ? std::fabs(increments(w, Address::P)) : 0;
    firstDepth = w.has(Address::Q) ? std::fabs(increments(w, Address::Q)) : 0;
    finishingPasses = std::fmod(std::floor(settings.p / 10000), 100);
    minimumDepth = settings.q;
    allowance = settings.retract;
  }
  const Spot a = at_;
  const Spot root = target(w, a);
  const double lastRoughing = height - allowance;
  std::vector<double> depths;
  double previous = 0;
  for (double n = 1; n <= kMostRepeats; ++n) {
    const double depth = std::max(firstDepth * std::sqrt(n), previous + minimumDepth);
    // Within rounding of the last roughing depth is at it (no pass of a millionth of a mm more).
    if (depth >= lastRoughing - 1e-9 || !(depth > previous)) {
      depths.push_back(lastRoughing);
      break;
    }
    depths.push_back(depth);
    previous = depth;
  }
  for (double m = 0; m < finishingPasses; ++m) depths.push_back(height);
  // Each pass at the diameter that lies height - depth from the root toward A.
  // A start on the root diameter threads as an outside thread would.
  const double towardStart = a.r < root.r ? -1 : 1;
  inCycle_ = true;
  for (const double depth : depths) threadPass(a, root.r + (height - depth) * towardStart, root.z, totals);
  inCycle_ = false;
}

void LatheMotion::threadPass(Spot start, double passRadius, double endZ, MotionTotals& totals) {
  rapidTo({passRadius, start.z}, totals);
  feedTo({passRadius, endZ}, Pace::Thread, totals);
  rapidTo({start.r, endZ}, totals);
  rapidTo(start, totals);
}

}  // namespace korvane
