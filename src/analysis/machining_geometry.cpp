#include "analysis/machining_geometry.h"

#include <cmath>

namespace korvane::machining {

double polarAngle(double x, double y) {
  if (x == 0 && y == 0) return kFullTurn;
  if (y == 0) return x > 0 ? 0 : kHalfTurn;
  if (x == 0) return y > 0 ? kQuarterTurn : kQuarterTurn + kHalfTurn;
  const double angle = std::atan(y / x);
  return x < 0 ? angle + kHalfTurn : angle;
}

double arcCosine(double v) {
  if (v == 1) return 0;
  return std::atan(-v / std::sqrt(1 - v * v)) + 2 * std::atan(1.0);
}

namespace {

bool isNonZero(const std::optional<double>& word) { return word && *word != 0; }

}  // namespace

double arcLength(const Point& from, const Point& to, double motionMode, const ArcWords& words) {
  double cx = 0;
  double cy = 0;
  double r = 0;
  if (isNonZero(words.r)) {
    const double signedR = *words.r;
    r = std::fabs(signedR);
    const double dx = to.x - from.x;
    const double dy = to.y - from.y;
    const double c = std::sqrt(dx * dx + dy * dy);
    if (c == 0) {
      cx = from.x - r;
      cy = from.y;
    } else {
      const double v = ((r * r + c * c) - r * r) / 2 / r / c;
      if (v > 1) return 0;  // no circle of this radius reaches the end point
      double theta = arcCosine(v);
      if (motionMode == 3) theta = -theta;
      if (signedR < 0) theta = -theta;
      const double phi = polarAngle(dx, dy) - theta;  // from the chord's angle
      cx = from.x + r * std::cos(phi);
      cy = from.y + r * std::sin(phi);
    }
  } else {
    const double i = words.i.value_or(0);
    const double j = words.j.value_or(0);
    cx = from.x + i;
    cy = from.y + j;
    r = std::sqrt(i * i + j * j);
  }

  const double startAngle = polarAngle(from.x - cx, from.y - cy);
  const double endAngle = polarAngle(to.x - cx, to.y - cy);
  double a = motionMode == 2 ? endAngle : startAngle;
  double b = motionMode == 2 ? startAngle : endAngle;
  if (a < 0) a += kFullTurn;
  if (b < a) b += kFullTurn;
  double sweep = std::fabs(b - a);
  if (sweep == 0) sweep = kFullTurn;
  return r * sweep;
}

}  // namespace korvane::machining
