#include "analysis/machining_geometry.h"

#include <algorithm>
#include <cmath>

namespace korvane::machining {

namespace {

// Within this, in millimetres, an arc ends where it started: a full turn.
constexpr double kSamePoint = 1e-9;

double helix(double planarLength, double along) { return std::sqrt(planarLength * planarLength + along * along); }

}  // namespace

PlanePoint inPlane(const Point& p, Plane plane) {
  switch (plane) {
    case Plane::ZX: return {p.z, p.x, p.y};
    case Plane::YZ: return {p.y, p.z, p.x};
    case Plane::XY: break;
  }
  return {p.x, p.y, p.z};
}

double arcLengthByCentre(const Point& from, const Point& to, Plane plane, double centreA, double centreB,
                         bool clockwise) {
  const PlanePoint s = inPlane(from, plane);
  const PlanePoint e = inPlane(to, plane);
  const double radius = std::sqrt(centreA * centreA + centreB * centreB);
  double sweep = kFullTurn;
  if (std::fabs(e.a - s.a) > kSamePoint || std::fabs(e.b - s.b) > kSamePoint) {
    const double ca = s.a + centreA;
    const double cb = s.b + centreB;
    const double startAngle = std::atan2(s.b - cb, s.a - ca);
    const double endAngle = std::atan2(e.b - cb, e.a - ca);
    sweep = clockwise ? startAngle - endAngle : endAngle - startAngle;
    while (sweep <= 0) sweep += kFullTurn;
    while (sweep > kFullTurn) sweep -= kFullTurn;
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
