#include "analysis/lathe_shape.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "analysis/arc_centre.h"
#include "analysis/machining_geometry.h"

namespace korvane::lathe {

namespace {

constexpr double kTurn = 2 * std::numbers::pi;

bool addsNoGeometry(const BlockWords& w) {
  const auto oneShot = w.code(Group::OneShot);
  if (oneShot == 4 || oneShot == 28 || oneShot == 30 || oneShot == 50 || oneShot == 53) return true;
  const auto motion = w.code(Group::Motion);
  return motion >= 70 && motion <= 76;
}

machining::Point pointOf(Spot s) { return {s.r, 0, s.z}; }

// An arc from `from` to `to` with its centre, in the ZX plane seen with Z right and X up.
Segment arcSegment(Spot from, Spot to, Spot centre, double radius, bool clockwise) {
  Segment s;
  s.arc = true;
  s.clockwise = clockwise;
  s.from = from;
  s.to = to;
  s.centre = centre;
  s.radius = radius;
  s.startAngle = std::atan2(from.r - centre.r, from.z - centre.z);
  const double endAngle = std::atan2(to.r - centre.r, to.z - centre.z);
  double turn = endAngle - s.startAngle;  // counterclockwise
  if (clockwise) turn = -turn;
  while (turn <= 1e-12) turn += kTurn;  // an end on the start: a full turn
  while (turn > kTurn + 1e-12) turn -= kTurn;
  s.sweep = clockwise ? -turn : turn;
  return s;
}

}  // namespace

Segment arcOf(const BlockWords& w, Spot from, Spot to, bool clockwise, const LengthOf& lengthOf) {
  if (w.has(Address::R)) {
    const double signedRadius = lengthOf(w, Address::R);
    const auto c = machining::arcCentreByRadius(pointOf(from), pointOf(to), machining::Plane::ZX, signedRadius, clockwise);
    const double chord = std::hypot(to.r - from.r, to.z - from.z);
    return arcSegment(from, to, {from.r + c.b, from.z + c.a}, std::max(std::fabs(signedRadius), chord / 2), clockwise);
  }
  // I along X as a radius, K along Z, from the start point; the radius is the start's.
  const double i = w.has(Address::I) ? lengthOf(w, Address::I) : 0;
  const double k = w.has(Address::K) ? lengthOf(w, Address::K) : 0;
  return arcSegment(from, to, {from.r + i, from.z + k}, std::hypot(i, k), clockwise);
}

double Segment::length() const {
  if (arc) return radius * std::fabs(sweep);
  return std::hypot(to.r - from.r, to.z - from.z);
}

Segment Segment::moved(double dr, double dz) const {
  Segment s = *this;
  s.from = {from.r + dr, from.z + dz};
  s.to = {to.r + dr, to.z + dz};
  s.centre = {centre.r + dr, centre.z + dz};
  return s;
}

Shape readShape(const std::vector<ShapeBlock>& blocks, Spot start, const LengthOf& lengthOf) {
  Shape shape;
  Spot at = start;
  int motion = -1;
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const BlockWords& w = *blocks[i].words;
    if (const auto code = w.code(Group::Motion); code <= 3) motion = code;
    if (i == 0) {
      // The ns block decides how each roughing pass goes in: at rapid unless it is G01.
      if (motion != 0 && motion != 1) motion = 0;
      shape.startsWithRapid = motion == 0;
    }
    if (addsNoGeometry(w)) continue;
    const bool hasX = w.has(Address::X) || w.has(Address::U);
    const bool hasZ = w.has(Address::Z) || w.has(Address::W);
    const bool arc = motion == 2 || motion == 3;
    const bool hasCentre = w.has(Address::I) || w.has(Address::K) || w.has(Address::R);
    if (!hasX && !hasZ && !(arc && hasCentre)) {
      if (i == 0) {
        // An ns block that moves nothing still starts the shape where the tool is.
        Segment s;
        s.rapid = true;
        s.from = s.to = at;
        s.block = &w;
        s.ordinal = blocks[i].ordinal;
        shape.path.push_back(s);
      }
      continue;
    }
    const Spot to = targetOf(w, at, lengthOf);
    Segment s;
    if (arc) {
      s = arcOf(w, at, to, motion == 2, lengthOf);
    } else {
      s.rapid = motion == 0;
      s.from = at;
      s.to = to;
    }
    s.block = &w;
    s.ordinal = blocks[i].ordinal;
    if (i == 0 || !shape.path.empty()) shape.path.push_back(s);
    at = to;
  }
  return shape;
}

