#pragma once
// The geometry the toolpath view and the plot share: the views (which world direction runs right
// and which runs up on the screen), boxes of extents, and the arcs of the reading as curves that
// can be walked, split where they reach furthest along a direction, and cut into chords.

#include <vector>

#include "analysis/machining_geometry.h"

namespace korvane::toolpath {

using machining::Plane;
using machining::Point;

// 上 (XY), 正面 (XZ), 右側面 (YZ), 等角 (isometric, seen from X+ Y- Z+) for a machining centre;
// the lathe's ZX view: Z across, X (the radius) upward.
enum class View { Top, Front, Side, Iso, Lathe };

inline constexpr View kAllViews[] = {View::Top, View::Front, View::Side, View::Iso, View::Lathe};

// The world directions the screen's first axis (to the right) and second axis (upward) follow.
struct ViewAxes {
  Point right;
  Point up;
};
ViewAxes axesOf(View view);

inline double dot(const Point& p, const Point& d) { return p.x * d.x + p.y * d.y + p.z * d.z; }

// A point of the program as the view shows it: along its first and second axis, in millimetres.
struct ViewPoint {
  double a = 0;
  double b = 0;
};
inline ViewPoint project(const Point& p, const ViewAxes& axes) { return {dot(p, axes.right), dot(p, axes.up)}; }

struct Box3 {
  Point min{1e300, 1e300, 1e300};
  Point max{-1e300, -1e300, -1e300};

  bool empty() const { return min.x > max.x; }
  void add(const Point& p);
};

struct Box2 {
  double minA = 1e300;
  double maxA = -1e300;
  double minB = 1e300;
  double maxB = -1e300;

  bool empty() const { return minA > maxA; }
  void add(double a, double b);
  void add(const Box2& other);
  double width() const { return empty() ? 0 : maxA - minA; }
  double height() const { return empty() ? 0 : maxB - minB; }
};

// An arc (or a helix) as a curve: about the centre in the plane spanned by u and v, from the
// start angle through a signed sweep (counterclockwise seen from the side n points to), the
// radius and the height along n changing evenly from the start to the end, as a control blends
// an end that does not lie quite on the circle.
struct Arc {
  Point u, v, n;
  double centreU = 0;
  double centreV = 0;
  double startRadius = 0;
  double endRadius = 0;
  double startAngle = 0;
  double sweep = 0;
  double startN = 0;
  double endN = 0;

  // The point `angle` radians on from the start, in the sweep's direction (0 to sweep).
  Point at(double angle) const;
  double maxRadius() const { return startRadius > endRadius ? startRadius : endRadius; }
};

// The arc of a move of the reading: from start to end about centre in its plane, G02 clockwise.
// An end that meets the start in the plane sweeps a full turn, as the reading measures it.
Arc arcOf(const Point& start, const Point& end, const Point& centre, Plane plane, bool clockwise);

// Appends, in the order the arc passes them, the angles on from its start (strictly inside the
// sweep) where it reaches furthest along `direction` or least far: splitting the arc there makes
// each piece run one way along it, so that the ends of the pieces bound it.
void appendTurningAngles(const Arc& arc, const Point& direction, std::vector<double>& angles);

// Angles on from the start that cut the arc into pieces, each within `tolerance` mm of its chord,
// and each ending where the arc turns along either direction given (those turning points
// included). The last angle is the sweep.
void chordAngles(const Arc& arc, double tolerance, const Point& alongA, const Point& alongB,
                 std::vector<double>& angles);

// The chords that keep an arc of this radius within `tolerance` of itself over `sweep` radians.
int chordCount(double radius, double sweep, double tolerance);

}  // namespace korvane::toolpath
