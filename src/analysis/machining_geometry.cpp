#include "analysis/machining_geometry.h"

#include <algorithm>
#include <cmath>

namespace korvane::machining {

namespace {

// Within this, in millimetres, an arc ends where it started: a full turn.
constexpr double kSamePoint = 1e-9;

double helix(double planarLength, double along) { return std::sqrt(planarLength * planarLength + along * along); }

}  // namespace

double arcLengthByCentre(const Point& from, const Point& to, Plane plane, double centreA, double centreB,
                         bool clockwise) {
  const PlanePoint s = inPlane(from, plane);
  const PlanePoint e = inPlane(to, plane);
  const double radius = std::sqrt(centreA * centreA + centreB * centreB);
  double sweep = kFullTurn;
  if (std::fabs(e.a - s.a) > kSamePoint || std::fabs(e.b - s.b) > kSamePoint) {
    // The angle from the start radius to the end radius, counterclockwise, from one arctangent
    // of their cross and dot products.
    const double sa = -centreA;
    const double sb = -centreB;
    const double ea = e.a - (s.a + centreA);
    const double eb = e.b - (s.b + centreB);
    const double turn = std::atan2(sa * eb - sb * ea, sa * ea + sb * eb);
    sweep = clockwise ? -turn : turn;
    if (sweep <= 0) sweep += kFullTurn;
  }
  return helix(radius * sweep, e.n - s.n);
}

double arcLengthByRadius(const Point& from, const Point& to, Plane plane, double signedRadius) {
  const PlanePoint s = inPlane(from, plane);
  const PlanePoint e = inPlane(to, plane);
  double radius = std::fabs(signedRadius);
  const double chord = std::sqrt((e.a - s.a) * (e.a - s.a) + (e.b - s.b) * (e.b - s.b));
  double sweep = kFullTurn;
  if (chord > kSamePoint) {
    radius = std::max(radius, chord / 2);
    sweep = 2 * std::asin(std::min(1.0, chord / (2 * radius)));
    if (signedRadius < 0) sweep = kFullTurn - sweep;
  }
  return helix(radius * sweep, e.n - s.n);
}

}  // namespace korvane::machining
