#include "analysis/lathe_spindle.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace korvane::lathe {

namespace {

// Under G96 the spindle turns at n = 1000·Vc / (π·D) = k / r with r the radius, so that
// 1/n = max(1/limit, r/k): constant near the axis, where the limit holds, and growing with the
// radius beyond the crossover radius k/limit.
double turnsConstant(const Spindle& s) { return 1000 * s.surfaceSpeed / (2 * std::numbers::pi); }

}  // namespace

double Spindle::rpmAt(double radius) const {
  if (constantSurface) {
    if (!(surfaceSpeed > 0)) return limit;
    const double r = std::fabs(radius);
    if (r <= 0) return limit;
    return std::min(limit, turnsConstant(*this) / r);
  }
  return rpm > 0 ? rpm : limit;
}

double Spindle::lineInverseTurns(double r0, double r1, double length) const {
  if (!(length > 0)) return 0;
  if (!constantSurface || !(surfaceSpeed > 0)) return length / rpmAt(r0);
  const double k = turnsConstant(*this);
  const double crossover = k / limit;  // |r| below it: the limit
  // The radius runs evenly from r0 to r1: cut the move where |r| meets 0 or the crossover, and
  // on each piece the integrand is either constant or |r|/k, whose mean is that of its ends.
  std::vector<double> cuts{0.0, 1.0};
  const double dr = r1 - r0;
  if (dr != 0) {
    for (const double level : {-crossover, 0.0, crossover}) {
      const double t = (level - r0) / dr;
      if (t > 0 && t < 1) cuts.push_back(t);
    }
  }
  std::sort(cuts.begin(), cuts.end());
  double sum = 0;
  for (std::size_t i = 1; i < cuts.size(); ++i) {
    const double ta = cuts[i - 1];
    const double tb = cuts[i];
    const double ra = r0 + ta * dr;
    const double rb = r0 + tb * dr;
    const double mean = std::fabs((ra + rb) / 2);
    const double piece = (tb - ta) * length;
    sum += mean > crossover ? piece * mean / k : piece / limit;
  }
  return sum;
}

double Spindle::arcInverseTurns(double centreRadius, double arcRadius, double from, double sweep) const {
  const double length = std::fabs(sweep) * arcRadius;
  if (!(length > 0)) return 0;
  if (!constantSurface || !(surfaceSpeed > 0)) return length / rpmAt(centreRadius + arcRadius * std::sin(from));
  const double k = turnsConstant(*this);
  const double crossover = k / limit;
  // The radius is c + R·sin φ. Cut the sweep where it meets -crossover, 0 or crossover; on each
  // piece ∫ |r| R dφ = ±R (c·Δφ − R·(cos φb − cos φa)).
  const double c = centreRadius;
  const double rr = arcRadius;
  const double a0 = std::min(from, from + sweep);
  const double a1 = std::max(from, from + sweep);
  std::vector<double> cuts{a0, a1};
  for (const double level : {-crossover, 0.0, crossover}) {
    const double v = (level - c) / rr;
    if (v < -1 || v > 1) continue;
    const double base = std::asin(v);
    for (const double root : {base, std::numbers::pi - base}) {
      // Every angle of this sine within the sweep.
      const double turn = 2 * std::numbers::pi;
      for (double phi = root + std::ceil((a0 - root) / turn) * turn; phi < a1; phi += turn) {
        if (phi > a0) cuts.push_back(phi);
      }
    }
  }
  std::sort(cuts.begin(), cuts.end());
  double sum = 0;
  for (std::size_t i = 1; i < cuts.size(); ++i) {
    const double pa = cuts[i - 1];
    const double pb = cuts[i];
    if (pb <= pa) continue;
    const double middle = c + rr * std::sin((pa + pb) / 2);
    if (std::fabs(middle) > crossover) {
      const double signedIntegral = rr * (c * (pb - pa) - rr * (std::cos(pb) - std::cos(pa)));
      sum += std::fabs(signedIntegral) / k;
    } else {
      sum += (pb - pa) * rr / limit;
    }
  }
  return sum;
}

}  // namespace korvane::lathe
