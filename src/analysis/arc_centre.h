#pragma once
// Where an arc's centre lies, for those who draw it: the lengths need no centre.

#include "analysis/machining_geometry.h"

namespace korvane::machining {

// The centre of an arc given by its radius (negative: more than a half turn), along the plane's
// axes from the start point. A chord longer than the diameter puts it half way along the chord.
PlanePoint arcCentreByRadius(const Point& from, const Point& to, Plane plane, double signedRadius, bool clockwise);

// The point at (a, b) from `from` along the plane's axes, at from's height along its normal.
Point fromPlane(const Point& from, Plane plane, double a, double b);

}  // namespace korvane::machining
