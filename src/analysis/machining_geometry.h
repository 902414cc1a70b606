#pragma once
// Lengths of the moves of an NC program, in millimetres.

#include <cmath>
#include <numbers>

namespace korvane::machining {

inline constexpr double kDefaultRapidRate = 5000;  // mm/min, unless the machine's profile says otherwise
inline constexpr double kDefaultFeed = 100;        // mm/min in place of a feed of 0
inline constexpr double kInitialFeed = 5000;       // mm/min at the start of every file
inline constexpr double kTapePitch = 2.54;         // mm of tape per character
inline constexpr double kMillimetresPerInch = 25.4;
inline constexpr double kFullTurn = 2 * std::numbers::pi;

struct Point {
  double x = 0;
  double y = 0;
  double z = 0;
};

// Straight move (rapid or linear): the 3-D distance.
inline double lineLength(const Point& from, const Point& to) {
  const double dx = from.x - to.x;
  const double dy = from.y - to.y;
  const double dz = from.z - to.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// The plane arcs lie in: G17 XY, G18 ZX, G19 YZ. Each is seen from the positive side of the
// axis normal to it, so that G02 runs clockwise in all three.
enum class Plane { XY, ZX, YZ };

// A point's coordinates along the plane's first and second axis and along its normal.
struct PlanePoint {
  double a = 0;
  double b = 0;
  double n = 0;
};
inline PlanePoint inPlane(const Point& p, Plane plane) {
  switch (plane) {
    case Plane::ZX: return {p.z, p.x, p.y};
    case Plane::YZ: return {p.y, p.z, p.x};
    case Plane::XY: break;
  }
  return {p.x, p.y, p.z};
}

// An arc (a helix where the normal coordinate changes) whose centre lies at `centre` (first and
// second axis of the plane, relative to the start point). An end equal to the start in the
// plane sweeps a full turn.
double arcLengthByCentre(const Point& from, const Point& to, Plane plane, double centreA, double centreB,
                         bool clockwise);

// An arc given by its radius: the shorter arc for a positive R, the longer for a negative one.
// An end equal to the start sweeps a full turn; a chord longer than the diameter (rounded
// coordinates of a half circle) is taken as a half circle over the chord.
double arcLengthByRadius(const Point& from, const Point& to, Plane plane, double signedRadius);

}  // namespace korvane::machining
