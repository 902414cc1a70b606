#include "analysis/toolpath_geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace korvane::toolpath {

namespace {

// As the reading has it: within this, in millimetres, an arc ends where it started.
constexpr double kSamePoint = 1e-9;
// No arc is cut into more chords than this, however fine the tolerance.
constexpr int kMostChords = 1 << 16;

struct Basis {
  Point u, v, n;
};

Basis basisOf(Plane plane) {
  // Each plane's axes in the order of the reading's inPlane(): G02 is clockwise seen from n.
  switch (plane) {
    case Plane::ZX: return {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}};
    case Plane::YZ: return {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}};
    case Plane::XY: break;
  }
  return {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
}

}  // namespace

ViewAxes axesOf(View view) {
  switch (view) {
    case View::Front: return {{1, 0, 0}, {0, 0, 1}};
    case View::Side: return {{0, 1, 0}, {0, 0, 1}};
    case View::Iso: {
      // Seen from (1, -1, 1): X runs down to the right, Y up to the right, Z straight up.
      const double r = 1 / std::sqrt(2.0);
      const double s = 1 / std::sqrt(6.0);
      return {{r, r, 0}, {-s, s, 2 * s}};
    }
    case View::Lathe: return {{0, 0, 1}, {1, 0, 0}};
    case View::Top: break;
  }
  return {{1, 0, 0}, {0, 1, 0}};
}

void Box3::add(const Point& p) {
  min = {std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z)};
  max = {std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z)};
}

void Box2::add(double a, double b) {
  minA = std::min(minA, a);
  maxA = std::max(maxA, a);
  minB = std::min(minB, b);
  maxB = std::max(maxB, b);
}

void Box2::add(const Box2& other) {
  if (other.empty()) return;
  add(other.minA, other.minB);
  add(other.maxA, other.maxB);
}

Point Arc::at(double angle) const {
  const double share = sweep != 0 ? angle / sweep : 0;
  const double r = startRadius + (endRadius - startRadius) * share;
  const double h = startN + (endN - startN) * share;
  const double phi = startAngle + angle;
  const double a = centreU + r * std::cos(phi);
  const double b = centreV + r * std::sin(phi);
  return {u.x * a + v.x * b + n.x * h, u.y * a + v.y * b + n.y * h, u.z * a + v.z * b + n.z * h};
}

Arc arcOf(const Point& start, const Point& end, const Point& centre, Plane plane, bool clockwise) {
  const Basis basis = basisOf(plane);
  Arc arc;
  arc.u = basis.u;
  arc.v = basis.v;
  arc.n = basis.n;
  arc.centreU = dot(centre, basis.u);
  arc.centreV = dot(centre, basis.v);
  const double sa = dot(start, basis.u) - arc.centreU;
  const double sb = dot(start, basis.v) - arc.centreV;
  const double ea = dot(end, basis.u) - arc.centreU;
  const double eb = dot(end, basis.v) - arc.centreV;
  arc.startRadius = std::sqrt(sa * sa + sb * sb);
  arc.endRadius = std::sqrt(ea * ea + eb * eb);
  arc.startAngle = std::atan2(sb, sa);
  arc.startN = dot(start, basis.n);
  arc.endN = dot(end, basis.n);
  double sweep = 2 * std::numbers::pi;
  if (std::fabs(ea - sa) > kSamePoint || std::fabs(eb - sb) > kSamePoint) {
    const double turn = std::atan2(sa * eb - sb * ea, sa * ea + sb * eb);
    sweep = clockwise ? -turn : turn;
    if (sweep <= 0) sweep += 2 * std::numbers::pi;
  }
  arc.sweep = clockwise ? -sweep : sweep;
  return arc;
}