namespace {

// The side of the line a coordinate lies on, as seen from the start: positive on its side.
double sideOf(double coordinate, double level, double sideOfStart) { return (coordinate - level) * sideOfStart; }

std::optional<double> lineCrossing(const Segment& s, bool alongRadius, double level, double sideOfStart) {
  const double u0 = alongRadius ? s.from.r : s.from.z;
  const double u1 = alongRadius ? s.to.r : s.to.z;
  const double v0 = alongRadius ? s.from.z : s.from.r;
  const double v1 = alongRadius ? s.to.z : s.to.r;
  if (sideOf(u0, level, sideOfStart) <= 0 && sideOf(u1, level, sideOfStart) > 0) {
    const double t = u0 == level ? 0.0 : (level - u0) / (u1 - u0);
    return v0 + t * (v1 - v0);
  }
  return std::nullopt;
}

std::optional<double> arcCrossing(const Segment& s, bool alongRadius, double level, double sideOfStart) {
  // Along the arc φ(t) = start + direction·t, t from 0 to |sweep|: r = cr + R sin φ, z = cz + R cos φ.
  const double direction = s.sweep < 0 ? -1 : 1;
  const double span = std::fabs(s.sweep);
  const double cu = alongRadius ? s.centre.r : s.centre.z;
  const double u0 = alongRadius ? s.from.r : s.from.z;
  const auto side = [&](double t) {
    const double phi = s.startAngle + direction * t;
    return sideOf(cu + s.radius * (alongRadius ? std::sin(phi) : std::cos(phi)), level, sideOfStart);
  };
  const auto other = [&](double phi) {
    return alongRadius ? s.centre.z + s.radius * std::cos(phi) : s.centre.r + s.radius * std::sin(phi);
  };
  std::vector<double> times;
  if (u0 == level) times.push_back(0);  // from the line at its start
  if (s.radius > 0) {
    const double v = (level - cu) / s.radius;
    if (v >= -1 && v <= 1) {
      const double base = alongRadius ? std::asin(v) : std::acos(v);
      for (const double root : {base, alongRadius ? std::numbers::pi - base : -base}) {
        // Every t within the sweep with start + direction·t at that angle.
        double t = std::fmod(direction * (root - s.startAngle), kTurn);
        if (t < 0) t += kTurn;
        for (; t <= span; t += kTurn) times.push_back(t);
      }
    }
  }
  std::sort(times.begin(), times.end());
  // Where the arc meets the line it crosses when it is on the start's side just after and was on
  // the line or beyond just before; an arc that only touches the line goes back where it came
  // from. The sides are looked at a small turn away, which also tells an arc that leaves the
  // line along it (tangent at its start) from one that touches it.
  const double step = std::min(1e-4, span / 4);
  constexpr double kOnTheLine = 1e-9;
  for (const double t : times) {
    const double before = t - step > 0 ? side(t - step) : (u0 == level ? 0.0 : side(0));
    const double after = side(std::min(t + step, span));
    if (before <= kOnTheLine && after > kOnTheLine) {
      return t == 0 && u0 == level ? (alongRadius ? s.from.z : s.from.r) : other(s.startAngle + direction * t);
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<double> firstCrossing(const Shape& shape, double dr, double dz, bool alongRadius, double level,
                                    double sideOfStart) {
  for (std::size_t i = 1; i < shape.path.size(); ++i) {
    const Segment s = shape.path[i].moved(dr, dz);
    const auto at = s.arc ? arcCrossing(s, alongRadius, level, sideOfStart) : lineCrossing(s, alongRadius, level, sideOfStart);
    if (at) return at;
  }
  return std::nullopt;
}

}  // namespace korvane::lathe
