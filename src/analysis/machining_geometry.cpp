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

#include "analysis/arc_centre.h"

namespace korvane::machining {

PlanePoint arcCentreByRadius(const Point& from, const Point& to, Plane plane, double signedRadius, bool clockwise) {
  const PlanePoint s = inPlane(from, plane);
  const PlanePoint e = inPlane(to, plane);
  const double da = e.a - s.a;
  const double db = e.b - s.b;
  const double chord = std::sqrt(da * da + db * db);
  const double radius = std::fabs(signedRadius);
  if (chord <= kSamePoint) return {-radius, 0, 0};
  const double half = chord / 2;
  const double rise = radius > half ? std::sqrt(radius * radius - half * half) : 0;
  // The centre lies to the right of the chord for a short clockwise arc, to the left for a short
  // counterclockwise one; a long arc (negative R) puts it on the other side.
  double side = clockwise ? -1 : 1;
  if (signedRadius < 0) side = -side;
  const double ua = da / chord;
  const double ub = db / chord;
  return {da / 2 - side * ub * rise, db / 2 + side * ua * rise, 0};
}

Point fromPlane(const Point& from, Plane plane, double a, double b) {
  switch (plane) {
    case Plane::ZX: return {from.x + b, from.y, from.z + a};
    case Plane::YZ: return {from.x, from.y + a, from.z + b};
    case Plane::XY: break;
  }
  return {from.x + a, from.y + b, from.z};
}

}  // namespace korvane::machining