void appendTurningAngles(const Arc& arc, const Point& direction, std::vector<double>& angles) {
  const double du = dot(arc.u, direction);
  const double dv = dot(arc.v, direction);
  if (std::fabs(du) < 1e-12 && std::fabs(dv) < 1e-12) return;  // the arc's plane faces that way
  const double fullTurn = 2 * std::numbers::pi;
  const double size = std::fabs(arc.sweep);
  // How far along `direction` the arc goes per radian on, at `on` radians from the start, and
  // how fast that changes: a circle's turning points lie where the radius is square to the
  // direction; where the radius grows or the arc climbs along its normal, a few Newton steps
  // from there find them. (A radius that differs between the ends by less than kSameRadius, the
  // rounding of written coordinates, changes nothing that could be seen or measured.)
  constexpr double kSameRadius = 1e-4;
  const double radiusRate =
      std::fabs(arc.endRadius - arc.startRadius) > kSameRadius ? (arc.endRadius - arc.startRadius) / arc.sweep : 0;
  const double climb = dot(arc.n, direction) * (arc.endN - arc.startN) / arc.sweep;
  const bool refine = radiusRate != 0 || std::fabs(climb) > 1e-12;
  const auto newtonStep = [&](double on) {
    const double phi = arc.startAngle + on;
    const double c = std::cos(phi);
    const double sn = std::sin(phi);
    const double r = arc.startRadius + radiusRate * on;
    const double along = du * c + dv * sn;
    const double across = -du * sn + dv * c;
    const double rate = radiusRate * along + r * across + climb;
    const double slope = 2 * radiusRate * across - r * along;
    return slope != 0 ? rate / slope : 0.0;
  };
  const double first = std::atan2(dv, du);  // furthest along the direction; least far half a turn on
  std::vector<double> found;
  for (const double phi : {first, first + std::numbers::pi}) {
    // How far on from the start the arc reaches phi, in its own direction of turning.
    double on = arc.sweep >= 0 ? phi - arc.startAngle : arc.startAngle - phi;
    on = std::fmod(on, fullTurn);
    if (on < 0) on += fullTurn;
    for (; on < size + 0.5; on += fullTurn) {
      double at = arc.sweep >= 0 ? on : -on;
      if (refine) {
        for (int step = 0; step < 8; ++step) {
          const double change = newtonStep(at);
          if (std::fabs(change) > 0.5) break;  // off toward another turning point
          at -= change;
          if (std::fabs(change) < 1e-12) break;
        }
      }
      const double onward = std::fabs(at);
      if (onward > 1e-12 && size - onward > 1e-12 && (at >= 0) == (arc.sweep >= 0)) found.push_back(onward);
    }
  }
  std::sort(found.begin(), found.end());
  for (const double on : found) angles.push_back(arc.sweep >= 0 ? on : -on);
}

int chordCount(double radius, double sweep, double tolerance) {
  const double size = std::fabs(sweep);
  if (size == 0 || radius <= tolerance) return size > std::numbers::pi / 2 ? 4 : 1;
  // A chord over the angle d strays r (1 - cos(d/2)) from its arc.
  const double step = 2 * std::acos(1 - tolerance / radius);
  const double count = std::ceil(size / step);
  return static_cast<int>(std::clamp(count, 1.0, static_cast<double>(kMostChords)));
}

void chordAngles(const Arc& arc, double tolerance, const Point& alongA, const Point& alongB,
                 std::vector<double>& angles) {
  std::vector<double> turns;
  appendTurningAngles(arc, alongA, turns);
  appendTurningAngles(arc, alongB, turns);
  turns.push_back(arc.sweep);
  const bool forward = arc.sweep >= 0;
  std::sort(turns.begin(), turns.end(), [forward](double x, double y) { return forward ? x < y : x > y; });
  const double radius = arc.maxRadius();
  double from = 0;
  for (const double to : turns) {
    if (std::fabs(to - from) <= 1e-12 && to != arc.sweep) continue;
    const int pieces = chordCount(radius, to - from, tolerance);
    for (int i = 1; i < pieces; ++i) angles.push_back(from + (to - from) * i / pieces);
    angles.push_back(to);
    from = to;
  }
}

}  // namespace korvane::toolpath
