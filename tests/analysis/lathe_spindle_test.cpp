// The closed forms of the time at a feed per revolution under a constant surface speed, held to
// a numerical integration of ds / n along the same lines and arcs.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "analysis/lathe_spindle.h"

using korvane::lathe::Spindle;

namespace {

// Simpson's rule over `steps` pieces of the path p(t), t in [0, 1], whose radius is r(t).
template <typename Radius>
double integrate(const Spindle& s, Radius radius, double length, int steps = 200000) {
  const double h = 1.0 / steps;
  double sum = 0;
  for (int i = 0; i <= steps; ++i) {
    const double weight = i == 0 || i == steps ? 1 : (i % 2 ? 4 : 2);
    sum += weight / s.rpmAt(radius(i * h));
  }
  return sum * h / 3 * length;
}

}  // namespace

TEST(ConstantSurfaceSpeed, ClosedFormsAgreeWithANumericalIntegration) {
  std::mt19937 random(20261209);
  std::uniform_real_distribution<double> any(-1, 1);
  for (int trial = 0; trial < 300; ++trial) {
    Spindle s;
    s.constantSurface = trial % 5 != 0;
    s.surfaceSpeed = 50 + 250 * std::fabs(any(random));
    s.rpm = 500;
    s.limit = 800 + 3000 * std::fabs(any(random));
    // Radii around the crossover k / limit (a few mm to a few tens), on both sides of the axis.
    const double r0 = 60 * any(random);
    const double r1 = 60 * any(random);
    const double dz = 40 * any(random);
    const double length = std::hypot(r1 - r0, dz);
    const double line = s.lineInverseTurns(r0, r1, length);
    const double lineNumeric = integrate(s, [&](double t) { return r0 + t * (r1 - r0); }, length);
    EXPECT_NEAR(line, lineNumeric, 1e-7 * std::max(1.0, lineNumeric)) << trial;

    const double centre = 40 * any(random);
    const double radius = 1 + 30 * std::fabs(any(random));
    const double from = std::numbers::pi * any(random);
    const double sweep = 2 * std::numbers::pi * any(random);
    const double arc = s.arcInverseTurns(centre, radius, from, sweep);
    const double arcNumeric =
        integrate(s, [&](double t) { return centre + radius * std::sin(from + t * sweep); }, radius * std::fabs(sweep));
    EXPECT_NEAR(arc, arcNumeric, 1e-7 * std::max(1.0, arcNumeric)) << trial;
  }
}

TEST(ConstantSurfaceSpeed, AFacingCutToTheCentreRunsAtTheLimitInside) {
  // Vc 200 m/min, limit 2000 rpm: the crossover radius is 200000 / (2π · 2000) = 15.915 mm.
  Spindle s;
  s.constantSurface = true;
  s.surfaceSpeed = 200;
  s.limit = 2000;
  const double crossover = 200000 / (2 * std::numbers::pi * 2000);
  // From radius 40 to 0: ∫ r/k dr from the crossover to 40, plus crossover / limit.
  const double k = 200000 / (2 * std::numbers::pi);
  const double expected = (40 * 40 - crossover * crossover) / (2 * k) + crossover / 2000;
  EXPECT_NEAR(s.lineInverseTurns(40, 0, 40), expected, 1e-12);
  EXPECT_DOUBLE_EQ(s.rpmAt(0), 2000);
  EXPECT_NEAR(s.rpmAt(40), k / 40, 1e-9);
}
